#include "form1access.h"
#include "messageboxanswerer.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QLocale>
#include <QPushButton>
#include <QTest>

namespace {

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
    // The box's default measurement: 5230, 600, 4321 and -12 tenths.
    const QStringList expected{QStringLiteral("523"), QStringLiteral("60"), QStringLiteral("432.1"),
                               QStringLiteral("-1.2"), QStringLiteral("6.5")};
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
