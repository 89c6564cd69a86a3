#pragma once

#include "analysis/subject.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace analysis {

// One sex of a BIVA reference population: the impedance vector normalised by
// height (R/H and Xc/H in Ω/m) as a bivariate normal distribution.
struct BivaGroup
{
    int n = 0;
    double rhMean = 0;
    double rhSd = 0;
    double xchMean = 0;
    double xchSd = 0;
    // The correlation of R/H and Xc/H.
    double r = 0;
};

struct BivaReference
{
    // What records and options call it: a built-in name or a file's "name".
    QString name;
    QString citation;
    // The ages the population spanned, where the source says.
    std::optional<int> ageMin;
    std::optional<int> ageMax;
    BivaGroup female;
    BivaGroup male;

    const BivaGroup &group(Sex sex) const { return sex == Sex::Male ? male : female; }
};

// The references built in, the default first.
std::vector<BivaReference> builtInReferences();
std::optional<BivaReference> builtInReference(const QString &name);
QString defaultReferenceName();

// Why a lab's reference file was refused; `field` names the JSON field
// ("male.r_h_sd") where one is to blame.
struct ReferenceFileError
{
    enum Kind {
        Unreadable,
        NotJson,
        NotAnObject,
        MissingField,
        NotText,
        NotANumber,
        NotAWholeNumber,
        TooFewPeople,
        SdNotPositive,
        CorrelationOutOfRange,
        AgeRangeReversed,
    };
    Kind kind;
    QString field;
    // The system's or the JSON parser's own words, where they say more.
    QString detail;
};

// The reason in a sentence, for velumet-measure's messages.
QString describe(const ReferenceFileError &error);

// A lab's own reference, as velumet-measure and the window load it:
// {"name", "citation", "male": {n, r_h_mean, r_h_sd, xc_h_mean, xc_h_sd, r},
//  "female": {…}, optional "age_min", "age_max"}.
std::variant<BivaReference, ReferenceFileError> referenceFromJson(const QByteArray &json);
std::variant<BivaReference, ReferenceFileError> referenceFromFile(const QString &path);

// A band of the phase-angle reference of healthy adults.
struct PhaseAngleBand
{
    Sex sex;
    int ageMin;
    // None for the open top band ("70 and over").
    std::optional<int> ageMax;
    double mean;
    double sd;
    double p5;
    double p95;
};

// The band of Barbosa-Silva et al. 2005 that holds a person of this sex and
// age, or none outside the population's ages.
std::optional<PhaseAngleBand> barbosaSilva2005Band(Sex sex, int age);
// The ages that population spanned.
struct BarbosaSilva2005
{
    static constexpr int ageMin = 18;
    static constexpr int ageMax = 94;
};
QString barbosaSilva2005Citation();

} // namespace analysis
