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

} // namespace

Q_DECLARE_METATYPE(Record)

// How one record is written down in each format.
class TestRecordFormat : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void jsonReadsBack();
    void isoTimeCarriesTheOffset_data();
    void isoTimeCarriesTheOffset();
    void badFrameSaysWhatWentWrong_data();
    void badFrameSaysWhatWentWrong();
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
