#include "common/numbertext.h"
#include "record/record.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTest>
#include <QTimeZone>

namespace {

// Resistance 52.3, reactance 6, R-Hand 432.1, R-Foot -1.2, phase angle 6.5 as
// the evaluation gives them; missing from `from` on.
Measurement measurement(int from = Measurement::valueCount)
{
    const double numbers[] = {52.3, 6.0, 432.1, -1.2, 6.5};
    const char *texts[] = {"52,3", "6", "432,1", "-1,2", "6,5"};
    Measurement m;
    for (int value = 0; value < from; ++value) {
        m.numbers[value] = numbers[value];
        m.texts[value] = QLatin1String(texts[value]);
    }
    return m;
}

Measurement zeroResistance()
{
    Measurement m = measurement(Measurement::PhaseAngle);
    m.numbers[Measurement::Resistance] = 0.0;
    m.texts[Measurement::Resistance] = QStringLiteral("0");
    return m;
}

const QDateTime noon(QDate(2026, 12, 10), QTime(12, 0, 0, 7), QTimeZone(3600));

// Whole body, hand to foot: R 500, Xc 60, as the evaluation gives them in the
// default locale.
Measurement wholeBody()
{
    const double numbers[] = {500.0, 60.0, 432.1, -1.2, 6.8};
    Measurement m;
    for (int value = 0; value < Measurement::valueCount; ++value) {
        m.numbers[value] = numbers[value];
        m.texts[value] = numbertext::formatGeneral(numbers[value]);
    }
    return m;
}

using analysis::Sex;

// A record that carries the analysis of the measurement for the subject,
// against the default BIVA reference.
Record analysed(const Measurement &measurement, const analysis::Subject &subject,
                const QString &error = QString())
{
    Record record{noon, 3, measurement, error, std::nullopt};
    record.analysis = analysis::analyse(
        subject, measurement, *analysis::builtInReference(analysis::defaultReferenceName()));
    return record;
}

const analysis::Subject man40{Sex::Male, 40, 175.0, 70.0};

const QByteArray analysisHeader =
    "time,port,resistance,reactance,phase_angle,r_hand,r_foot,sex,age,height,weight,bmi,r_h,"
    "xc_h,biva_reference,biva_distance,biva_ellipse,phase_angle_z,phase_angle_class,ffm,fm,"
    "fat_percent,tbw,analysis_note,error\r\n";

} // namespace

Q_DECLARE_METATYPE(Record)
Q_DECLARE_METATYPE(analysis::Subject)

// How one record is written down in each format.
class TestRecordFormat : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void jsonReadsBack();
    void analysisInCsvAndJson_data();
    void analysisInCsvAndJson();
    void analysisInText_data();
    void analysisInText();
    void isoTimeCarriesTheOffset_data();
    void isoTimeCarriesTheOffset();
    void badFrameSaysWhatWentWrong_data();
    void badFrameSaysWhatWentWrong();
    void cleanup() { QLocale::setDefault(QLocale::system()); }
};

void TestRecordFormat::lines_data()
{
    QTest::addColumn<Record>("record");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("complete") << Record{noon, 3, measurement(), {}}
                              << QByteArray("2026-12-10T12:00:00.007+01:00,3,52.3,6,6.5,432.1,-1.2,"
                                            "\r\n")
                              << QByteArray("2026-12-10 12:00:00  Com-Port 3  Resistance 52,3  "
                                            "Reactance 6  Phase angle 6,5  R-Hand 432,1  "
                                            "R-Foot -1,2\n");
    QTest::newRow("zero resistance, no phase angle")
        << Record{noon, 3, zeroResistance(), {}}
        << QByteArray("2026-12-10T12:00:00.007+01:00,3,0,6,,432.1,-1.2,\r\n")
        << QByteArray("2026-12-10 12:00:00  Com-Port 3  Resistance 0  Reactance 6  Phase angle -  "
                      "R-Hand 432,1  R-Foot -1,2\n");
    QTest::newRow("failed part-way")
        << Record{noon, 12, measurement(Measurement::RHand), QStringLiteral("bad frame")}
        << QByteArray("2026-12-10T12:00:00.007+01:00,12,52.3,6,,,,bad frame\r\n")
        << QByteArray("2026-12-10 12:00:00  Com-Port 12  Resistance 52,3  Reactance 6  "
                      "Phase angle -  R-Hand -  R-Foot -  error: bad frame\n");
    QTest::newRow("error that needs quoting")
        << Record{noon, 3, Measurement(), QStringLiteral("cannot open port: \"busy\", retry")}
        << QByteArray("2026-12-10T12:00:00.007+01:00,3,,,,,,\"cannot open port: \"\"busy\"\", "
                      "retry\"\r\n")
        << QByteArray("2026-12-10 12:00:00  Com-Port 3  Resistance -  Reactance -  Phase angle -  "
                      "R-Hand -  R-Foot -  error: cannot open port: \"busy\", retry\n");
}

void TestRecordFormat::lines()
{
    QFETCH(Record, record);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, text);
    QCOMPARE(recordformat::csv(record), csv);
    QCOMPARE(recordformat::text(record), text);
    QCOMPARE(recordformat::csvHeader(),
             QByteArray("time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r\n"));
}

void TestRecordFormat::jsonReadsBack()
{
    // The German separator in the texts must not leak into the numbers.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray complete = recordformat::json({noon, 3, measurement(), {}});
    const QByteArray failed =
        recordformat::json({noon, 3, measurement(Measurement::RHand), QStringLiteral("bad frame")});
    QVERIFY(complete.endsWith("}\n") && complete.count('\n') == 1);
    QVERIFY(!complete.contains("52,3"));

    const QJsonObject good = QJsonDocument::fromJson(complete).object();
    QCOMPARE(good.value(QStringLiteral("time")).toString(),
             QStringLiteral("2026-12-10T12:00:00.007+01:00"));
    QCOMPARE(good.value(QStringLiteral("port")).toInt(), 3);
    QCOMPARE(good.value(QStringLiteral("resistance")).toDouble(), 52.3);
    QCOMPARE(good.value(QStringLiteral("reactance")).toDouble(), 6.0);
    QCOMPARE(good.value(QStringLiteral("phase_angle")).toDouble(), 6.5);
    QCOMPARE(good.value(QStringLiteral("r_hand")).toDouble(), 432.1);
    QCOMPARE(good.value(QStringLiteral("r_foot")).toDouble(), -1.2);
    QVERIFY(!good.contains(QStringLiteral("error")));

    const QJsonObject bad = QJsonDocument::fromJson(failed).object();
    QCOMPARE(bad.value(QStringLiteral("resistance")).toDouble(), 52.3);
    for (const char *key : {"phase_angle", "r_hand", "r_foot"})
        QVERIFY2(bad.value(QLatin1String(key)).isNull(), key);
    QCOMPARE(bad.value(QStringLiteral("error")).toString(), QStringLiteral("bad frame"));
}

void TestRecordFormat::analysisInCsvAndJson_data()
{
    QTest::addColumn<Record>("record");
    QTest::addColumn<QByteArray>("csv");
    // The analysis's keys as JSON must give them; the others as before.
    QTest::addColumn<QByteArray>("json");
    // Worked by hand: BMI 70/1.75² = 22.857; R/H 500/1.75 = 285.71, Xc/H
    // 34.286; against piccoli1995's men z = (-0.298, 0.484), d = 0.768 < 1.182;
    // the angle atan(60/500) = 6.843° against 7.76 ± 0.85 at 40-49;
    // FFM -4.104 + 0.518·30625/500 + 0.231·70 + 0.130·60 + 4.229 = 55.82;
    // TBW 1.20 + 0.45·61.25 + 0.18·70 = 41.36.
    QTest::newRow("every input")
        << analysed(wholeBody(), man40)
        << QByteArray("2026-12-10T12:00:00.007+01:00,3,500,60,6.8,432.1,-1.2,male,40,175,70,22.9,"
                      "285.7,34.3,piccoli1995,0.77,50%,-1.08,p5_p95,55.8,14.2,20.3,41.4,,\r\n")
        << QByteArray(R"({"sex":"male","age":40,"height":175,"weight":70,"bmi":22.9,"r_h":285.7,
            "xc_h":34.3,"biva_reference":"piccoli1995","biva_distance":0.77,"biva_ellipse":"50%",
            "phase_angle_z":-1.08,"phase_angle_class":"p5_p95","ffm":55.8,"fm":14.2,
            "fat_percent":20.3,"tbw":41.4,"analysis_note":null})");
    // A subject field not given is empty, and so is all it would have given;
    // the note says why, and needs quoting for its commas.
    QTest::newRow("weight alone")
        << analysed(wholeBody(), {std::nullopt, std::nullopt, std::nullopt, 70.5})
        << QByteArray("2026-12-10T12:00:00.007+01:00,3,500,60,6.8,432.1,-1.2,,,,70.5,,,,"
                      "piccoli1995,,,,,,,,,\"BMI needs height. R/H and Xc/H need height. BIVA "
                      "needs sex and height. The phase angle comparison needs sex and age. "
                      "Fat-free mass, fat mass and body fat need sex, age and height. Total body "
                      "water needs sex, age and height.\",\r\n")
        << QByteArray(R"({"sex":null,"age":null,"height":null,"weight":70.5,"bmi":null,"r_h":null,
            "xc_h":null,"biva_reference":"piccoli1995","biva_distance":null,"biva_ellipse":null,
            "phase_angle_z":null,"phase_angle_class":null,"ffm":null,"fm":null,
            "fat_percent":null,"tbw":null,"analysis_note":"BMI needs height. R/H and Xc/H need
            height. BIVA needs sex and height. The phase angle comparison needs sex and age.
            Fat-free mass, fat mass and body fat need sex, age and height. Total body water needs
            sex, age and height."})")
               .simplified();
    Measurement broken = wholeBody();
    for (int value = Measurement::Reactance; value < Measurement::valueCount; ++value) {
        broken.numbers[value].reset();
        broken.texts[value].clear();
    }
    broken.failure = Failure::typeMismatch();
    QTest::newRow("failed measurement")
        << analysed(broken, {Sex::Female, 30, 160.0, 55.0}, QStringLiteral("bad frame"))
        << QByteArray("2026-12-10T12:00:00.007+01:00,3,500,,,,,female,30,160,55,,,,piccoli1995,"
                      ",,,,,,,,The measurement failed, so nothing is analysed.,bad frame\r\n")
               .replace("The measurement failed, so nothing is analysed.",
                        "\"The measurement failed, so nothing is analysed.\"")
        << QByteArray(R"({"sex":"female","age":30,"height":160,"weight":55,"bmi":null,"r_h":null,
            "xc_h":null,"biva_reference":"piccoli1995","biva_distance":null,"biva_ellipse":null,
            "phase_angle_z":null,"phase_angle_class":null,"ffm":null,"fm":null,
            "fat_percent":null,"tbw":null,
            "analysis_note":"The measurement failed, so nothing is analysed."})");
}

void TestRecordFormat::analysisInCsvAndJson()
{
    QFETCH(Record, record);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, json);
    // Records read alike in every locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(recordformat::csvHeader(true), analysisHeader);
    QCOMPARE(recordformat::csv(record), csv);
    QCOMPARE(recordformat::line(recordformat::Format::Csv, record), csv);

    const QByteArray line = recordformat::json(record);
    QVERIFY(line.endsWith("}\n") && line.count('\n') == 1);
    const QJsonObject written = QJsonDocument::fromJson(line).object();
    const QJsonObject expected = QJsonDocument::fromJson(json).object();
    QVERIFY2(!expected.isEmpty(), json.constData());
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        QVERIFY2(written.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(written.value(it.key()), it.value());
    }
    QCOMPARE(written.value(QStringLiteral("resistance")).toDouble(), 500.0);
    QCOMPARE(written.contains(QStringLiteral("error")), !record.error.isEmpty());
    // The time, the port, the five values and the error, if any, are all
    // there is besides.
    QCOMPARE(written.size(), expected.size() + 7 + (record.error.isEmpty() ? 0 : 1));
}

void TestRecordFormat::analysisInText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<analysis::Subject>("subject");
    QTest::addColumn<QString>("text");
    const auto measured = [](const QString &separator) {
        return QStringLiteral("2026-12-10 12:00:00  Com-Port 3  Resistance 500  Reactance 60  "
                              "Phase angle 6.8  R-Hand 432.1  R-Foot -1.2\n")
            .replace(u'.', separator);
    };
    QTest::newRow("english")
        << QLocale(QLocale::English, QLocale::UnitedStates) << man40
        << measured(QStringLiteral(".")) +
               QStringLiteral(
                   "  Sex male  Age 40 years  Height 175 cm  Weight 70 kg\n"
                   "  BMI 22.9 kg/m²  R/H 285.7 Ω/m  Xc/H 34.3 Ω/m\n"
                   "  BIVA 0.77 from the mean of piccoli1995, inside the 50% ellipse\n"
                   "  Phase angle z -1.08, between the 5th and the 95th percentile of the age "
                   "band\n"
                   "  Fat-free mass 55.8 kg  Fat mass 14.2 kg  Body fat 20.3 %  Total body water "
                   "41.4 L\n");
    QTest::newRow("german, height with a fraction, no age")
        << QLocale(QLocale::German, QLocale::Germany)
        << analysis::Subject{Sex::Female, std::nullopt, 162.5, 58.0}
        << measured(QStringLiteral(",")) +
               QStringLiteral(
                   "  Sex female  Age -  Height 162,5 cm  Weight 58 kg\n"
                   "  BMI 22 kg/m²  R/H 307,7 Ω/m  Xc/H 36,9 Ω/m\n"
                   "  BIVA 1,62 from the mean of piccoli1995, inside the 75% ellipse\n"
                   "  Phase angle z -\n"
                   "  Fat-free mass -  Fat mass -  Body fat -  Total body water -\n"
                   "  Note: The phase angle comparison needs age. Fat-free mass, fat mass and "
                   "body fat need age. Total body water needs age.\n");
}

void TestRecordFormat::analysisInText()
{
    QFETCH(QLocale, locale);
    QFETCH(analysis::Subject, subject);
    QFETCH(QString, text);
    QLocale::setDefault(locale);
    QCOMPARE(QString::fromUtf8(recordformat::text(analysed(wholeBody(), subject))), text);
}

void TestRecordFormat::isoTimeCarriesTheOffset_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("iso");
    const QDate day(2026, 7, 1);
    const QTime time(8, 30, 5, 120);
    QTest::newRow("UTC") << QDateTime(day, time, QTimeZone::utc())
                         << QStringLiteral("2026-07-01T08:30:05.120+00:00");
    QTest::newRow("half an hour east") << QDateTime(day, time, QTimeZone(19800))
                                       << QStringLiteral("2026-07-01T08:30:05.120+05:30");
    QTest::newRow("west") << QDateTime(day, time, QTimeZone(-3 * 3600))
                          << QStringLiteral("2026-07-01T08:30:05.120-03:00");
}

void TestRecordFormat::isoTimeCarriesTheOffset()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, iso);
    QCOMPARE(recordformat::isoTime(time), iso);
}

void TestRecordFormat::badFrameSaysWhatWentWrong_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("error");
    QTest::newRow("a value that is no number")
        << 13 << QStringLiteral("bad frame: a value is not a number (Type mismatch, 13)");
    QTest::newRow("a character below its shift, or a value beyond 16 bits")
        << 6 << QStringLiteral("bad frame: the frame is malformed (Overflow, 6)");
    QTest::newRow("anything else")
        << 5
        << QStringLiteral("bad frame: the frame cannot be read (Invalid procedure call or "
                          "argument, 5)");
}

void TestRecordFormat::badFrameSaysWhatWentWrong()
{
    QFETCH(int, number);
    QFETCH(QString, error);
    const Failure failure = number == 13  ? Failure::typeMismatch()
                            : number == 6 ? Failure::overflow()
                                          : Failure::invalidCall();
    Measurement partial = measurement(Measurement::Reactance);
    partial.failure = failure;
    const Record record = recordformat::fromMeasurement(noon, 3, partial);
    QCOMPARE(record.error, error);
    QCOMPARE(record.measurement.numbers[Measurement::Resistance], std::optional<double>(52.3));
    QCOMPARE(recordformat::fromMeasurement(noon, 3, measurement()).error, QString());
}

QTEST_GUILESS_MAIN(TestRecordFormat)
#include "tst_recordformat.moc"
