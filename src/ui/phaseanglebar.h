#pragma once

#include "analysis/reference.h"

#include <QWidget>

#include <optional>

class QPainter;

// The measured phase angle against the band of healthy people of the same
// sex and age: the band's 5th to 95th percentile, its mean, and the angle.
class PhaseAngleBar : public QWidget
{
    Q_OBJECT

public:
    explicit PhaseAngleBar(QWidget *parent = nullptr);

    // Nothing to show without a band; the angle in degrees.
    void setBand(const std::optional<analysis::PhaseAngleBand> &band,
                 const std::optional<double> &angle);

    const std::optional<double> &angle() const { return m_angle; }

    QSize sizeHint() const override;

    // Paints the bar into bounds with the painter's font, on the screen and
    // in the report alike; the painter's state is left as it was found.
    static void paint(QPainter &painter, const QRectF &bounds,
                      const std::optional<analysis::PhaseAngleBand> &band,
                      const std::optional<double> &angle);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<analysis::PhaseAngleBand> m_band;
    std::optional<double> m_angle;
};
