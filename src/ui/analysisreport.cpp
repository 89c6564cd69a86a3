#include "ui/analysisreport.h"

#include "analysis/equations.h"
#include "common/version.h"
#include "ui/analysistext.h"
#include "ui/phaseanglebar.h"
#include "ui/wholefile.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

namespace analysisreport {

namespace {

constexpr int resolution = 600;

QFont reportFont(double points, bool bold = false)
{
    QFont font;
    // The window's families: the same widths on Windows and on Linux.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Writes down the page from a moving top edge.
class Page
{
public:
    Page(QPainter &painter, const QRectF &area)
        : m_painter(painter), m_area(area), m_top(area.top())
    {
    }

    double top() const { return m_top; }
    void skip(double lines)
    {
        m_top += lines * QFontMetricsF(m_painter.font(), m_painter.device()).height();
    }
    void moveTo(double top) { m_top = top; }

    void heading(const QString &text, double points = 12)
    {
        m_painter.setFont(reportFont(points, true));
        paragraph(text);
        m_painter.setFont(reportFont(9.5));
    }

    // Word-wrapped across the given horizontal span of the page.
    void paragraph(const QString &text, double left = 0, double width = -1)
    {
        const QRectF box(m_area.left() + left, m_top, width < 0 ? m_area.width() - left : width,
                         m_area.bottom() - m_top);
        QRectF used;
        m_painter.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text, &used);
        m_top += used.height();
    }

    // Captions in one column, values in the next, starting at left.
    void table(const std::vector<analysistext::Row> &rows, double left, double captionWidth,
               double valueWidth)
    {
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        for (const analysistext::Row &row : rows) {
            const QRectF caption(m_area.left() + left, m_top, captionWidth, metrics.height());
            const QRectF value(caption.right(), m_top, valueWidth, m_area.bottom() - m_top);
            m_painter.drawText(caption, Qt::AlignLeft | Qt::AlignTop, row.caption);
            QRectF used;
            m_painter.drawText(value, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                               row.text.isEmpty() ? QStringLiteral("–") : row.text, &used);
            m_top += std::max(used.height(), metrics.height());
        }
    }

    const QRectF &area() const { return m_area; }

private:
    QPainter &m_painter;
    QRectF m_area;
    double m_top;
};

std::vector<analysistext::Row> measuredRows(const Measurement &measurement)
{
    const auto value = [&](Measurement::Value which, const QString &unit) {
        const QString &text = measurement.texts[which];
        return text.isEmpty() ? text : text + unit;
    };
    const QString ohm = QStringLiteral(" Ω");
    return {{QStringLiteral("Resistance"), value(Measurement::Resistance, ohm)},
            {QStringLiteral("Reactance"), value(Measurement::Reactance, ohm)},
            {QStringLiteral("Phase angle"), value(Measurement::PhaseAngle, QStringLiteral("°"))},
            {QStringLiteral("R-Hand"), value(Measurement::RHand, QString())},
            {QStringLiteral("R-Foot"), value(Measurement::RFoot, QString())}};
}

QString measuredWhen(const Record &record)
{
    // The offset as records write it, "+01:00".
    return QStringLiteral("Measured on %1 at %2 (UTC%3) on port %4")
        .arg(record.time.toString(QStringLiteral("yyyy-MM-dd")),
             record.time.toString(QStringLiteral("HH:mm:ss")),
             recordformat::isoTime(record.time).right(6), QString::number(record.port));
}

void paint(QPainter &painter, const QRectF &area, const Content &content)
{
    Page page(painter, area);
    painter.setFont(reportFont(9.5));
    const double gap = QFontMetricsF(painter.font(), painter.device()).height();

    page.heading(QStringLiteral("Bioelectrical impedance analysis"), 16);
    painter.setFont(reportFont(9.5));
    page.paragraph(measuredWhen(content.record));
    page.skip(1);

    // The person and the measurement side by side.
    const double half = area.width() / 2.0;
    const double columnTop = page.top();
    page.heading(QStringLiteral("Person measured"));
    page.table(analysistext::subjectRows(content.analysis.subject), 0, half * 0.35, half * 0.6);
    const double leftBottom = page.top();
    page.moveTo(columnTop);
    painter.setFont(reportFont(12, true));
    page.paragraph(QStringLiteral("Measurement (50 kHz)"), half);
    painter.setFont(reportFont(9.5));
    page.table(measuredRows(content.record.measurement), half, half * 0.35, half * 0.6);
    page.moveTo(std::max(leftBottom, page.top()));
    page.skip(1);

    page.heading(QStringLiteral("Analysis"));
    page.table(analysistext::resultRows(content.analysis), 0, half * 0.35,
               area.width() - half * 0.35);
    if (!content.analysis.notes.isEmpty()) {
        page.skip(0.5);
        page.paragraph(QStringLiteral("Note: ") + content.analysis.note());
    }
    page.skip(1);

    // The graph, and the bar beneath it.
    const double graphHeight = area.width() * 0.5;
    const QRectF graph(area.left(), page.top(), area.width() * 0.72, graphHeight);
    painter.setFont(reportFont(8));
    bivaplot::paint(painter, graph, content.scene);
    const QRectF bar(area.left(), graph.bottom() + gap * 0.5, graph.width(),
                     QFontMetricsF(painter.font(), painter.device()).height() * 4.8);
    PhaseAngleBar::paint(painter, bar, content.band, content.phaseAngle);
    painter.setFont(reportFont(8.5));
    const double beside = graph.width() + gap;
    page.paragraph(QStringLiteral("The RXc graph: the impedance vector normalised by height "
                                  "against the 50 %, 75 % and 95 % tolerance ellipses of healthy "
                                  "people of the same sex. A point outside the 75 % ellipse "
                                  "differs from most of them; earlier points of this person are "
                                  "joined in order."),
                   beside, area.width() - beside);
    page.moveTo(bar.bottom() + gap);

    painter.setFont(reportFont(12, true));
    page.paragraph(QStringLiteral("References"));
    painter.setFont(reportFont(8));
    const QStringList papers{
        QStringLiteral("BIVA: ") + content.reference.citation,
        QStringLiteral("Phase angle: ") + analysis::barbosaSilva2005Citation(),
        QStringLiteral("Fat-free mass: ") + analysis::kyle2001Citation(),
        QStringLiteral("Total body water: ") + analysis::sun2003Citation(),
    };
    for (const QString &paper : papers)
        page.paragraph(paper);
    page.skip(1);
    painter.setFont(reportFont(9.5, true));
    page.paragraph(QStringLiteral("These are estimates from population equations, not a "
                                  "diagnosis."));

    painter.setFont(reportFont(7.5));
    const QString footer = QStringLiteral("Velumet Display %1").arg(velumet::version);
    painter.drawText(
        QRectF(area.left(),
               area.bottom() - QFontMetricsF(painter.font(), painter.device()).height(),
               area.width(), QFontMetricsF(painter.font(), painter.device()).height()),
        Qt::AlignRight, footer);
}

} // namespace

bool write(const QString &path, const Content &content, QString *error)
{
    // Made in memory and written in one piece: a report is some hundred
    // kilobytes, and the file must never be left half written.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 15, 18, 12), QPageLayout::Millimeter);
        writer.setResolution(resolution);
        writer.setTitle(QStringLiteral("Bioelectrical impedance analysis"));
        writer.setCreator(QStringLiteral("Velumet Display"));
        QPainter painter(&writer);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height())), content);
    }
    return wholefile::write(path, pdf.data(), error);
}

} // namespace analysisreport
