#include "ui/measurementcopy.h"

#include <QMimeData>
#include <QStringList>

namespace measurementcopy {

namespace {

QStringList captions(const Rows &rows)
{
    QStringList out;
    for (const auto &row : rows)
        out << row.first;
    return out;
}

QStringList values(const Rows &rows, const Measurement &measurement)
{
    QStringList out;
    for (const auto &row : rows)
        out << measurement.texts[row.second];
    return out;
}

QString htmlRow(const QStringList &cells, const QString &tag)
{
    QString row = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        row += QStringLiteral("<%1>%2</%1>").arg(tag, cell.toHtmlEscaped());
    return row + QStringLiteral("</tr>");
}

QString plainText(const Rows &rows, const Measurement &measurement)
{
    return captions(rows).join(u'\t') + u'\n' + values(rows, measurement).join(u'\t') + u'\n';
}

QString html(const Rows &rows, const Measurement &measurement)
{
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>") +
           htmlRow(captions(rows), QStringLiteral("th")) +
           htmlRow(values(rows, measurement), QStringLiteral("td")) +
           QStringLiteral("</table></body></html>");
}

} // namespace

std::unique_ptr<QMimeData> mimeData(const Rows &rows, const Record &record)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(plainText(rows, record.measurement));
    data->setHtml(html(rows, record.measurement));
    data->setData(QStringLiteral("text/csv"),
                  recordformat::csvHeader() + recordformat::csv(record));
    return data;
}

} // namespace measurementcopy
