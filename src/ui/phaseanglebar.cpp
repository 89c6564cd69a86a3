#include "ui/phaseanglebar.h"

#include "ui/analysistext.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

PhaseAngleBar::PhaseAngleBar(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Phase angle against its band"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PhaseAngleBar::setBand(const std::optional<analysis::PhaseAngleBand> &band,
                            const std::optional<double> &angle)
{
    m_band = band;
    m_angle = angle;
    setAccessibleDescription(
        band && angle ? QStringLiteral("%1° against %2")
                            .arg(analysistext::number(*angle, 1), analysistext::band(*band))
                      : QString());
    update();
}

QSize PhaseAngleBar::sizeHint() const
{
    return {300, int(fontMetrics().height() * 4.8)};
}

void PhaseAngleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), m_band, m_angle);
}

void PhaseAngleBar::paint(QPainter &painter, const QRectF &bounds,
                          const std::optional<analysis::PhaseAngleBand> &band,
                          const std::optional<double> &angle)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(bounds, Qt::white);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double line = metrics.height();
    painter.setPen(Qt::black);
    if (!band) {
        painter.drawText(bounds, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No phase angle band: it needs the sex and an age of 18 "
                                        "to 94"));
        painter.restore();
        return;
    }
    // Degrees across: the band and the angle, with a margin either side.
    double low = band->p5 - 1.0;
    double high = band->p95 + 1.0;
    if (angle) {
        low = std::min(low, *angle - 0.5);
        high = std::max(high, *angle + 0.5);
    }
    const QRectF scale = bounds.adjusted(line, line * 1.4, -line, -line * 2.2);
    const auto x = [&](double degrees) {
        return scale.left() + (degrees - low) / (high - low) * scale.width();
    };
    const auto centred = [&](double at, double baseline, const QString &text) {
        const double width = metrics.horizontalAdvance(text);
        const double left = std::clamp(at - width / 2.0, bounds.left(), bounds.right() - width);
        painter.drawText(QPointF(left, baseline), text);
    };

    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(QColor(225, 225, 225));
    painter.drawRect(scale);
    const QRectF normal(QPointF(x(band->p5), scale.top()), QPointF(x(band->p95), scale.bottom()));
    painter.setBrush(QColor(0, 140, 60, 90));
    painter.drawRect(normal);
    painter.setPen(QPen(QColor(0, 90, 40), line / 8.0));
    painter.drawLine(QPointF(x(band->mean), scale.top()), QPointF(x(band->mean), scale.bottom()));
    painter.setPen(Qt::black);
    const double below = scale.bottom() + metrics.ascent() + line * 0.1;
    centred(x(band->p5), below, QStringLiteral("P5 %1°").arg(analysistext::number(band->p5, 2)));
    centred(x(band->mean), scale.top() - metrics.descent() - line * 0.1,
            QStringLiteral("mean %1°").arg(analysistext::number(band->mean, 2)));
    centred(x(band->p95), below, QStringLiteral("P95 %1°").arg(analysistext::number(band->p95, 2)));
    if (angle) {
        const double at = x(*angle);
        const double size = line * 0.45;
        QPolygonF marker;
        marker << QPointF(at, scale.center().y() + size * 0.2)
               << QPointF(at - size, scale.bottom() + size * 0.2)
               << QPointF(at + size, scale.bottom() + size * 0.2);
        const QColor measured(0, 70, 200);
        painter.setPen(QPen(measured, line / 8.0));
        painter.drawLine(QPointF(at, scale.top()), QPointF(at, scale.bottom()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(measured);
        painter.drawPolygon(marker);
        painter.setPen(measured);
        centred(at, scale.bottom() + metrics.ascent() + line * 0.9,
                QStringLiteral("measured %1°").arg(analysistext::number(*angle, 1)));
    }
    painter.restore();
}
