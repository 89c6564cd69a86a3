#include "analysis/reference.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <array>
#include <cmath>

namespace analysis {

namespace {

// The built-in BIVA references, one sex a row: R/H and Xc/H in Ω/m as mean
// and SD, r their correlation.
struct BivaRow
{
    const char *name;
    Sex sex;
    int n;
    double rhMean, rhSd, xchMean, xchSd, r;
};

// clang-format off
constexpr std::array<BivaRow, 6> bivaRows{{
    // Piccoli A et al., Am J Clin Nutr 1995;61:269-270
    {"piccoli1995",        Sex::Male,    354, 298.6, 43.2, 30.8, 7.2, 0.47},
    {"piccoli1995",        Sex::Female,  372, 371.9, 49.0, 34.4, 7.7, 0.41},
    // Campa F et al., Clin Nutr 2023;42:1749-1758
    {"campa2023",          Sex::Male,   2137, 265.7, 35.1, 32.1, 4.9, 0.60},
    {"campa2023",          Sex::Female, 2230, 337.2, 47.8, 35.9, 5.5, 0.67},
    // Campa F et al., Int J Environ Res Public Health 2019;16:5066
    {"campa2019-athletes", Sex::Male,   1116, 251.6, 32.5, 33.9, 4.8, 0.70},
    {"campa2019-athletes", Sex::Female,  440, 318.1, 42.8, 38.3, 6.4, 0.70},
}};
// clang-format on

struct BivaSource
{
    const char *name;
    const char *citation;
    std::optional<int> ageMin, ageMax;
};

const std::array<BivaSource, 3> bivaSources{{
    {"piccoli1995",
     "Piccoli A, Nigrelli S, Caberlotto A, et al. Bivariate normal values of the bioelectrical "
     "impedance vector in adult and elderly populations. Am J Clin Nutr 1995;61:269-270. "
     "Healthy Italian adults aged 16-85.",
     16, 85},
    {"campa2023",
     "Campa F, Coratella G, Cerullo G, et al. New bioelectrical impedance vector references and "
     "phase angle centile curves in 4,367 adults. Clin Nutr 2023;42:1749-1758. Adults aged 18-65.",
     18, 65},
    {"campa2019-athletes",
     "Campa F, Matias C, Gatterer H, et al. Classic bioelectrical impedance vector reference "
     "values for assessing body composition in male and female athletes. Int J Environ Res "
     "Public Health 2019;16:5066. Athletes of all sports.",
     std::nullopt, std::nullopt},
}};

// Barbosa-Silva MCG et al., Am J Clin Nutr 2005;82:49-52, Table 2: phase
// angle in degrees by sex and age band, 1967 healthy adults aged 18-94.
// clang-format off
constexpr std::array<PhaseAngleBand, 14> phaseAngleBands{{
    {Sex::Male,   18, 19, 7.90, 0.47, 6.97, 8.75},
    {Sex::Male,   20, 29, 8.02, 0.75, 6.83, 9.17},
    {Sex::Male,   30, 39, 8.01, 0.85, 6.64, 9.48},
    {Sex::Male,   40, 49, 7.76, 0.85, 6.53, 9.00},
    {Sex::Male,   50, 59, 7.31, 0.89, 6.12, 8.68},
    {Sex::Male,   60, 69, 6.96, 1.10, 5.40, 8.88},
    {Sex::Male,   70, std::nullopt, 6.19, 0.97, 4.77, 8.01},
    {Sex::Female, 18, 19, 7.04, 0.85, 5.90, 8.91},
    {Sex::Female, 20, 29, 6.98, 0.92, 5.64, 8.55},
    {Sex::Female, 30, 39, 6.87, 0.84, 5.57, 8.36},
    {Sex::Female, 40, 49, 6.91, 0.85, 5.57, 8.33},
    {Sex::Female, 50, 59, 6.55, 0.87, 5.48, 7.96},
    {Sex::Female, 60, 69, 5.97, 0.83, 4.69, 7.48},
    {Sex::Female, 70, std::nullopt, 5.64, 1.02, 4.22, 7.04},
}};
// clang-format on

BivaReference fromTable(const BivaSource &source)
{
    BivaReference reference{QString::fromUtf8(source.name),
                            QString::fromUtf8(source.citation),
                            source.ageMin,
                            source.ageMax,
                            {},
                            {}};
    for (const BivaRow &row : bivaRows) {
        if (qstrcmp(row.name, source.name) != 0)
            continue;
        BivaGroup &group = row.sex == Sex::Male ? reference.male : reference.female;
        group = {row.n, row.rhMean, row.rhSd, row.xchMean, row.xchSd, row.r};
    }
    return reference;
}

// Reads one field of a lab's reference file, or says what is wrong with it.
class FieldReader
{
public:
    explicit FieldReader(const QJsonObject &object, QString prefix = {})
        : m_object(object), m_prefix(std::move(prefix))
    {
    }

    std::optional<ReferenceFileError> error() const { return m_error; }

    QJsonValue value(const char *key, bool required = true)
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined() && required)
            fail(ReferenceFileError::MissingField, key);
        return value;
    }
    QString text(const char *key)
    {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isString())
            fail(ReferenceFileError::NotText, key);
        return v.toString();
    }
    double number(const char *key)
    {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isDouble())
            fail(ReferenceFileError::NotANumber, key);
        return v.toDouble();
    }
    std::optional<int> wholeNumber(const char *key, bool required = true)
    {
        const QJsonValue v = value(key, required);
        if (v.isUndefined())
            return std::nullopt;
        const double number = v.toDouble(0.5);
        if (!v.isDouble() || number != std::floor(number) || std::abs(number) > 1e9) {
            fail(ReferenceFileError::NotAWholeNumber, key);
            return std::nullopt;
        }
        return static_cast<int>(number);
    }
    void fail(ReferenceFileError::Kind kind, const char *key)
    {
        if (!m_error)
            m_error = ReferenceFileError{kind, m_prefix + QLatin1String(key), {}};
    }

private:
    QJsonObject m_object;
    QString m_prefix;
    std::optional<ReferenceFileError> m_error;
};

std::variant<BivaGroup, ReferenceFileError> groupFromJson(const QJsonObject &file, const char *sex)
{
    FieldReader top(file);
    const QJsonValue value = top.value(sex);
    if (const auto error = top.error())
        return *error;
    if (!value.isObject())
        return ReferenceFileError{ReferenceFileError::NotAnObject, QLatin1String(sex), {}};
    FieldReader reader(value.toObject(), QLatin1String(sex) + u'.');
    BivaGroup group;
    group.n = reader.wholeNumber("n").value_or(0);
    group.rhMean = reader.number("r_h_mean");
    group.rhSd = reader.number("r_h_sd");
    group.xchMean = reader.number("xc_h_mean");
    group.xchSd = reader.number("xc_h_sd");
    group.r = reader.number("r");
    if (const auto error = reader.error())
        return *error;
    // n - 2 degrees of freedom must remain for the ellipses' F quantile.
    if (group.n < 3)
        reader.fail(ReferenceFileError::TooFewPeople, "n");
    else if (!(group.rhSd > 0))
        reader.fail(ReferenceFileError::SdNotPositive, "r_h_sd");
    else if (!(group.xchSd > 0))
        reader.fail(ReferenceFileError::SdNotPositive, "xc_h_sd");
    else if (!(std::abs(group.r) < 1))
        reader.fail(ReferenceFileError::CorrelationOutOfRange, "r");
    if (const auto error = reader.error())
        return *error;
    return group;
}

} // namespace

std::vector<BivaReference> builtInReferences()
{
    std::vector<BivaReference> references;
    for (const BivaSource &source : bivaSources)
        references.push_back(fromTable(source));
    return references;
}

std::optional<BivaReference> builtInReference(const QString &name)
{
    for (const BivaSource &source : bivaSources) {
        if (name == QLatin1String(source.name))
            return fromTable(source);
    }
    return std::nullopt;
}

QString defaultReferenceName()
{
    return QString::fromUtf8(bivaSources.front().name);
}

QString describe(const ReferenceFileError &error)
{
    switch (error.kind) {
    case ReferenceFileError::Unreadable:
        return QStringLiteral("it cannot be read: %1").arg(error.detail);
    case ReferenceFileError::NotJson:
        return QStringLiteral("it is not JSON: %1").arg(error.detail);
    case ReferenceFileError::NotAnObject:
        return error.field.isEmpty()
                   ? QStringLiteral("it is not a JSON object")
                   : QStringLiteral("\"%1\" is not an object of n, means, SDs and r")
                         .arg(error.field);
    case ReferenceFileError::MissingField:
        return QStringLiteral("\"%1\" is missing").arg(error.field);
    case ReferenceFileError::NotText:
        return QStringLiteral("\"%1\" is not a text").arg(error.field);
    case ReferenceFileError::NotANumber:
        return QStringLiteral("\"%1\" is not a number").arg(error.field);
    case ReferenceFileError::NotAWholeNumber:
        return QStringLiteral("\"%1\" is not a whole number").arg(error.field);
    case ReferenceFileError::TooFewPeople:
        return QStringLiteral("\"%1\" must be at least 3").arg(error.field);
    case ReferenceFileError::SdNotPositive:
        return QStringLiteral("\"%1\" must be above 0").arg(error.field);
    case ReferenceFileError::CorrelationOutOfRange:
        return QStringLiteral("\"%1\" must lie between -1 and 1, both excluded").arg(error.field);
    case ReferenceFileError::AgeRangeReversed:
        return QStringLiteral("\"age_min\" is above \"age_max\"");
    }
    return {};
}

std::variant<BivaReference, ReferenceFileError> referenceFromJson(const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return ReferenceFileError{ReferenceFileError::NotJson, {}, parseError.errorString()};
    if (!document.isObject())
        return ReferenceFileError{ReferenceFileError::NotAnObject, {}, {}};
    const QJsonObject file = document.object();

    FieldReader reader(file);
    BivaReference reference;
    reference.name = reader.text("name");
    reference.citation = reader.text("citation");
    reference.ageMin = reader.wholeNumber("age_min", false);
    reference.ageMax = reader.wholeNumber("age_max", false);
    if (const auto error = reader.error())
        return *error;
    if (reference.name.trimmed().isEmpty())
        return ReferenceFileError{ReferenceFileError::MissingField, QStringLiteral("name"), {}};
    if (reference.ageMin && reference.ageMax && *reference.ageMin > *reference.ageMax)
        return ReferenceFileError{
            ReferenceFileError::AgeRangeReversed, QStringLiteral("age_min"), {}};

    for (const auto &[sex, group] :
         {std::pair{"male", &reference.male}, std::pair{"female", &reference.female}}) {
        auto parsed = groupFromJson(file, sex);
        if (const auto *error = std::get_if<ReferenceFileError>(&parsed))
            return *error;
        *group = std::get<BivaGroup>(parsed);
    }
    return reference;
}

std::variant<BivaReference, ReferenceFileError> referenceFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReferenceFileError{ReferenceFileError::Unreadable, {}, file.errorString()};
    // A reference is a few hundred bytes; anything far larger is not one,
    // and is not read whole into memory.
    constexpr qint64 sizeLimit = 1 << 20;
    const QByteArray json = file.read(sizeLimit + 1);
    if (json.size() > sizeLimit)
        return ReferenceFileError{
            ReferenceFileError::NotJson, {}, QStringLiteral("larger than 1 MiB")};
    if (file.error() != QFileDevice::NoError)
        return ReferenceFileError{ReferenceFileError::Unreadable, {}, file.errorString()};
    return referenceFromJson(json);
}

std::optional<PhaseAngleBand> barbosaSilva2005Band(Sex sex, int age)
{
    if (age < BarbosaSilva2005::ageMin || age > BarbosaSilva2005::ageMax)
        return std::nullopt;
    for (const PhaseAngleBand &band : phaseAngleBands) {
        if (band.sex == sex && age >= band.ageMin && (!band.ageMax || age <= *band.ageMax))
            return band;
    }
    return std::nullopt;
}

QString barbosaSilva2005Citation()
{
    return QStringLiteral("Barbosa-Silva MCG, Barros AJD, Wang J, Heymsfield SB, Pierson RN Jr. "
                          "Bioelectrical impedance analysis: population reference values for "
                          "phase angle by age and sex. Am J Clin Nutr 2005;82:49-52.");
}

} // namespace analysis
