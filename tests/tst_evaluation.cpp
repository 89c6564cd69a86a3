#include "crosscheck.h"
#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <QLocale>
#include <QTest>

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

const QStringList blank{QString(), QString(), QString(), QString(), QString()};

} // namespace

class TestEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void trigger_data();
    void trigger();
    void display_data();
    void display();
    void failureLeavesNothingStale_data();
    void failureLeavesNothingStale();
    void emptyingTheBufferEmptiesTheDisplay();
    void laterChunksShowTheSameValues();
    void markerAcrossChunks();
    void bufferStaysBounded();
    void clearTextBoxEmptiesTheDisplay();
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
    Form1 form;
    Form1Access::receive(form, buffer);
    QCOMPARE(Form1Access::display(form) != blank, evaluated);
}

void TestEvaluation::display_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("expected");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QString crossCheck = QString::fromLatin1(crossCheckFrame());
    QTest::newRow("independent vector")
        << en << crossCheck << QStringList{"52.3", "6", "432.1", "-1.2", "6.5"};
    QTest::newRow("independent vector, german")
        << de << crossCheck << QStringList{"52,3", "6", "432,1", "-1,2", "6,5"};
    QTest::newRow("blanks, zeros and minus")
        << en << frameFor(recordWith("   523", "000520", "-00012", "     5"))
        << QStringList{"52.3", "52", "-1.2", "0.5", "44.8"};
    QTest::newRow("phase 500 and 60") << en << frameFor(box::Values{500, 60, 1, 1})
                                      << QStringList{"50", "6", "0.1", "0.1", "6.8"};
    QTest::newRow("phase 480 and -24") << en << frameFor(box::Values{480, -24, 1, 1})
                                       << QStringList{"48", "-2.4", "0.1", "0.1", "-2.9"};
    QTest::newRow("tiny negative phase shows 0") << en << frameFor(box::Values{32767, -1, 0, 0})
                                                 << QStringList{"3276.7", "-0.1", "0", "0", "0"};
    QTest::newRow("range ends, never grouped") << en << frameFor(box::Values{32767, -32768, 0, 0})
                                               << QStringList{"3276.7", "-3276.8", "0", "0", "-45"};
    QTest::newRow("record ends at semicolon")
        << en << frameFor(QStringLiteral("M0001   100 ;").leftJustified(60, u'9'))
        << QStringList{"10", "", "", "", ""};
}

void TestEvaluation::display()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, frame);
    QFETCH(QStringList, expected);
    QLocale::setDefault(locale);
    Form1 form;
    Form1Access::receive(form, frame);
    QCOMPARE(Form1Access::display(form), expected);
}

void TestEvaluation::failureLeavesNothingStale_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("resistance not a number")
        << frameFor(recordWith("  12a ", "    60", "  4321", "   -12")) << blank;
    QTest::newRow("reactance out of range")
        << frameFor(recordWith("   523", " 40000", "  4321", "   -12"))
        << QStringList{"52.3", "", "", "", ""};
    QTest::newRow("r-foot empty") << frameFor(recordWith("   523", "    60", "  4321", "      "))
                                  << QStringList{"52.3", "6", "432.1", "", ""};
    QTest::newRow("resistance zero")
        << frameFor(box::Values{0, 60, 4321, -12}) << QStringList{"0", "6", "432.1", "-1.2", ""};
    QTest::newRow("resistance and reactance zero")
        << frameFor(box::Values{0, 0, 4321, -12}) << QStringList{"0", "0", "432.1", "-1.2", ""};

    // Position 1 uses shift 73; a code of 0 cannot be deciphered.
    QString undecodable = frameFor(box::Values{});
    undecodable[2] = QChar(0);
    QTest::newRow("character below its shift") << undecodable << blank;
}

void TestEvaluation::failureLeavesNothingStale()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, expected);
    Form1 form;
    // Whatever the fields held before (a user's typing, say) must not stand
    // beside the values this frame gave.
    for (QLineEdit *field : form.findChildren<QLineEdit *>())
        field->setText(QStringLiteral("stale"));
    Form1Access::receive(form, frame);
    QCOMPARE(Form1Access::display(form), expected);
}

void TestEvaluation::emptyingTheBufferEmptiesTheDisplay()
{
    Form1 form;
    Form1Access::receive(form, frameFor(box::Values{}));
    QVERIFY(Form1Access::display(form) != blank);
    Form1Access::emptyBuffer(form);
    QCOMPARE(Form1Access::display(form), blank);
}

void TestEvaluation::laterChunksShowTheSameValues()
{
    const QString frame = frameFor(box::Values{});
    const QStringList expected{"523", "60", "432.1", "-1.2", "6.5"};
    Form1 form;
    for (const QChar c : frame)
        Form1Access::receive(form, QStringView(&c, 1));
    Form1Access::clearTextBox(form);
    Form1Access::receive(form, QStringLiteral("more bytes >> and a new frame ") + frame);
    QCOMPARE(Form1Access::display(form), expected);
}

void TestEvaluation::markerAcrossChunks()
{
    const QString frame = frameFor(box::Values{});
    Form1 form;
    Form1Access::receive(form, frame.left(1));
    QVERIFY(!Form1Access::buffer(form).containsMarker());
    Form1Access::receive(form, frame.mid(1));
    QVERIFY(Form1Access::buffer(form).containsMarker());
    QVERIFY(Form1Access::display(form) != blank);
}

void TestEvaluation::bufferStaysBounded()
{
    Form1 form;
    Form1Access::receive(form, frameFor(box::Values{}));
    const QString garbage(4096, u'x');
    for (int i = 0; i < 256; ++i)
        Form1Access::receive(form, garbage);
    const ReceiveBuffer &buffer = Form1Access::buffer(form);
    QCOMPARE(buffer.length(), frameFor(box::Values{}).size() + 256 * 4096);
    QCOMPARE(buffer.head().size(), ReceiveBuffer::frameLength);
    QCOMPARE(Form1Access::display(form).first(), QStringLiteral("523"));
}

void TestEvaluation::clearTextBoxEmptiesTheDisplay()
{
    Form1 form;
    Form1Access::receive(form, frameFor(box::Values{}));
    Form1Access::clearTextBox(form);
    QCOMPARE(Form1Access::display(form), blank);
    QVERIFY(Form1Access::buffer(form).holdsFrame());
}

// CTest runs this binary a second time with LC_ALL=de_DE.UTF-8.
void TestEvaluation::followsTheSystemLocale()
{
    QLocale::setDefault(QLocale::system());
    const QString point = QLocale::system().decimalPoint();
    if (qEnvironmentVariable("LC_ALL") == QLatin1String("de_DE.UTF-8"))
        QCOMPARE(point, QStringLiteral(","));
    Form1 form;
    Form1Access::receive(form, frameFor(box::Values{}));
    QCOMPARE(Form1Access::display(form), (QStringList{"523", "60", "432" + point + "1",
                                                      "-1" + point + "2", "6" + point + "5"}));
}

QTEST_MAIN(TestEvaluation)
#include "tst_evaluation.moc"
