#include "record/record.h"

#include "common/numbertext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <array>

namespace recordformat {

namespace {

// Keys and captions in the order the window shows its rows.
struct Column
{
    Measurement::Value value;
    const char *key;
    const char *caption;
};

constexpr std::array<Column, Measurement::valueCount> columns{{
    {Measurement::Resistance, "resistance", "Resistance"},
    {Measurement::Reactance, "reactance", "Reactance"},
    {Measurement::PhaseAngle, "phase_angle", "Phase angle"},
    {Measurement::RHand, "r_hand", "R-Hand"},
    {Measurement::RFoot, "r_foot", "R-Foot"},
}};

// RFC 4180: a field with a separator, a quote or a line break is quoted,
// its quotes doubled.
QString csvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r') &&
        !field.contains(u'\n'))
        return field;
    return u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

Record fromMeasurement(const QDateTime &time, int port, const Measurement &measurement)
{
    return {time, port, measurement,
            measurement.failure ? badFrame(*measurement.failure) : QString()};
}

QString badFrame(const Failure &failure)
{
    // Overflow is a character below its shift or a value beyond 16 bits:
    // either way the frame is not what the box sends.
    QString meaning;
    switch (failure.number()) {
    case 13:
        meaning = QStringLiteral("a value is not a number");
        break;
    case 6:
        meaning = QStringLiteral("the frame is malformed");
        break;
    default:
        meaning = QStringLiteral("the frame cannot be read");
        break;
    }
    return QStringLiteral("bad frame: %1 (%2, %3)")
        .arg(meaning, failure.description(), QString::number(failure.number()));
}

QString isoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray csvHeader()
{
    QStringList names{QStringLiteral("time"), QStringLiteral("port")};
    for (const Column &column : columns)
        names << QLatin1String(column.key);
    names << QStringLiteral("error");
    return names.join(u',').toUtf8() + "\r\n";
}

QByteArray csv(const Record &record)
{
    QStringList cells{isoTime(record.time), QString::number(record.port)};
    for (const Column &column : columns) {
        const std::optional<double> &number = record.measurement.numbers[column.value];
        cells << (number ? numbertext::formatGeneral(*number, QStringLiteral(".")) : QString());
    }
    cells << csvField(record.error);
    return cells.join(u',').toUtf8() + "\r\n";
}

QByteArray json(const Record &record)
{
    QJsonObject object{{QStringLiteral("time"), isoTime(record.time)},
                       {QStringLiteral("port"), record.port}};
    for (const Column &column : columns) {
        const std::optional<double> &number = record.measurement.numbers[column.value];
        object.insert(QLatin1String(column.key), number ? QJsonValue(*number) : QJsonValue());
    }
    if (!record.error.isEmpty())
        object.insert(QStringLiteral("error"), record.error);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray text(const Record &record)
{
    QString line = record.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                   QStringLiteral("  Com-Port ") + QString::number(record.port);
    for (const Column &column : columns) {
        const QString &shown = record.measurement.texts[column.value];
        line += QStringLiteral("  ") + QLatin1String(column.caption) + u' ' +
                (shown.isEmpty() ? QStringLiteral("-") : shown);
    }
    if (!record.error.isEmpty())
        line += QStringLiteral("  error: ") + record.error;
    return line.toUtf8() + '\n';
}

QByteArray line(Format format, const Record &record)
{
    switch (format) {
    case Format::Csv:
        return csv(record);
    case Format::Json:
        return json(record);
    case Format::Text:
        break;
    }
    return text(record);
}

QByteArray lineBreak(Format format)
{
    return format == Format::Csv ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

} // namespace recordformat
