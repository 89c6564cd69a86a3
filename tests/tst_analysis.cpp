#include "analysis/analysis.h"
#include "analysis/biva.h"
#include "analysis/equations.h"
#include "analysis/reference.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace analysis;

Q_DECLARE_METATYPE(analysis::Subject)
Q_DECLARE_METATYPE(analysis::ReferenceFileError::Kind)

namespace {

Measurement measured(double resistance, double reactance)
{
    Measurement measurement;
    measurement.numbers[Measurement::Resistance] = resistance;
    measurement.numbers[Measurement::Reactance] = reactance;
    return measurement;
}

Subject subject(std::optional<Sex> sex, std::optional<int> age, std::optional<double> height,
                std::optional<double> weight)
{
    return {sex, age, height, weight};
}

BivaReference piccoli1995()
{
    return *builtInReference(QStringLiteral("piccoli1995"));
}

// Within half a unit of the last decimal the issue's figures are given to.
void compareTo(std::optional<double> actual, double expected, int decimals)
{
    QVERIFY(actual);
    QVERIFY2(std::abs(*actual - expected) < 0.5 * std::pow(10.0, -decimals),
             qPrintable(QStringLiteral("%1, expected %2").arg(*actual, 0, 'g', 10).arg(expected)));
}

const char *validReference = R"({"name": "lab-device-2026", "citation": "free text",
  "male":   {"n": 60, "r_h_mean": 280.0, "r_h_sd": 30.0, "xc_h_mean": 33.0, "xc_h_sd": 5.0, "r": 0.55},
  "female": {"n": 60, "r_h_mean": 350.0, "r_h_sd": 40.0, "xc_h_mean": 37.0, "xc_h_sd": 6.0, "r": 0.60}})";

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void wholeSubject_data();
    void wholeSubject();
    void toleranceRadius_data();
    void toleranceRadius();
    void ellipsesAgreeWithTheDistance_data();
    void ellipsesAgreeWithTheDistance();
    void phaseAngleBands_data();
    void phaseAngleBands();
    void phaseAngleClass_data();
    void phaseAngleClass();
    void equationRanges_data();
    void equationRanges();
    void missingInputs_data();
    void missingInputs();
    void measurementsThatGiveLittle();
    void referenceOutsideItsAges_data();
    void referenceOutsideItsAges();
    void builtInReferences();
    void referenceFile();
    void malformedReferenceFile_data();
    void malformedReferenceFile();
    void unreadableReferenceFile();
};

// Worked by hand from the papers for R 500.0 Ω and Xc 60.0 Ω, 40 years,
// 175 cm, 70 kg: H²/R = 61.25, R/H = 285.71, Xc/H = 34.29, angle 6.843°.
void TestAnalysis::wholeSubject_data()
{
    QTest::addColumn<Subject>("person");
    QTest::addColumn<double>("distance");
    QTest::addColumn<int>("region");
    QTest::addColumn<double>("z");
    QTest::addColumn<double>("ffm");
    QTest::addColumn<double>("fm");
    QTest::addColumn<double>("fatPercent");
    QTest::addColumn<double>("tbw");
    // FFM = -4.104 + 0.518·61.25 + 0.231·70 + 0.130·60 + 4.229·1 = 55.82;
    // TBW = 1.20 + 0.45·61.25 + 0.18·70 = 41.36; z = (6.843 - 7.76)/0.85.
    QTest::newRow("man") << subject(Sex::Male, 40, 175, 70) << 0.77
                         << int(ToleranceRegion::Within50) << -1.08 << 55.8 << 14.2 << 20.3 << 41.4;
    // Women are coded 0: FFM 51.59; TBW = 3.75 + 0.45·61.25 + 0.11·70 = 39.01;
    // z = (6.843 - 6.91)/0.85; d = 1.92 lies between k75 1.673 and k95 2.464.
    QTest::newRow("woman") << subject(Sex::Female, 40, 175, 70) << 1.92
                           << int(ToleranceRegion::Within95) << -0.08 << 51.6 << 18.4 << 26.3
                           << 39.0;
}

void TestAnalysis::wholeSubject()
{
    QFETCH(Subject, person);
    QFETCH(double, distance);
    QFETCH(int, region);
    QFETCH(double, z);
    QFETCH(double, ffm);
    QFETCH(double, fm);
    QFETCH(double, fatPercent);
    QFETCH(double, tbw);

    const Analysis result = analyse(person, measured(500.0, 60.0), piccoli1995());
    QCOMPARE(result.notes, QStringList());
    QCOMPARE(result.referenceName, QStringLiteral("piccoli1995"));
    compareTo(result.bmi, 22.9, 1);
    compareTo(result.rh, 285.7, 1);
    compareTo(result.xch, 34.3, 1);
    compareTo(result.bivaDistance, distance, 2);
    QCOMPARE(int(*result.bivaRegion), region);
    compareTo(result.phaseAngleZ, z, 2);
    QCOMPARE(*result.phaseAngleClass, PhaseAngleClass::P5ToP95);
    QCOMPARE(result.phaseAngleBand->ageMin, 40);
    compareTo(result.ffm, ffm, 1);
    compareTo(result.fm, fm, 1);
    compareTo(result.fatPercent, fatPercent, 1);
    compareTo(result.tbw, tbw, 1);
}

void TestAnalysis::toleranceRadius_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("k");
    QTest::newRow("354, 50 %") << 354 << 0.50 << 1.1819;
    QTest::newRow("354, 75 %") << 354 << 0.75 << 1.6731;
    QTest::newRow("354, 95 %") << 354 << 0.95 << 2.4652;
    // With one degree of freedom left, F(2, 1) at 50 % is 1.5: k = sqrt(16/3·1.5).
    QTest::newRow("smallest population") << 3 << 0.50 << 2.8284;
    // A large population approaches the chi-square radius sqrt(-2 ln(1-p)).
    QTest::newRow("large population, 95 %") << 1000000 << 0.95 << 2.4478;
}

void TestAnalysis::toleranceRadius()
{
    QFETCH(int, n);
    QFETCH(double, p);
    QFETCH(double, k);
    compareTo(analysis::toleranceRadius(n, p), k, 4);
}

void TestAnalysis::ellipsesAgreeWithTheDistance_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("male");
    for (const BivaReference &reference : analysis::builtInReferences()) {
        QTest::addRow("%s men", qPrintable(reference.name)) << reference.name << true;
        QTest::addRow("%s women", qPrintable(reference.name)) << reference.name << false;
    }
}

// The drawn ellipses and the distance must tell the same story: a point on
// an ellipse's axis lies at that ellipse's radius.
void TestAnalysis::ellipsesAgreeWithTheDistance()
{
    QFETCH(QString, reference);
    QFETCH(bool, male);
    const BivaGroup group = builtInReference(reference)->group(male ? Sex::Male : Sex::Female);

    QCOMPARE(mahalanobisDistance(group, group.rhMean, group.xchMean), 0.0);
    QCOMPARE(toleranceRegion(group, 0.0), ToleranceRegion::Within50);

    const auto ellipses = toleranceEllipses(group);
    const ToleranceRegion regions[] = {ToleranceRegion::Within50, ToleranceRegion::Within75,
                                       ToleranceRegion::Within95};
    for (std::size_t i = 0; i < ellipses.size(); ++i) {
        const Ellipse &e = ellipses[i];
        QCOMPARE(e.probability, toleranceProbabilities[i]);
        QCOMPARE(e.centreRh, group.rhMean);
        QCOMPARE(e.centreXch, group.xchMean);
        // R/H and Xc/H correlate positively: the major axis rises.
        QVERIFY(e.angleDegrees > 0 && e.angleDegrees < 90);
        const double k = analysis::toleranceRadius(group.n, e.probability);
        const double angle = e.angleDegrees * M_PI / 180.0;
        const struct
        {
            double dx, dy;
        } axisEnds[] = {{e.semiMajor * std::cos(angle), e.semiMajor * std::sin(angle)},
                        {-e.semiMinor * std::sin(angle), e.semiMinor * std::cos(angle)}};
        for (const auto &end : axisEnds) {
            const double on = mahalanobisDistance(group, e.centreRh + end.dx, e.centreXch + end.dy);
            QVERIFY2(std::abs(on - k) < 1e-9, qPrintable(QString::number(on - k)));
            QCOMPARE(toleranceRegion(group, on), regions[i]);
            const double beyond = mahalanobisDistance(group, e.centreRh + 1.001 * end.dx,
                                                      e.centreXch + 1.001 * end.dy);
            QCOMPARE(toleranceRegion(group, beyond),
                     i + 1 < ellipses.size() ? regions[i + 1] : ToleranceRegion::Outside);
        }
    }
}

void TestAnalysis::phaseAngleBands_data()
{
    QTest::addColumn<bool>("male");
    QTest::addColumn<int>("age");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("p5");
    QTest::newRow("men 17: too young") << true << 17 << 0.0 << 0.0;
    QTest::newRow("men 18") << true << 18 << 7.90 << 6.97;
    QTest::newRow("men 19") << true << 19 << 7.90 << 6.97;
    QTest::newRow("men 20") << true << 20 << 8.02 << 6.83;
    QTest::newRow("men 29") << true << 29 << 8.02 << 6.83;
    QTest::newRow("men 30") << true << 30 << 8.01 << 6.64;
    QTest::newRow("men 49") << true << 49 << 7.76 << 6.53;
    QTest::newRow("men 50") << true << 50 << 7.31 << 6.12;
    QTest::newRow("men 69") << true << 69 << 6.96 << 5.40;
    QTest::newRow("men 70") << true << 70 << 6.19 << 4.77;
    QTest::newRow("men 94") << true << 94 << 6.19 << 4.77;
    QTest::newRow("men 95: beyond the population") << true << 95 << 0.0 << 0.0;
    QTest::newRow("women 17: too young") << false << 17 << 0.0 << 0.0;
    QTest::newRow("women 18") << false << 18 << 7.04 << 5.90;
    QTest::newRow("women 20") << false << 20 << 6.98 << 5.64;
    QTest::newRow("women 39") << false << 39 << 6.87 << 5.57;
    QTest::newRow("women 40") << false << 40 << 6.91 << 5.57;
    QTest::newRow("women 59") << false << 59 << 6.55 << 5.48;
    QTest::newRow("women 60") << false << 60 << 5.97 << 4.69;
    QTest::newRow("women 70") << false << 70 << 5.64 << 4.22;
    QTest::newRow("women 95: beyond the population") << false << 95 << 0.0 << 0.0;
}

void TestAnalysis::phaseAngleBands()
{
    QFETCH(bool, male);
    QFETCH(int, age);
    QFETCH(double, mean);
    QFETCH(double, p5);
    const auto band = barbosaSilva2005Band(male ? Sex::Male : Sex::Female, age);
    QCOMPARE(bool(band), mean != 0.0);
    if (!band)
        return;
    QCOMPARE(band->mean, mean);
    QCOMPARE(band->p5, p5);
    QVERIFY(age >= band->ageMin && (!band->ageMax || age <= *band->ageMax));
}

void TestAnalysis::phaseAngleClass_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<PhaseAngleClass>("expected");
    // Men 40-49: 5th percentile 6.53, 95th 9.00.
    QTest::newRow("below the 5th percentile") << 6.52 << PhaseAngleClass::BelowP5;
    QTest::newRow("just above the 5th percentile") << 6.54 << PhaseAngleClass::P5ToP95;
    QTest::newRow("just below the 95th percentile") << 8.99 << PhaseAngleClass::P5ToP95;
    QTest::newRow("above the 95th percentile") << 9.01 << PhaseAngleClass::AboveP95;
}

void TestAnalysis::phaseAngleClass()
{
    QFETCH(double, angle);
    QFETCH(PhaseAngleClass, expected);
    const double resistance = 500.0;
    const double reactance = resistance * std::tan(angle * M_PI / 180.0);
    const Analysis result =
        analyse(subject(Sex::Male, 45, 175, 70), measured(resistance, reactance), piccoli1995());
    QCOMPARE(*result.phaseAngleClass, expected);
    compareTo(result.phaseAngle, angle, 9);
    compareTo(result.phaseAngleZ, (angle - 7.76) / 0.85, 6);
}

void TestAnalysis::equationRanges_data()
{
    QTest::addColumn<int>("age");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("weight");
    QTest::addColumn<bool>("ffm");
    QTest::addColumn<bool>("tbw");
    QTest::addColumn<QString>("note");
    const QString kyleAges =
        QStringLiteral("The fat-free mass equation (Kyle 2001) is for ages 20 to 94.");
    const QString kyleBmi =
        QStringLiteral("The fat-free mass equation (Kyle 2001) is for a BMI of 17.0 to 33.8.");
    const QString sunAges =
        QStringLiteral("The total body water equation (Sun 2003) is for ages 12 to 94.");
    QTest::newRow("age 11") << 11 << 150.0 << 45.0 << false << false << kyleAges + u' ' + sunAges;
    QTest::newRow("age 12") << 12 << 150.0 << 45.0 << false << true << kyleAges;
    QTest::newRow("age 19") << 19 << 175.0 << 70.0 << false << true << kyleAges;
    QTest::newRow("age 20") << 20 << 175.0 << 70.0 << true << true << QString();
    QTest::newRow("age 94") << 94 << 175.0 << 70.0 << true << true << QString();
    QTest::newRow("age 95") << 95 << 175.0 << 70.0 << false << false << kyleAges + u' ' + sunAges;
    // At 100 cm the BMI is the weight itself, with no rounding in between.
    QTest::newRow("BMI 16.9") << 40 << 100.0 << 16.9 << false << true << kyleBmi;
    QTest::newRow("BMI 17.0") << 40 << 100.0 << 17.0 << true << true << QString();
    QTest::newRow("BMI 33.8") << 40 << 100.0 << 33.8 << true << true << QString();
    QTest::newRow("BMI 33.9") << 40 << 100.0 << 33.9 << false << true << kyleBmi;
    // 49.13 kg at 170 cm is 17.0 once rounded, but not to the last bit.
    QTest::newRow("BMI 17.0 by division") << 40 << 170.0 << 49.13 << true << true << QString();
}

void TestAnalysis::equationRanges()
{
    QFETCH(int, age);
    QFETCH(double, height);
    QFETCH(double, weight);
    QFETCH(bool, ffm);
    QFETCH(bool, tbw);
    QFETCH(QString, note);
    const Analysis result =
        analyse(subject(Sex::Female, age, height, weight), measured(500.0, 60.0), piccoli1995());
    QCOMPARE(bool(result.ffm), ffm);
    QCOMPARE(bool(result.fm), ffm);
    QCOMPARE(bool(result.fatPercent), ffm);
    QCOMPARE(bool(result.tbw), tbw);
    QStringList notes = result.notes;
    // Piccoli's population starts at 16: that note is another test's.
    notes.removeIf([](const QString &n) { return n.startsWith(QStringLiteral("The BIVA")); });
    notes.removeIf(
        [](const QString &n) { return n.startsWith(QStringLiteral("The phase angle")); });
    QCOMPARE(notes.join(u' '), note);
}

void TestAnalysis::missingInputs_data()
{
    QTest::addColumn<Subject>("person");
    QTest::addColumn<QStringList>("notes");
    const QString bmi = QStringLiteral("BMI needs %1.");
    const QString perHeight = QStringLiteral("R/H and Xc/H need height.");
    const QString biva = QStringLiteral("BIVA needs %1.");
    const QString phase = QStringLiteral("The phase angle comparison needs %1.");
    const QString ffm = QStringLiteral("Fat-free mass, fat mass and body fat need %1.");
    const QString tbw = QStringLiteral("Total body water needs %1.");
    const QString all = QStringLiteral("sex, age, height and weight");
    QTest::newRow("nothing") << subject({}, {}, {}, {})
                             << QStringList{bmi.arg(QStringLiteral("height and weight")),
                                            perHeight,
                                            biva.arg(QStringLiteral("sex and height")),
                                            phase.arg(QStringLiteral("sex and age")),
                                            ffm.arg(all),
                                            tbw.arg(all)};
    QTest::newRow("sex only") << subject(Sex::Male, {}, {}, {})
                              << QStringList{bmi.arg(QStringLiteral("height and weight")),
                                             perHeight,
                                             biva.arg(QStringLiteral("height")),
                                             phase.arg(QStringLiteral("age")),
                                             ffm.arg(QStringLiteral("age, height and weight")),
                                             tbw.arg(QStringLiteral("age, height and weight"))};
    QTest::newRow("no sex") << subject({}, 40, 175, 70)
                            << QStringList{biva.arg(QStringLiteral("sex")),
                                           phase.arg(QStringLiteral("sex")),
                                           ffm.arg(QStringLiteral("sex")),
                                           tbw.arg(QStringLiteral("sex"))};
    QTest::newRow("no age") << subject(Sex::Male, {}, 175, 70)
                            << QStringList{phase.arg(QStringLiteral("age")),
                                           ffm.arg(QStringLiteral("age")),
                                           tbw.arg(QStringLiteral("age"))};
    QTest::newRow("no height") << subject(Sex::Male, 40, {}, 70)
                               << QStringList{bmi.arg(QStringLiteral("height")), perHeight,
                                              biva.arg(QStringLiteral("height")),
                                              ffm.arg(QStringLiteral("height")),
                                              tbw.arg(QStringLiteral("height"))};
    QTest::newRow("no weight") << subject(Sex::Male, 40, 175, {})
                               << QStringList{bmi.arg(QStringLiteral("weight")),
                                              ffm.arg(QStringLiteral("weight")),
                                              tbw.arg(QStringLiteral("weight"))};
    QTest::newRow("height and weight only")
        << subject({}, {}, 175, 70)
        << QStringList{biva.arg(QStringLiteral("sex")), phase.arg(QStringLiteral("sex and age")),
                       ffm.arg(QStringLiteral("sex and age")),
                       tbw.arg(QStringLiteral("sex and age"))};
    QTest::newRow("sex and age only") << subject(Sex::Female, 40, {}, {})
                                      << QStringList{bmi.arg(QStringLiteral("height and weight")),
                                                     perHeight, biva.arg(QStringLiteral("height")),
                                                     ffm.arg(QStringLiteral("height and weight")),
                                                     tbw.arg(QStringLiteral("height and weight"))};
}

// Every value that needs a missing input is missing, and a note names what
// it needs; every value whose inputs are there is given.
void TestAnalysis::missingInputs()
{
    QFETCH(Subject, person);
    QFETCH(QStringList, notes);
    const Analysis result = analyse(person, measured(500.0, 60.0), piccoli1995());
    QCOMPARE(result.notes, notes);
    const bool h = bool(person.heightCm);
    const bool w = bool(person.weightKg);
    const bool s = bool(person.sex);
    const bool a = bool(person.age);
    QCOMPARE(bool(result.bmi), h && w);
    QCOMPARE(bool(result.rh), h);
    QCOMPARE(bool(result.xch), h);
    QCOMPARE(bool(result.bivaDistance), s && h);
    QCOMPARE(bool(result.bivaRegion), s && h);
    QCOMPARE(bool(result.phaseAngleZ), s && a);
    QCOMPARE(bool(result.phaseAngleClass), s && a);
    QCOMPARE(bool(result.ffm), s && a && h && w);
    QCOMPARE(bool(result.tbw), s && a && h && w);
}

void TestAnalysis::measurementsThatGiveLittle()
{
    const Subject person = subject(Sex::Male, 40, 175, 70);

    Measurement failed = measured(500.0, 60.0);
    failed.failure = Failure::typeMismatch();
    const Analysis none = analyse(person, failed, piccoli1995());
    QVERIFY(!none.bmi && !none.rh && !none.bivaDistance && !none.phaseAngleZ && !none.ffm &&
            !none.tbw);
    QCOMPARE(none.notes,
             QStringList{QStringLiteral("The measurement failed, so nothing is analysed.")});
    QCOMPARE(none.subject, person);

    // A resistance of 0 leaves the angle undefined and H²/R infinite; the
    // vector itself still has a place on the graph.
    const Analysis zero = analyse(person, measured(0.0, 60.0), piccoli1995());
    QVERIFY(zero.bmi && zero.rh && zero.bivaDistance);
    QVERIFY(!zero.phaseAngleZ && !zero.phaseAngleClass && !zero.ffm && !zero.fm &&
            !zero.fatPercent && !zero.tbw);
    QCOMPARE(zero.notes,
             QStringList{QStringLiteral(
                 "A resistance of 0 Ω gives no phase angle, fat-free mass or total body water.")});

    const Analysis negative = analyse(person, measured(-12.5, 60.0), piccoli1995());
    QVERIFY(!negative.phaseAngleZ && !negative.ffm && !negative.tbw);
    QCOMPARE(
        negative.notes,
        QStringList{QStringLiteral(
            "A resistance of -12.5 Ω gives no phase angle, fat-free mass or total body water.")});
}

void TestAnalysis::referenceOutsideItsAges_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("age");
    QTest::addColumn<QString>("note");
    QTest::newRow("piccoli1995 at 15")
        << "piccoli1995" << 15
        << "The BIVA reference piccoli1995 was made from people of ages 16 to 85.";
    QTest::newRow("piccoli1995 at 16") << "piccoli1995" << 16 << QString();
    QTest::newRow("piccoli1995 at 85") << "piccoli1995" << 85 << QString();
    QTest::newRow("piccoli1995 at 86")
        << "piccoli1995" << 86
        << "The BIVA reference piccoli1995 was made from people of ages 16 to 85.";
    QTest::newRow("campa2023 at 66")
        << "campa2023" << 66
        << "The BIVA reference campa2023 was made from people of ages 18 to 65.";
    QTest::newRow("athletes have no age range") << "campa2019-athletes" << 94 << QString();
}

void TestAnalysis::referenceOutsideItsAges()
{
    QFETCH(QString, reference);
    QFETCH(int, age);
    QFETCH(QString, note);
    const Analysis result = analyse(subject(Sex::Male, age, 175, 70), measured(500.0, 60.0),
                                    *builtInReference(reference));
    // The vector is compared all the same; the note only says so.
    QVERIFY(result.bivaDistance);
    QStringList notes = result.notes;
    notes.removeIf([](const QString &n) { return !n.startsWith(QStringLiteral("The BIVA")); });
    QCOMPARE(notes.join(u' '), note);
}

void TestAnalysis::builtInReferences()
{
    const auto references = analysis::builtInReferences();
    QCOMPARE(references.size(), std::size_t(3));
    QCOMPARE(references.front().name, defaultReferenceName());
    QCOMPARE(defaultReferenceName(), QStringLiteral("piccoli1995"));
    for (const BivaReference &reference : references) {
        QVERIFY(!reference.citation.isEmpty());
        for (const BivaGroup &group : {reference.male, reference.female})
            QVERIFY(group.n >= 3 && group.rhSd > 0 && group.xchSd > 0 && std::abs(group.r) < 1);
    }
    QCOMPARE(builtInReference(QStringLiteral("campa2023"))->female.n, 2230);
    QVERIFY(!builtInReference(QStringLiteral("Piccoli1995")));
}

void TestAnalysis::referenceFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lab.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(validReference)
                   .replace(R"("r": 0.60})", R"("r": 0.60}, "age_min": 18, "age_max": 70)"));
    file.close();

    const auto loaded = referenceFromFile(path);
    const auto *reference = std::get_if<BivaReference>(&loaded);
    QVERIFY(reference);
    QCOMPARE(reference->name, QStringLiteral("lab-device-2026"));
    QCOMPARE(reference->citation, QStringLiteral("free text"));
    QCOMPARE(reference->ageMin, std::optional<int>(18));
    QCOMPARE(reference->ageMax, std::optional<int>(70));
    QCOMPARE(reference->male.n, 60);
    QCOMPARE(reference->male.rhMean, 280.0);
    QCOMPARE(reference->female.xchSd, 6.0);
    QCOMPARE(reference->female.r, 0.60);

    const auto bare = referenceFromJson(validReference);
    QVERIFY(std::holds_alternative<BivaReference>(bare));
    QVERIFY(!std::get<BivaReference>(bare).ageMin && !std::get<BivaReference>(bare).ageMax);
}

void TestAnalysis::malformedReferenceFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ReferenceFileError::Kind>("kind");
    QTest::addColumn<QString>("reason");
    const QByteArray valid(validReference);
    auto with = [&](const char *from, const char *to) {
        return QByteArray(valid).replace(from, to);
    };
    QTest::newRow("not JSON") << QByteArray("{\"name\": ") << ReferenceFileError::NotJson
                              << "it is not JSON: ";
    QTest::newRow("an array") << QByteArray("[]") << ReferenceFileError::NotAnObject
                              << "it is not a JSON object";
    QTest::newRow("no name") << with("\"name\": \"lab-device-2026\",", "")
                             << ReferenceFileError::MissingField << "\"name\" is missing";
    QTest::newRow("empty name") << with("\"lab-device-2026\"", "\" \"")
                                << ReferenceFileError::MissingField << "\"name\" is missing";
    QTest::newRow("no citation") << with("\"citation\": \"free text\",", "")
                                 << ReferenceFileError::MissingField << "\"citation\" is missing";
    QTest::newRow("no women") << with(R"(,
  "female")",
                                      R"(, "other")")
                              << ReferenceFileError::MissingField << "\"female\" is missing";
    QTest::newRow("men not an object")
        << with(R"("male":   {)", R"("male": 1, "x": {)") << ReferenceFileError::NotAnObject
        << "\"male\" is not an object of n, means, SDs and r";
    QTest::newRow("no SD") << with("\"r_h_sd\": 30.0, ", "") << ReferenceFileError::MissingField
                           << "\"male.r_h_sd\" is missing";
    QTest::newRow("mean as text") << with("\"xc_h_mean\": 37.0", "\"xc_h_mean\": \"37\"")
                                  << ReferenceFileError::NotANumber
                                  << "\"female.xc_h_mean\" is not a number";
    QTest::newRow("fractional n") << with("\"n\": 60, \"r_h_mean\": 280.0",
                                          "\"n\": 60.5, \"r_h_mean\": 280.0")
                                  << ReferenceFileError::NotAWholeNumber
                                  << "\"male.n\" is not a whole number";
    QTest::newRow("n = 2") << with("\"n\": 60, \"r_h_mean\": 350.0",
                                   "\"n\": 2, \"r_h_mean\": 350.0")
                           << ReferenceFileError::TooFewPeople << "\"female.n\" must be at least 3";
    QTest::newRow("SD 0") << with("\"xc_h_sd\": 5.0", "\"xc_h_sd\": 0")
                          << ReferenceFileError::SdNotPositive
                          << "\"male.xc_h_sd\" must be above 0";
    QTest::newRow("negative SD") << with("\"r_h_sd\": 40.0", "\"r_h_sd\": -40.0")
                                 << ReferenceFileError::SdNotPositive
                                 << "\"female.r_h_sd\" must be above 0";
    QTest::newRow("r = 1") << with("\"r\": 0.55", "\"r\": 1")
                           << ReferenceFileError::CorrelationOutOfRange
                           << "\"male.r\" must lie between -1 and 1, both excluded";
    QTest::newRow("r = -1.2") << with("\"r\": 0.60", "\"r\": -1.2")
                              << ReferenceFileError::CorrelationOutOfRange
                              << "\"female.r\" must lie between -1 and 1, both excluded";
    QTest::newRow("ages reversed")
        << with("\"citation\"", "\"age_min\": 70, \"age_max\": 18, \"citation\"")
        << ReferenceFileError::AgeRangeReversed << "\"age_min\" is above \"age_max\"";
    QTest::newRow("fractional age")
        << with("\"citation\"", "\"age_max\": 65.5, \"citation\"")
        << ReferenceFileError::NotAWholeNumber << "\"age_max\" is not a whole number";
}

void TestAnalysis::malformedReferenceFile()
{
    QFETCH(QByteArray, json);
    QFETCH(ReferenceFileError::Kind, kind);
    QFETCH(QString, reason);
    const auto loaded = referenceFromJson(json);
    const auto *error = std::get_if<ReferenceFileError>(&loaded);
    QVERIFY(error);
    QCOMPARE(error->kind, kind);
    QVERIFY2(describe(*error).startsWith(reason), qPrintable(describe(*error)));
}

void TestAnalysis::unreadableReferenceFile()
{
    QTemporaryDir dir;
    const auto missing = referenceFromFile(dir.filePath(QStringLiteral("none.json")));
    QVERIFY(std::holds_alternative<ReferenceFileError>(missing));
    QCOMPARE(std::get<ReferenceFileError>(missing).kind, ReferenceFileError::Unreadable);

    // A directory opens but cannot be read as a file.
    const auto directory = referenceFromFile(dir.path());
    QVERIFY(std::holds_alternative<ReferenceFileError>(directory));
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
