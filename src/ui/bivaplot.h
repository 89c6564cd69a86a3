#pragma once

#include "analysis/biva.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

class QFontMetricsF;
class QPainter;
class QPainterPath;

// The RXc graph: R/H across, Xc/H up, both in Ω/m, the reference's tolerance
// ellipses and the subject's measurements. One painting routine draws it on
// the screen, into the PDF report (as vectors) and into an exported PNG.
namespace bivaplot {

struct Scene
{
    // The chosen reference's ellipses for the subject's sex; none without a sex.
    std::optional<std::array<analysis::Ellipse, 3>> ellipses;
    // What the ellipses are, such as "piccoli1995, men".
    QString legend;
    // The subject's measurements as (R/H, Xc/H), oldest first.
    std::vector<QPointF> path;
    // Whether the last point is the measurement on display: only then is it
    // marked as the newest.
    bool newestShown = false;
};

// An ellipse in data space, from the core's centre, semi-axes and angle.
QPainterPath ellipsePath(const analysis::Ellipse &ellipse);

// The data space the graph shows: the ellipses and every point, widened to
// whole ticks on both axes.
QRectF dataRange(const Scene &scene);

// Where the data goes inside bounds, leaving room for ticks and captions
// set in the font of metrics.
QRectF plotArea(const QRectF &bounds, const QFontMetricsF &metrics);

// Data space to the device's coordinates, for a graph painted into bounds.
QTransform mapping(const Scene &scene, const QRectF &bounds, const QFontMetricsF &metrics);

// The colour each tolerance ellipse is stroked in, 50 % first.
QColor ellipseColour(std::size_t index);

// Paints the graph into bounds with the painter's font; the painter's state
// is left as it was found.
void paint(QPainter &painter, const QRectF &bounds, const Scene &scene);

} // namespace bivaplot
