#include "ui/analysistext.h"

#include "common/numbertext.h"

#include <QLocale>

#include <cmath>

namespace analysistext {

namespace {

QString withUnit(const std::optional<double> &value, int decimals, const QString &unit)
{
    return value ? number(*value, decimals) + u' ' + unit : QString();
}

QString region(analysis::ToleranceRegion region)
{
    switch (region) {
    case analysis::ToleranceRegion::Within50:
        return QStringLiteral("inside 50 %");
    case analysis::ToleranceRegion::Within75:
        return QStringLiteral("inside 75 %");
    case analysis::ToleranceRegion::Within95:
        return QStringLiteral("inside 95 %");
    case analysis::ToleranceRegion::Outside:
        break;
    }
    return QStringLiteral("outside 95 %");
}

QString phaseAngleClass(analysis::PhaseAngleClass phaseAngleClass)
{
    switch (phaseAngleClass) {
    case analysis::PhaseAngleClass::BelowP5:
        return QStringLiteral("below P5");
    case analysis::PhaseAngleClass::P5ToP95:
        break;
    case analysis::PhaseAngleClass::AboveP95:
        return QStringLiteral("above P95");
    }
    return QStringLiteral("P5 to P95");
}

QString biva(const analysis::Analysis &result)
{
    if (!result.bivaRegion || !result.bivaDistance)
        return QString();
    return region(*result.bivaRegion) + QStringLiteral(", distance ") +
           number(*result.bivaDistance, 2);
}

QString phaseAngle(const analysis::Analysis &result)
{
    if (!result.phaseAngleZ || !result.phaseAngleClass || !result.phaseAngleBand)
        return QString();
    return number(*result.phaseAngleZ, 2) + QStringLiteral(", ") +
           phaseAngleClass(*result.phaseAngleClass) + QStringLiteral(" of ") +
           band(*result.phaseAngleBand);
}

// A height or weight as the user typed it: 175.5 cm stays 175.5, 70 stays 70.
QString asTyped(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 6).replace(locale.negativeSign(), QStringLiteral("-"));
}

} // namespace

QString number(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // Halves to even, as the records round.
    QString text = locale.toString(numbertext::roundHalfEven(value, decimals), 'f', decimals);
    // What rounds to zero is shown as zero, not "-0.0".
    if (text.startsWith(locale.negativeSign()) &&
        locale.toDouble(text.mid(locale.negativeSign().size())) == 0)
        text.remove(0, locale.negativeSign().size());
    return text.replace(locale.negativeSign(), QStringLiteral("-"));
}

QString sexCaption(analysis::Sex sex)
{
    return sex == analysis::Sex::Male ? QStringLiteral("Male") : QStringLiteral("Female");
}

QString band(const analysis::PhaseAngleBand &band)
{
    const QString people =
        band.sex == analysis::Sex::Male ? QStringLiteral("men") : QStringLiteral("women");
    const QString ages = band.ageMax ? QStringLiteral("%1–%2").arg(band.ageMin).arg(*band.ageMax)
                                     : QStringLiteral("%1 and over").arg(band.ageMin);
    return QStringLiteral("%1 %2: %3 ± %4")
        .arg(people, ages, number(band.mean, 2), number(band.sd, 2));
}

std::vector<Row> subjectRows(const analysis::Subject &subject)
{
    return {
        {QStringLiteral("Sex"), subject.sex ? sexCaption(*subject.sex) : QString()},
        {QStringLiteral("Age"),
         subject.age ? QString::number(*subject.age) + QStringLiteral(" years") : QString()},
        {QStringLiteral("Height"),
         subject.heightCm ? asTyped(*subject.heightCm) + QStringLiteral(" cm") : QString()},
        {QStringLiteral("Weight"),
         subject.weightKg ? asTyped(*subject.weightKg) + QStringLiteral(" kg") : QString()},
    };
}

std::vector<Row> resultRows(const analysis::Analysis &result)
{
    const QString ohmPerMetre = QStringLiteral("Ω/m");
    return {
        {QStringLiteral("BMI"), withUnit(result.bmi, 1, QStringLiteral("kg/m²"))},
        {QStringLiteral("R/H"), withUnit(result.rh, 1, ohmPerMetre)},
        {QStringLiteral("Xc/H"), withUnit(result.xch, 1, ohmPerMetre)},
        {QStringLiteral("BIVA"), biva(result)},
        {QStringLiteral("Phase angle z"), phaseAngle(result)},
        {QStringLiteral("Fat-free mass"), withUnit(result.ffm, 1, QStringLiteral("kg"))},
        {QStringLiteral("Fat mass"), withUnit(result.fm, 1, QStringLiteral("kg"))},
        {QStringLiteral("Body fat"), withUnit(result.fatPercent, 1, QStringLiteral("%"))},
        {QStringLiteral("Total body water"), withUnit(result.tbw, 1, QStringLiteral("L"))},
    };
}

} // namespace analysistext
