#include "analysis/analysis.h"

#include "analysis/equations.h"
#include "evaluation/evaluation.h"

#include <QLocale>

#include <cmath>

namespace analysis {

namespace {

// "sex, age and height": what an estimate lacks, in the order people are
// described.
QString missingInputs(const Subject &subject, bool sex, bool age, bool height, bool weight)
{
    QStringList missing;
    if (sex && !subject.sex)
        missing << QStringLiteral("sex");
    if (age && !subject.age)
        missing << QStringLiteral("age");
    if (height && !subject.heightCm)
        missing << QStringLiteral("height");
    if (weight && !subject.weightKg)
        missing << QStringLiteral("weight");
    if (missing.size() < 2)
        return missing.join(QString());
    const QString last = missing.takeLast();
    return missing.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// Range checks on a computed BMI must not turn on the last bit: 17.0 is
// inside Kyle's range whether the division lands a hair above or below it.
bool withinBmi(double bmi, double low, double high)
{
    constexpr double slack = 1e-9;
    return bmi >= low - slack && bmi <= high + slack;
}

QString ageRange(int low, int high)
{
    return QStringLiteral("ages %1 to %2").arg(low).arg(high);
}

void compareWithReference(const Subject &subject, const BivaReference &reference, Analysis &result)
{
    if (!subject.sex || !result.rh) {
        result.notes << QStringLiteral("BIVA needs %1.")
                            .arg(missingInputs(subject, true, false, true, false));
        return;
    }
    const BivaGroup &group = reference.group(*subject.sex);
    const double distance = mahalanobisDistance(group, *result.rh, *result.xch);
    result.bivaDistance = distance;
    result.bivaRegion = toleranceRegion(group, distance);
    if (!subject.age)
        return;
    const bool tooYoung = reference.ageMin && *subject.age < *reference.ageMin;
    const bool tooOld = reference.ageMax && *subject.age > *reference.ageMax;
    if (!tooYoung && !tooOld)
        return;
    QString span;
    if (reference.ageMin && reference.ageMax)
        span = ageRange(*reference.ageMin, *reference.ageMax);
    else if (reference.ageMin)
        span = QStringLiteral("ages %1 and over").arg(*reference.ageMin);
    else
        span = QStringLiteral("ages up to %1").arg(*reference.ageMax);
    result.notes << QStringLiteral("The BIVA reference %1 was made from people of %2.")
                        .arg(reference.name, span);
}

void compareWithPhaseAngleBand(const Subject &subject, std::optional<double> phaseAngle,
                               Analysis &result)
{
    if (!subject.sex || !subject.age) {
        result.notes << QStringLiteral("The phase angle comparison needs %1.")
                            .arg(missingInputs(subject, true, true, false, false));
        return;
    }
    const std::optional<PhaseAngleBand> band = barbosaSilva2005Band(*subject.sex, *subject.age);
    if (!band) {
        result.notes << QStringLiteral("The phase angle reference (Barbosa-Silva 2005) is for %1.")
                            .arg(ageRange(BarbosaSilva2005::ageMin, BarbosaSilva2005::ageMax));
        return;
    }
    if (!phaseAngle)
        return;
    result.phaseAngleBand = band;
    result.phaseAngle = phaseAngle;
    result.phaseAngleZ = (*phaseAngle - band->mean) / band->sd;
    result.phaseAngleClass = *phaseAngle < band->p5    ? PhaseAngleClass::BelowP5
                             : *phaseAngle > band->p95 ? PhaseAngleClass::AboveP95
                                                       : PhaseAngleClass::P5ToP95;
}

void estimateFatFreeMass(const Subject &subject, std::optional<double> resistance, double reactance,
                         Analysis &result)
{
    const QString missing = missingInputs(subject, true, true, true, true);
    if (!missing.isEmpty()) {
        result.notes
            << QStringLiteral("Fat-free mass, fat mass and body fat need %1.").arg(missing);
        return;
    }
    if (*subject.age < Kyle2001::ageMin || *subject.age > Kyle2001::ageMax) {
        result.notes << QStringLiteral("The fat-free mass equation (Kyle 2001) is for %1.")
                            .arg(ageRange(Kyle2001::ageMin, Kyle2001::ageMax));
        return;
    }
    if (!withinBmi(*result.bmi, Kyle2001::bmiMin, Kyle2001::bmiMax)) {
        result.notes << QStringLiteral("The fat-free mass equation (Kyle 2001) is for a BMI of "
                                       "%1 to %2.")
                            .arg(QLocale::c().toString(Kyle2001::bmiMin, 'f', 1),
                                 QLocale::c().toString(Kyle2001::bmiMax, 'f', 1));
        return;
    }
    if (!resistance)
        return;
    const double weight = *subject.weightKg;
    const double ffm =
        kyle2001FatFreeMass(*subject.sex, *subject.heightCm, weight, *resistance, reactance);
    result.ffm = ffm;
    result.fm = weight - ffm;
    result.fatPercent = (weight - ffm) / weight * 100.0;
}

void estimateTotalBodyWater(const Subject &subject, std::optional<double> resistance,
                            Analysis &result)
{
    const QString missing = missingInputs(subject, true, true, true, true);
    if (!missing.isEmpty()) {
        result.notes << QStringLiteral("Total body water needs %1.").arg(missing);
        return;
    }
    if (*subject.age < Sun2003::ageMin || *subject.age > Sun2003::ageMax) {
        result.notes << QStringLiteral("The total body water equation (Sun 2003) is for %1.")
                            .arg(ageRange(Sun2003::ageMin, Sun2003::ageMax));
        return;
    }
    if (!resistance)
        return;
    result.tbw =
        sun2003TotalBodyWater(*subject.sex, *subject.heightCm, *subject.weightKg, *resistance);
}

} // namespace

QString phaseAngleClassKey(PhaseAngleClass phaseAngleClass)
{
    switch (phaseAngleClass) {
    case PhaseAngleClass::BelowP5:
        return QStringLiteral("below_p5");
    case PhaseAngleClass::P5ToP95:
        break;
    case PhaseAngleClass::AboveP95:
        return QStringLiteral("above_p95");
    }
    return QStringLiteral("p5_p95");
}

Analysis analyse(const Subject &subject, const Measurement &measurement,
                 const BivaReference &reference)
{
    Analysis result;
    result.subject = subject;
    result.referenceName = reference.name;

    const std::optional<double> &r = measurement.numbers[Measurement::Resistance];
    const std::optional<double> &xc = measurement.numbers[Measurement::Reactance];
    if (measurement.failure || !r || !xc) {
        result.notes << QStringLiteral("The measurement failed, so nothing is analysed.");
        return result;
    }

    if (subject.heightCm && subject.weightKg)
        result.bmi = bodyMassIndex(*subject.heightCm, *subject.weightKg);
    else
        result.notes << QStringLiteral("BMI needs %1.")
                            .arg(missingInputs(subject, false, false, true, true));

    if (subject.heightCm) {
        const double metres = *subject.heightCm / 100.0;
        result.rh = *r / metres;
        result.xch = *xc / metres;
    } else {
        result.notes << QStringLiteral("R/H and Xc/H need height.");
    }

    // H²/R and the angle need a resistance; the box reads signed numbers, so
    // one below 0 is as meaningless as 0 itself.
    const std::optional<double> positiveR = *r > 0 ? r : std::nullopt;
    if (!positiveR) {
        result.notes << QStringLiteral("A resistance of %1 Ω gives no phase angle, fat-free "
                                       "mass or total body water.")
                            .arg(QLocale::c().toString(*r, 'g', 15));
    }
    const std::optional<double> phaseAngle =
        positiveR ? evaluation::getPhasenwinkel(*positiveR, *xc) : std::nullopt;

    compareWithReference(subject, reference, result);
    compareWithPhaseAngleBand(subject, phaseAngle, result);
    estimateFatFreeMass(subject, positiveR, *xc, result);
    estimateTotalBodyWater(subject, positiveR, result);
    return result;
}

} // namespace analysis
