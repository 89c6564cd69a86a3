#pragma once

#include "ui/bivaplot.h"

#include <QWidget>

// The RXc graph on the screen. Its context menu exports it as a PNG.
class BivaGraph : public QWidget
{
    Q_OBJECT

public:
    explicit BivaGraph(QWidget *parent = nullptr);

    void setScene(const bivaplot::Scene &scene);
    const bivaplot::Scene &scene() const { return m_scene; }

    // Data space (R/H, Xc/H in Ω/m) to the widget's coordinates, as painted.
    QTransform mapping() const;

    QSize sizeHint() const override { return {460, 340}; }

    // Writes the graph as a PNG of the given size in pixels; false with the
    // system's reason when the file cannot be written whole.
    bool exportPng(const QString &path, QSize pixels, QString *error) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void exportAsked();

    bivaplot::Scene m_scene;
};
