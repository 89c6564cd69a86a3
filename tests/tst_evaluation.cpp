#include "crosscheck.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/evaluation.h"
#include "evaluation/receivebuffer.h"
#include "frame.h"

#include <QLocale>
#include <QTest>

#include <cmath>

using mdlDecodeEncode::decodingKey;

namespace {

QString frameFor(const QString &plain)
{
    return QString::fromLatin1(box::measurementFrame(plain, decodingKey()));
}

QString frameFor(const box::Values &values)
{
    return frameFor(box::valueRecord(values));
}

// A record whose six-character value fields hold the given texts.
QString recordWith(const QString &r, const QString &xc, const QString &rh, const QString &rf)
{
    return (QStringLiteral("M0001") + r + u' ' + xc + u' ' + rh + u' ' + rf + u';')
        .leftJustified(60, u' ');
}

std::optional<Measurement> evaluated(QStringView received)
{
    ReceiveBuffer buffer;
    buffer.append(received);
    return evaluation::evaluate(buffer);
}

QStringList textsOf(const Measurement &measurement)
{
    return {measurement.texts.begin(), measurement.texts.end()};
}

// Each value's number, or an invalid QVariant where it is missing.
QVariantList numbersOf(const Measurement &measurement)
{
    QVariantList numbers;
    for (const std::optional<double> &number : measurement.numbers)
        numbers << (number ? QVariant(*number) : QVariant());
    return numbers;
}

const QVariant none;

} // namespace

// The evaluation without any window: what a receive buffer gives.
class TestEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void trigger_data();
    void trigger();
    void values_data();
    void values();
    void failureKeepsWhatCameBefore_data();
    void failureKeepsWhatCameBefore();
    void markerAcrossChunks();
    void bufferStaysBounded();
    void followsTheSystemLocale();
};

void TestEvaluation::trigger_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<bool>("evaluated");
    const QString frame = frameFor(box::Values{});
    QVERIFY(frame.size() >= 68);
    QTest::newRow("67 characters with marker") << frame.left(67) << false;
    QTest::newRow("68 characters with marker") << frame.left(68) << true;
    QTest::newRow("marker later in the buffer")
        << QStringLiteral("??") + frame.mid(2, 60) + QStringLiteral("xx>>yy") << true;
    QTest::newRow("68 characters without marker")
        << QStringLiteral("<<") + frame.mid(2, 66) << false;
    QTest::newRow("a single > is no marker") << QStringLiteral(">x") + frame.mid(2) << false;
}

void TestEvaluation::trigger()
{
    QFETCH(QString, buffer);
    QFETCH(bool, evaluated);
    QCOMPARE(::evaluated(buffer).has_value(), evaluated);
}

void TestEvaluation::values_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QVariantList>("numbers");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QString crossCheck = QString::fromLatin1(crossCheckFrame());
    const QVariantList crossCheckNumbers{52.3, 6.0, 432.1, -1.2, 6.5};
    QTest::newRow("independent vector")
        << en << crossCheck << QStringList{"52.3", "6", "432.1", "-1.2", "6.5"}
        << crossCheckNumbers;
    QTest::newRow("independent vector, german")
        << de << crossCheck << QStringList{"52,3", "6", "432,1", "-1,2", "6,5"}
        << crossCheckNumbers;
    QTest::newRow("blanks, zeros and minus")
        << en << frameFor(recordWith("   523", "000520", "-00012", "     5"))
        << QStringList{"52.3", "52", "-1.2", "0.5", "44.8"}
        << QVariantList{52.3, 52.0, -1.2, 0.5, 44.8};
    QTest::newRow("phase 500 and 60")
        << en << frameFor(box::Values{500, 60, 1, 1}) << QStringList{"50", "6", "0.1", "0.1", "6.8"}
        << QVariantList{50.0, 6.0, 0.1, 0.1, 6.8};
    QTest::newRow("phase 480 and -24") << en << frameFor(box::Values{480, -24, 1, 1})
                                       << QStringList{"48", "-2.4", "0.1", "0.1", "-2.9"}
                                       << QVariantList{48.0, -2.4, 0.1, 0.1, -2.9};
    QTest::newRow("tiny negative phase shows 0") << en << frameFor(box::Values{32767, -1, 0, 0})
                                                 << QStringList{"3276.7", "-0.1", "0", "0", "0"}
                                                 << QVariantList{3276.7, -0.1, 0.0, 0.0, 0.0};
    QTest::newRow("range ends, never grouped") << en << frameFor(box::Values{32767, -32768, 0, 0})
                                               << QStringList{"3276.7", "-3276.8", "0", "0", "-45"}
                                               << QVariantList{3276.7, -3276.8, 0.0, 0.0, -45.0};
    // The phase angle is undefined, and no failure.
    QTest::newRow("resistance zero")
        << en << frameFor(box::Values{0, 60, 4321, -12})
        << QStringList{"0", "6", "432.1", "-1.2", ""} << QVariantList{0.0, 6.0, 432.1, -1.2, none};
    QTest::newRow("resistance and reactance zero")
        << en << frameFor(box::Values{0, 0, 4321, -12})
        << QStringList{"0", "0", "432.1", "-1.2", ""} << QVariantList{0.0, 0.0, 432.1, -1.2, none};
}

void TestEvaluation::values()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, frame);
    QFETCH(QStringList, texts);
    QFETCH(QVariantList, numbers);
    QLocale::setDefault(locale);
    const std::optional<Measurement> measurement = evaluated(frame);
    QVERIFY(measurement);
    QCOMPARE(textsOf(*measurement), texts);
    QCOMPARE(numbersOf(*measurement), numbers);
    // A record carries the number, the window the text: their signs agree.
    for (int value = 0; value < Measurement::valueCount; ++value) {
        if (measurement->numbers[value])
            QCOMPARE(std::signbit(*measurement->numbers[value]), texts[value].startsWith(u'-'));
    }
    QVERIFY(!measurement->failure);
}

void TestEvaluation::failureKeepsWhatCameBefore_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("failure");
    const QStringList blank(Measurement::valueCount, QString());
    QTest::newRow("resistance not a number")
        << frameFor(recordWith("  12a ", "    60", "  4321", "   -12")) << blank << 13;
    QTest::newRow("reactance out of range")
        << frameFor(recordWith("   523", " 40000", "  4321", "   -12"))
        << QStringList{"52.3", "", "", "", ""} << 6;
    QTest::newRow("r-foot empty") << frameFor(recordWith("   523", "    60", "  4321", "      "))
                                  << QStringList{"52.3", "6", "432.1", "", ""} << 13;
    QTest::newRow("record ends at semicolon")
        << frameFor(QStringLiteral("M0001   100 ;").leftJustified(60, u'9'))
        << QStringList{"10", "", "", "", ""} << 13;
    // Position 1 uses shift 73; a code of 0 cannot be deciphered.
    QString undecodable = frameFor(box::Values{});
    undecodable[2] = QChar(0);
    QTest::newRow("character below its shift") << undecodable << blank << 6;
}

void TestEvaluation::failureKeepsWhatCameBefore()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, texts);
    QFETCH(int, failure);
    const std::optional<Measurement> measurement = evaluated(frame);
    QVERIFY(measurement);
    QCOMPARE(textsOf(*measurement), texts);
    for (int value = 0; value < Measurement::valueCount; ++value)
        QCOMPARE(measurement->numbers[value].has_value(), !texts[value].isEmpty());
    QVERIFY(measurement->failure);
    QCOMPARE(measurement->failure->number(), failure);
}

void TestEvaluation::markerAcrossChunks()
{
    const QString frame = frameFor(box::Values{});
    ReceiveBuffer buffer;
    buffer.append(QStringView(frame).left(1));
    QVERIFY(!buffer.containsMarker());
    buffer.append(QStringView(frame).mid(1));
    QVERIFY(buffer.containsMarker());
    QCOMPARE(evaluation::evaluate(buffer)->texts[Measurement::Resistance], QStringLiteral("523"));
}

void TestEvaluation::bufferStaysBounded()
{
    const QString frame = frameFor(box::Values{});
    ReceiveBuffer buffer;
    buffer.append(frame);
    // A later marker and frame among the garbage change nothing.
    buffer.append(QStringLiteral(">> and a new frame ") + frameFor(box::Values{4800, -24, 1, 1}));
    const QString garbage(4096, u'x');
    for (int i = 0; i < 256; ++i)
        buffer.append(garbage);
    QCOMPARE(buffer.head(), frame.left(ReceiveBuffer::frameLength));
    QCOMPARE(evaluation::evaluate(buffer)->texts[Measurement::Resistance], QStringLiteral("523"));
}

// CTest runs this binary a second time with LC_ALL=de_DE.UTF-8.
void TestEvaluation::followsTheSystemLocale()
{
    QLocale::setDefault(QLocale::system());
    const QString point = QLocale::system().decimalPoint();
    if (qEnvironmentVariable("LC_ALL") == QLatin1String("de_DE.UTF-8"))
        QCOMPARE(point, QStringLiteral(","));
    const std::optional<Measurement> measurement = evaluated(frameFor(box::Values{}));
    QVERIFY(measurement);
    QCOMPARE(textsOf(*measurement), (QStringList{"523", "60", "432" + point + "1",
                                                 "-1" + point + "2", "6" + point + "5"}));
}

QTEST_GUILESS_MAIN(TestEvaluation)
#include "tst_evaluation.moc"
