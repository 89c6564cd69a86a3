#include "common/failure.h"
#include "common/numbertext.h"

#include <QLocale>
#include <QTest>

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void toInt16Valid_data();
    void toInt16Valid();
    void toInt16Fails_data();
    void toInt16Fails();
    void formatGeneral_data();
    void formatGeneral();
    void roundHalfEven_data();
    void roundHalfEven();
};

void TestNumberText::toInt16Valid_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("leading blanks") << en << "   523" << 523;
    QTest::newRow("leading zeros") << en << "000520" << 520;
    QTest::newRow("minus with zeros") << en << "-00012" << -12;
    QTest::newRow("plus with zeros") << en << "+00042" << 42;
    QTest::newRow("trailing blanks") << en << "42    " << 42;
    QTest::newRow("half rounds down to even") << en << "  12.5" << 12;
    QTest::newRow("half rounds up to even") << en << "  13.5" << 14;
    QTest::newRow("negative half to even") << en << " -2.5" << -2;
    QTest::newRow("fraction only") << en << ".7" << 1;
    QTest::newRow("lowest") << en << "-32768" << -32768;
    QTest::newRow("highest") << en << " 32767" << 32767;
    QTest::newRow("german comma") << de << "  13,5" << 14;
    QTest::newRow("german point is not a separator") << de << "13" << 13;
}

void TestNumberText::toInt16Valid()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(int, expected);
    QLocale::setDefault(locale);
    QCOMPARE(numbertext::toInt16(text), expected);
}

void TestNumberText::toInt16Fails_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("empty") << en << "" << 13;
    QTest::newRow("blanks only") << en << "      " << 13;
    QTest::newRow("trailing letter") << en << "12a" << 13;
    QTest::newRow("exponent") << en << "1e3" << 13;
    QTest::newRow("group separator") << en << "1,000" << 13;
    QTest::newRow("two signs") << en << "+-1" << 13;
    QTest::newRow("blank after sign") << en << "- 12" << 13;
    QTest::newRow("two separators") << en << "1.2.3" << 13;
    QTest::newRow("sign alone") << en << "-" << 13;
    QTest::newRow("nul inside") << en << QString(QStringLiteral("12") + QChar(0)) << 13;
    QTest::newRow("point in german") << de << "12.5" << 13;
    QTest::newRow("above range") << en << " 40000" << 6;
    QTest::newRow("below range") << en << "-32769" << 6;
    QTest::newRow("rounds out of range") << en << "32767.5" << 6;
    QTest::newRow("beyond double") << en << QString(400, u'9') << 6;
}

void TestNumberText::toInt16Fails()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(int, number);
    QLocale::setDefault(locale);
    try {
        numbertext::toInt16(text);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), number);
    }
}

void TestNumberText::formatGeneral_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("tenths") << en << 52.3 << "52.3";
    QTest::newRow("whole") << en << 52.0 << "52";
    QTest::newRow("below one") << en << 0.5 << "0.5";
    QTest::newRow("negative") << en << -1.2 << "-1.2";
    QTest::newRow("no grouping") << en << 3276.7 << "3276.7";
    QTest::newRow("lowest tenths") << en << -3276.8 << "-3276.8";
    QTest::newRow("negative zero") << en << -0.0 << "0";
    QTest::newRow("german tenths") << de << 52.3 << "52,3";
    QTest::newRow("german negative") << de << -1.2 << "-1,2";
    QTest::newRow("german no grouping") << de << 3276.7 << "3276,7";
    // Locales whose own minus sign or digits differ: the display keeps "-"
    // and 0-9, so that the phase angle can read the values back.
    const QLocale sv(QLocale::Swedish, QLocale::Sweden);
    const QLocale ar(QLocale::Arabic, QLocale::Egypt);
    QTest::newRow("swedish minus") << sv << -1.2 << "-1,2";
    QTest::newRow("arabic digits")
        << ar << -52.3 << QString(QStringLiteral("-52") + ar.decimalPoint() + u'3');
}

void TestNumberText::formatGeneral()
{
    QFETCH(QLocale, locale);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QLocale::setDefault(locale);
    QCOMPARE(numbertext::formatGeneral(value), expected);
    QCOMPARE(numbertext::toDouble(expected), value);
}

void TestNumberText::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("expected");
    QTest::newRow("quarter down") << 0.25 << 1 << 0.2;
    QTest::newRow("three quarters up") << 0.75 << 1 << 0.8;
    QTest::newRow("negative quarter") << -0.25 << 1 << -0.2;
    QTest::newRow("whole half down") << 2.5 << 0 << 2.0;
    QTest::newRow("whole half up") << 3.5 << 0 << 4.0;
    QTest::newRow("not a half") << 6.7778 << 1 << 6.8;
}

void TestNumberText::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(double, expected);
    QCOMPARE(numbertext::roundHalfEven(value, decimals), expected);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
