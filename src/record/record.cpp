#include "record/record.h"

#include "common/numbertext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <array>
#include <vector>

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

// One value of the analysis as CSV and JSON write it: a number, a word, or
// null where it is missing.
struct AnalysisField
{
    const char *key;
    QJsonValue value;
};

QJsonValue number(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

// Rounded as far as the equations and references are worth, halves to even
// as the evaluation rounds the phase angle.
QJsonValue rounded(std::optional<double> value, int decimals)
{
    return value ? QJsonValue(numbertext::roundHalfEven(*value, decimals)) : QJsonValue();
}

template <typename T> QJsonValue word(const std::optional<T> &value, QString (*key)(T))
{
    return value ? QJsonValue(key(*value)) : QJsonValue();
}

// The analysis's columns in the order CSV writes them; the header takes its
// names from here too.
std::vector<AnalysisField> analysisFields(const analysis::Analysis &result)
{
    const analysis::Subject &subject = result.subject;
    return {
        {"sex", word(subject.sex, &analysis::sexKey)},
        {"age", subject.age ? QJsonValue(*subject.age) : QJsonValue()},
        {"height", number(subject.heightCm)},
        {"weight", number(subject.weightKg)},
        {"bmi", rounded(result.bmi, 1)},
        {"r_h", rounded(result.rh, 1)},
        {"xc_h", rounded(result.xch, 1)},
        {"biva_reference", result.referenceName},
        {"biva_distance", rounded(result.bivaDistance, 2)},
        {"biva_ellipse", word(result.bivaRegion, &analysis::toleranceRegionKey)},
        {"phase_angle_z", rounded(result.phaseAngleZ, 2)},
        {"phase_angle_class", word(result.phaseAngleClass, &analysis::phaseAngleClassKey)},
        {"ffm", rounded(result.ffm, 1)},
        {"fm", rounded(result.fm, 1)},
        {"fat_percent", rounded(result.fatPercent, 1)},
        {"tbw", rounded(result.tbw, 1)},
        {"analysis_note", result.notes.isEmpty() ? QJsonValue() : QJsonValue(result.note())},
    };
}

QString csvCell(const QJsonValue &value)
{
    if (value.isDouble())
        return numbertext::formatGeneral(value.toDouble(), QStringLiteral("."));
    return csvField(value.toString());
}

// A value for people: rounded, with the locale's separator and its unit;
// "-" where it is missing, as in the measurement's line.
QString shown(std::optional<double> value, int decimals, const QString &unit = QString())
{
    if (!value)
        return QStringLiteral("-");
    const QString text = numbertext::formatGeneral(numbertext::roundHalfEven(*value, decimals));
    return unit.isEmpty() ? text : text + u' ' + unit;
}

QString bivaText(const analysis::Analysis &result)
{
    if (!result.bivaDistance || !result.bivaRegion)
        return QStringLiteral("-");
    const QString where = *result.bivaRegion == analysis::ToleranceRegion::Outside
                              ? QStringLiteral("outside the 95% ellipse")
                              : QStringLiteral("inside the %1 ellipse")
                                    .arg(analysis::toleranceRegionKey(*result.bivaRegion));
    return QStringLiteral("%1 from the mean of %2, %3")
        .arg(shown(result.bivaDistance, 2), result.referenceName, where);
}

QString phaseAngleText(const analysis::Analysis &result)
{
    if (!result.phaseAngleZ || !result.phaseAngleClass)
        return QStringLiteral("-");
    QString where;
    switch (*result.phaseAngleClass) {
    case analysis::PhaseAngleClass::BelowP5:
        where = QStringLiteral("below the 5th percentile");
        break;
    case analysis::PhaseAngleClass::P5ToP95:
        where = QStringLiteral("between the 5th and the 95th percentile");
        break;
    case analysis::PhaseAngleClass::AboveP95:
        where = QStringLiteral("above the 95th percentile");
        break;
    }
    return QStringLiteral("%1, %2 of the age band").arg(shown(result.phaseAngleZ, 2), where);
}

// The analysis in lines under the measurement's, indented to show they
// belong to it.
QString analysisText(const analysis::Analysis &result)
{
    const analysis::Subject &subject = result.subject;
    const auto line = [](const QStringList &items) {
        return QStringLiteral("  ") + items.join(QStringLiteral("  ")) + u'\n';
    };
    const QString ohmsPerMetre = QStringLiteral("Ω/m");
    QString text =
        line({QStringLiteral("Sex ") +
                  (subject.sex ? analysis::sexKey(*subject.sex) : QStringLiteral("-")),
              QStringLiteral("Age ") +
                  (subject.age ? QString::number(*subject.age) + QStringLiteral(" years")
                               : QStringLiteral("-")),
              QStringLiteral("Height ") +
                  (subject.heightCm
                       ? numbertext::formatGeneral(*subject.heightCm) + QStringLiteral(" cm")
                       : QStringLiteral("-")),
              QStringLiteral("Weight ") +
                  (subject.weightKg
                       ? numbertext::formatGeneral(*subject.weightKg) + QStringLiteral(" kg")
                       : QStringLiteral("-"))});
    text += line({QStringLiteral("BMI ") + shown(result.bmi, 1, QStringLiteral("kg/m²")),
                  QStringLiteral("R/H ") + shown(result.rh, 1, ohmsPerMetre),
                  QStringLiteral("Xc/H ") + shown(result.xch, 1, ohmsPerMetre)});
    text += line({QStringLiteral("BIVA ") + bivaText(result)});
    text += line({QStringLiteral("Phase angle z ") + phaseAngleText(result)});
    text += line({QStringLiteral("Fat-free mass ") + shown(result.ffm, 1, QStringLiteral("kg")),
                  QStringLiteral("Fat mass ") + shown(result.fm, 1, QStringLiteral("kg")),
                  QStringLiteral("Body fat ") + shown(result.fatPercent, 1, QStringLiteral("%")),
                  QStringLiteral("Total body water ") + shown(result.tbw, 1, QStringLiteral("L"))});
    if (!result.notes.isEmpty())
        text += line({QStringLiteral("Note: ") + result.note()});
    return text;
}

} // namespace

Record fromMeasurement(const QDateTime &time, int port, const Measurement &measurement)
{
    return {time, port, measurement,
            measurement.failure ? badFrame(*measurement.failure) : QString(), std::nullopt};
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

QByteArray csvHeader(bool withAnalysis)
{
    QStringList names{QStringLiteral("time"), QStringLiteral("port")};
    for (const Column &column : columns)
        names << QLatin1String(column.key);
    if (withAnalysis) {
        for (const AnalysisField &field : analysisFields(analysis::Analysis()))
            names << QLatin1String(field.key);
    }
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
    if (record.analysis) {
        for (const AnalysisField &field : analysisFields(*record.analysis))
            cells << csvCell(field.value);
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
    if (record.analysis) {
        for (const AnalysisField &field : analysisFields(*record.analysis))
            object.insert(QLatin1String(field.key), field.value);
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
    line += u'\n';
    if (record.analysis)
        line += analysisText(*record.analysis);
    return line.toUtf8();
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
