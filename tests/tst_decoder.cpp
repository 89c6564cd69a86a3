#include "common/failure.h"
#include "crosscheck.h"
#include "decoder/mdlDecodeEncode.h"
#include "frame.h"

#include <QTest>

using mdlDecodeEncode::decodingKey;

namespace {

// The record every decoding case enciphers, 60 characters.
QString plainRecord()
{
    return box::valueRecord({});
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void quersumme_data();
    void quersumme();
    void shiftsOfTheKey();
    void crossCheckVector();
    void decodes_data();
    void decodes();
    void fails_data();
    void fails();
    void dropsTheMarkerInPlace();
};

void TestDecoder::quersumme_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("expected");
    QTest::newRow("one digit") << 7 << 7;
    QTest::newRow("two digits") << 46 << 10;
    QTest::newRow("three digits count the first two") << 123 << 3;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative counts its first digit") << -5 << 5;
    QTest::newRow("negative two digits") << -46 << 4;
    QTest::newRow("lowest") << -32768 << 3;
}

void TestDecoder::quersumme()
{
    QFETCH(int, n);
    QFETCH(int, expected);
    QCOMPARE(mdlDecodeEncode::Quersumme(static_cast<qint16>(n)), expected);
}

void TestDecoder::shiftsOfTheKey()
{
    const mdlDecodeEncode::Shifts expected{73, 49, 25};
    QCOMPARE(mdlDecodeEncode::positionShifts(decodingKey()), expected);
    // A pair reading "00" has digit sum 0 and takes its fallback instead.
    const mdlDecodeEncode::Shifts zeros = mdlDecodeEncode::positionShifts(QStringLiteral("000000"));
    QVERIFY(zeros[0] > 0);
    QVERIFY(zeros[1] > 0);
    QCOMPARE(zeros[1], zeros[2]);
}

void TestDecoder::crossCheckVector()
{
    QString frame = QString::fromLatin1(crossCheckFrame());
    QCOMPARE(mdlDecodeEncode::fcEncodeString(frame, decodingKey()),
             QStringLiteral("M0001   523     60   4321 -00012;T2026-12-09;ok             "));
}

void TestDecoder::decodes_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("expected");
    const QString cipher = box::encipher(plainRecord(), decodingKey());
    QTest::newRow("exactly 62 characters") << QStringLiteral(">>") + cipher << plainRecord();
    QTest::newRow("characters past 62 ignored")
        << QStringLiteral(">>") + cipher + QStringLiteral("\x01\xff garbage") << plainRecord();
    QTest::newRow("any two leading characters") << QStringLiteral("xy") + cipher << plainRecord();

    QString withNul = plainRecord();
    withNul[10] = QChar(0);
    QTest::newRow("zero byte stays inside")
        << QStringLiteral(">>") + box::encipher(withNul, decodingKey()) << withNul;

    QString highBytes = plainRecord();
    highBytes[0] = QChar(0xff);
    highBytes[1] = QChar(0x80);
    QTest::newRow("codes up to 255")
        << QStringLiteral(">>") + box::encipher(highBytes, decodingKey()) << highBytes;
}

void TestDecoder::decodes()
{
    QFETCH(QString, frame);
    QFETCH(QString, expected);
    const QString decoded = mdlDecodeEncode::fcEncodeString(frame, decodingKey());
    QCOMPARE(decoded.size(), 60);
    QCOMPARE(decoded, expected);
}

void TestDecoder::fails_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("number");
    const QString cipher = box::encipher(plainRecord(), decodingKey());
    QTest::newRow("61 characters") << QStringLiteral(">>") + cipher.left(59) << decodingKey() << 5;
    QTest::newRow("one character") << QStringLiteral(">") << decodingKey() << 5;
    QTest::newRow("empty") << QString() << decodingKey() << 5;

    // Position 1 uses shift 73: a code of 72 would go below zero.
    QString below = QStringLiteral(">>") + cipher;
    below[2] = QChar(72);
    QTest::newRow("code below its shift") << below << decodingKey() << 6;
    QString third = QStringLiteral(">>") + cipher;
    third[4] = QChar(24);
    QTest::newRow("code below the third shift") << third << decodingKey() << 6;
    QString wide = QStringLiteral(">>") + cipher;
    wide[3] = QChar(0x2000);
    QTest::newRow("code above 255 after shift") << wide << decodingKey() << 6;

    QTest::newRow("key pair not a number")
        << QStringLiteral(">>") + cipher << QStringLiteral("59ab17") << 13;
    QTest::newRow("short key") << QStringLiteral(">>") + cipher << QStringLiteral("59") << 13;
}

void TestDecoder::fails()
{
    QFETCH(QString, frame);
    QFETCH(QString, key);
    QFETCH(int, number);
    try {
        mdlDecodeEncode::fcEncodeString(frame, key);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), number);
    }
}

void TestDecoder::dropsTheMarkerInPlace()
{
    const QString cipher = box::encipher(plainRecord(), decodingKey());
    QString frame = QStringLiteral(">>") + cipher;
    mdlDecodeEncode::fcEncodeString(frame, decodingKey());
    QCOMPARE(frame, cipher);
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
