#include "ui/measurementcopy.h"

#include "ui/analysistext.h"

#include <QMimeData>
#include <QStringList>

namespace measurementcopy {

namespace {

// The measurement's captions and values, then the subject's, the analysis's
// and its note where the record carries one.
std::pair<QStringList, QStringList> table(const Rows &rows, const Record &record)
{
    QStringList captions;
    QStringList values;
    for (const auto &row : rows) {
        captions << row.first;
        values << record.measurement.texts[row.second];
    }
    if (record.analysis) {
        std::vector<analysistext::Row> more = analysistext::subjectRows(record.analysis->subject);
        for (const analysistext::Row &row : analysistext::resultRows(*record.analysis))
            more.push_back(row);
        more.push_back({QStringLiteral("Note"), record.analysis->note()});
        for (const analysistext::Row &row : more) {
            captions << row.caption;
            values << row.text;
        }
    }
    return {captions, values};
}

QString htmlRow(const QStringList &cells, const QString &tag)
{
    QString row = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        row += QStringLiteral("<%1>%2</%1>").arg(tag, cell.toHtmlEscaped());
    return row + QStringLiteral("</tr>");
}

QString plainText(const QStringList &captions, const QStringList &values)
{
    return captions.join(u'\t') + u'\n' + values.join(u'\t') + u'\n';
}

QString html(const QStringList &captions, const QStringList &values)
{
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>") +
           htmlRow(captions, QStringLiteral("th")) + htmlRow(values, QStringLiteral("td")) +
           QStringLiteral("</table></body></html>");
}

} // namespace

std::unique_ptr<QMimeData> mimeData(const Rows &rows, const Record &record)
{
    const auto [captions, values] = table(rows, record);
    auto data = std::make_unique<QMimeData>();
    data->setText(plainText(captions, values));
    data->setHtml(html(captions, values));
    data->setData(QStringLiteral("text/csv"),
                  recordformat::csvHeader(record.analysis.has_value()) + recordformat::csv(record));
    return data;
}

} // namespace measurementcopy
