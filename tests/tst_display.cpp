#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <QLocale>
#include <QTest>

namespace {

QString frameFor(const box::Values &values)
{
    return QString::fromLatin1(
        box::measurementFrame(box::valueRecord(values), mdlDecodeEncode::decodingKey()));
}

const QStringList blank(5, QString());
const QStringList defaultDisplay{"523", "60", "432.1", "-1.2", "6.5"};

} // namespace

// The window's fields show what the receive buffer gives, and nothing else.
class TestDisplay : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void showsEachEvaluationWhole_data();
    void showsEachEvaluationWhole();
    void nothingBeforeAFrame();
    void emptyingTheBufferEmptiesTheDisplay();
    void laterChunksShowTheSameValuesAfterClear();
};

void TestDisplay::showsEachEvaluationWhole_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("good frame") << frameFor(box::Values{}) << defaultDisplay;
    QTest::newRow("resistance zero")
        << frameFor(box::Values{0, 60, 4321, -12}) << QStringList{"0", "6", "432.1", "-1.2", ""};
    QString undecodable = frameFor(box::Values{});
    undecodable[2] = QChar(0);
    QTest::newRow("undecodable frame") << undecodable << blank;
}

void TestDisplay::showsEachEvaluationWhole()
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

void TestDisplay::nothingBeforeAFrame()
{
    Form1 form;
    const QString frame = frameFor(box::Values{});
    Form1Access::receive(form, QStringView(frame).left(67));
    QCOMPARE(Form1Access::display(form), blank);
    Form1Access::receive(form, QStringView(frame).mid(67));
    QCOMPARE(Form1Access::display(form), defaultDisplay);
}

void TestDisplay::emptyingTheBufferEmptiesTheDisplay()
{
    Form1 form;
    Form1Access::receive(form, frameFor(box::Values{}));
    QCOMPARE(Form1Access::display(form), defaultDisplay);
    Form1Access::emptyBuffer(form);
    QCOMPARE(Form1Access::display(form), blank);
}

void TestDisplay::laterChunksShowTheSameValuesAfterClear()
{
    Form1 form;
    const QString frame = frameFor(box::Values{});
    for (const QChar c : frame)
        Form1Access::receive(form, QStringView(&c, 1));
    Form1Access::clearTextBox(form);
    QCOMPARE(Form1Access::display(form), blank);
    QVERIFY(Form1Access::buffer(form).holdsFrame());
    Form1Access::receive(form, QStringLiteral("more bytes >> and a new frame ") +
                                   frameFor(box::Values{4800, -24, 1, 1}));
    QCOMPARE(Form1Access::display(form), defaultDisplay);
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
