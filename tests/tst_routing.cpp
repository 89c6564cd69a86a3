#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"
#include "messageboxanswerer.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QLocale>
#include <QPushButton>
#include <QTest>

namespace {

// What the window shows for the box's own measurement when it receives it
// directly, with no line in between.
QStringList expectedDisplay(const box::Values &values)
{
    Form1 form;
    Form1Access::receive(form, QString::fromLatin1(box::measurementFrame(
                                   box::valueRecord(values), mdlDecodeEncode::decodingKey)));
    return Form1Access::display(form);
}

QPushButton *button(Form1 &form, const char *name)
{
    return form.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

// The window as a user drives it: typing, clicking, closing; against the
// simulated box, paced like a 9600-baud line and handing its answer over in
// small chunks.
class TestRouting : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startShowsTheMeasurementAndClearEmptiesIt();
    void closingTheWindowClosesThePort();

private:
    TemporaryConfigHome m_configHome;
};

void TestRouting::startShowsTheMeasurementAndClearEmptiesIt()
{
    const box::SimulatedBox device{box::Behaviour{}};
    const QStringList expected = expectedDisplay(box::Behaviour{}.values);
    const QStringList blank(5, QString());
    const MessageBoxAnswerer answerer;
    Form1 form;
    form.show();
    QTest::keyClicks(Form1Access::portField(form), QString::number(device.port()));

    for (int round = 1; round <= 3; ++round) {
        QTest::mouseClick(button(form, "Command1"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), expected, 5000);
        QVERIFY(Form1Access::comm(form).portOpen());

        const qint64 received = Form1Access::buffer(form).length();
        QTest::mouseClick(button(form, "cmdClear"), Qt::LeftButton);
        QCOMPARE(Form1Access::display(form), blank);
        QVERIFY(!Form1Access::comm(form).portOpen());
        QCOMPARE(Form1Access::portField(form)->text(), QString::number(device.port()));
        QCOMPARE(Form1Access::buffer(form).length(), received);
    }
    QCOMPARE(device.received(), QByteArray("B593817").repeated(3));
    QVERIFY(answerer.shown().isEmpty());
}

void TestRouting::closingTheWindowClosesThePort()
{
    const box::SimulatedBox device{box::Behaviour{}};
    Form1 form;
    form.show();
    Form1Access::start(form, QString::number(device.port()));
    QVERIFY(Form1Access::comm(form).portOpen());
    QVERIFY(form.close());
    QVERIFY(!Form1Access::comm(form).portOpen());
}

QTEST_MAIN(TestRouting)
#include "tst_routing.moc"
