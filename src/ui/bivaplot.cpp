#include "ui/bivaplot.h"

#include "ui/analysistext.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace bivaplot {

namespace {

// What the graph shows before there is anything to show: where adults lie.
const QRectF emptyRange(200, 10, 400, 60);

// A tick step of 1, 2 or 5 times a power of ten that cuts span into about
// five parts.
double tickStep(double span)
{
    const double rough = span / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}

std::vector<double> ticks(double low, double high)
{
    const double step = tickStep(high - low);
    std::vector<double> out;
    for (double tick = std::ceil(low / step - 1e-9) * step; tick <= high + step * 1e-9;
         tick += step)
        out.push_back(tick);
    return out;
}

// A range widened outwards to whole tick steps.
std::pair<double, double> widened(double low, double high)
{
    const double step = tickStep(high - low);
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

// As many decimals as the step between ticks has.
QString tickText(double value, double low, double high)
{
    const int decimals = std::max(0, -int(std::floor(std::log10(tickStep(high - low)))));
    return analysistext::number(value, decimals);
}

void drawAxes(QPainter &painter, const QRectF &area, const QRectF &range,
              const QTransform &toDevice)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double tickLength = metrics.height() / 3.0;
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
    QPen grid(QColor(0, 0, 0, 40), 0, Qt::DotLine);
    for (const double x : ticks(range.left(), range.right())) {
        const double at = toDevice.map(QPointF(x, 0)).x();
        painter.setPen(grid);
        painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + tickLength));
        const QString text = tickText(x, range.left(), range.right());
        painter.drawText(QPointF(at - metrics.horizontalAdvance(text) / 2.0,
                                 area.bottom() + tickLength + metrics.ascent()),
                         text);
    }
    for (const double y : ticks(range.top(), range.bottom())) {
        const double at = toDevice.map(QPointF(0, y)).y();
        painter.setPen(grid);
        painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(area.left() - tickLength, at), QPointF(area.left(), at));
        const QString text = tickText(y, range.top(), range.bottom());
        painter.drawText(QPointF(area.left() - tickLength * 2 - metrics.horizontalAdvance(text),
                                 at + metrics.ascent() / 2.0 - metrics.descent() / 2.0),
                         text);
    }
    const QString across = QStringLiteral("R/H (Ω/m)");
    painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(across) / 2.0,
                             area.bottom() + tickLength + metrics.height() + metrics.ascent()),
                     across);
    const QString up = QStringLiteral("Xc/H (Ω/m)");
    painter.save();
    painter.translate(area.left() - tickLength * 2 -
                          metrics.horizontalAdvance(QStringLiteral("000")) - metrics.descent() -
                          metrics.height() / 2.0,
                      area.center().y() + metrics.horizontalAdvance(up) / 2.0);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), up);
    painter.restore();
}

void drawEllipses(QPainter &painter, const Scene &scene, const QTransform &toDevice)
{
    if (!scene.ellipses)
        return;
    const QFontMetricsF metrics(painter.font(), painter.device());
    for (std::size_t i = 0; i < scene.ellipses->size(); ++i) {
        const analysis::Ellipse &ellipse = (*scene.ellipses)[i];
        const QColor colour = ellipseColour(i);
        // Mapped first and stroked after: the pen keeps its width however
        // unequal the two axes' scales are.
        painter.setPen(QPen(colour, metrics.height() / 8.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(toDevice.map(ellipsePath(ellipse)));
        // Labelled at the upper end of the major axis, where the three lie apart.
        const QTransform axis = QTransform()
                                    .translate(ellipse.centreRh, ellipse.centreXch)
                                    .rotate(ellipse.angleDegrees);
        QPointF tip = toDevice.map(axis.map(QPointF(ellipse.semiMajor, 0)));
        const QPointF otherTip = toDevice.map(axis.map(QPointF(-ellipse.semiMajor, 0)));
        if (otherTip.y() < tip.y())
            tip = otherTip;
        const QString label =
            analysistext::number(ellipse.probability * 100, 0) + QStringLiteral(" %");
        painter.setPen(colour);
        painter.drawText(tip + QPointF(metrics.height() / 4.0, -metrics.height() / 4.0), label);
    }
}

void drawPath(QPainter &painter, const Scene &scene, const QTransform &toDevice)
{
    if (scene.path.empty())
        return;
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double radius = metrics.height() / 5.0;
    const QColor earlier(90, 90, 90);
    const QColor newest(0, 70, 200);
    QPolygonF line;
    for (const QPointF &point : scene.path)
        line << toDevice.map(point);
    painter.setPen(QPen(earlier, radius / 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(line);
    painter.setPen(Qt::NoPen);
    painter.setBrush(earlier);
    for (const QPointF &at : line)
        painter.drawEllipse(at, radius, radius);
    if (!scene.newestShown)
        return;
    painter.setBrush(newest);
    painter.setPen(QPen(Qt::white, radius / 2.0));
    painter.drawEllipse(line.last(), radius * 1.8, radius * 1.8);
}

void drawLegend(QPainter &painter, const QRectF &area, const Scene &scene)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QString text = scene.ellipses
                             ? scene.legend
                             : QStringLiteral("Choose the sex to see the reference ellipses");
    painter.setPen(Qt::black);
    painter.drawText(area.topLeft() + QPointF(metrics.height() / 3.0, metrics.height()), text);
}

} // namespace

QPainterPath ellipsePath(const analysis::Ellipse &ellipse)
{
    QPainterPath unit;
    unit.addEllipse(QPointF(0, 0), ellipse.semiMajor, ellipse.semiMinor);
    return QTransform()
        .translate(ellipse.centreRh, ellipse.centreXch)
        .rotate(ellipse.angleDegrees)
        .map(unit);
}

QRectF dataRange(const Scene &scene)
{
    QPolygonF shown;
    if (scene.ellipses)
        shown = ellipsePath(scene.ellipses->back()).boundingRect();
    for (const QPointF &point : scene.path)
        shown << point;
    QRectF range = shown.isEmpty() ? emptyRange : shown.boundingRect();
    // A little air, so that no point sits on the frame.
    const double airX = std::max(range.width() * 0.05, 5.0);
    const double airY = std::max(range.height() * 0.05, 1.0);
    range.adjust(-airX, -airY, airX, airY);
    const auto [left, right] = widened(range.left(), range.right());
    const auto [bottom, top] = widened(range.top(), range.bottom());
    return QRectF(QPointF(left, bottom), QPointF(right, top));
}

QRectF plotArea(const QRectF &bounds, const QFontMetricsF &metrics)
{
    const double line = metrics.height();
    const double left = line * 2.5 + metrics.horizontalAdvance(QStringLiteral("000"));
    return bounds.adjusted(left, line * 0.8, -line * 1.2, -line * 2.8);
}

QTransform mapping(const Scene &scene, const QRectF &bounds, const QFontMetricsF &metrics)
{
    const QRectF range = dataRange(scene);
    const QRectF area = plotArea(bounds, metrics);
    const double sx = area.width() / range.width();
    const double sy = area.height() / range.height();
    // Xc/H grows upwards.
    return QTransform(sx, 0, 0, -sy, area.left() - range.left() * sx,
                      area.bottom() + range.top() * sy);
}

QColor ellipseColour(std::size_t index)
{
    switch (index) {
    case 0:
        return QColor(0, 140, 60);
    case 1:
        return QColor(220, 140, 0);
    default:
        return QColor(200, 30, 30);
    }
}

void paint(QPainter &painter, const QRectF &bounds, const Scene &scene)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QRectF area = plotArea(bounds, metrics);
    const QRectF range = dataRange(scene);
    const QTransform toDevice = mapping(scene, bounds, metrics);
    painter.fillRect(bounds, Qt::white);
    drawAxes(painter, area, range, toDevice);
    painter.setClipRect(area);
    drawEllipses(painter, scene, toDevice);
    drawPath(painter, scene, toDevice);
    drawLegend(painter, area, scene);
    painter.restore();
}

} // namespace bivaplot
