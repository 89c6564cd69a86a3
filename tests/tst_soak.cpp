#include "behaviour.h"
#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"
#include "messageboxanswerer.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocale>
#include <QTest>
#include <QTimer>

namespace {

const QStringList blank(5, QString());

box::Behaviour fastBox(const box::Values &values = {})
{
    box::Behaviour behaviour;
    behaviour.fast = true;
    behaviour.values = values;
    return behaviour;
}

QByteArray frameFor(const box::Values &values)
{
    return box::answer(fastBox(values), mdlDecodeEncode::decodingKey);
}

// What the window shows when it receives these bytes directly, fresh, with no
// line and no earlier measurement in between.
QStringList displayFor(const QByteArray &bytes)
{
    Form1 form;
    Form1Access::receive(form, QString::fromLatin1(bytes));
    return Form1Access::display(form);
}

// Runs the event loop until condition holds, sleeping until each next event
// rather than polling, so that thousands of round trips over the line cost
// only their own time. False when timeoutMs pass first.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace

// Hostile lines against the simulated box over real pseudo-terminals.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void garbledAnswerAfterAGoodOne_data();
    void garbledAnswerAfterAGoodOne();

private:
    TemporaryConfigHome m_configHome;
};

void TestSoak::garbledAnswerAfterAGoodOne_data()
{
    const box::Values later{4800, -24, 4000, 3900};
    const auto faulty = [&later](box::Fault fault) {
        box::Behaviour behaviour = fastBox(later);
        behaviour.fault = fault;
        return box::answer(behaviour, mdlDecodeEncode::decodingKey);
    };
    const QByteArray whole = frameFor(later);
    const QString record = box::valueRecord(later);
    QByteArray belowShift = whole;
    belowShift[40] = '\x01';

    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("silent") << QByteArray();
    QTest::newRow("cut short") << whole.left(50);
    QTest::newRow("frame without trailer") << whole.left(62);
    QTest::newRow("no marker") << faulty(box::Fault::NoMarker);
    QTest::newRow("garbage first") << faulty(box::Fault::GarbageFirst);
    QTest::newRow("first value not a number") << faulty(box::Fault::BadValue);
    QTest::newRow("third value not a number") << box::measurementFrame(
        QString(record).replace(19, 6, QStringLiteral("4x00  ")), mdlDecodeEncode::decodingKey);
    QTest::newRow("zero resistance") << faulty(box::Fault::ZeroResistance);
    QTest::newRow("character below its shift") << belowShift;
    QTest::newRow("noise") << QByteArray("x7#q!kz0%w ").repeated(30);
}

void TestSoak::garbledAnswerAfterAGoodOne()
{
    QFETCH(QByteArray, answer);
    const QByteArray good = frameFor({});
    box::SimulatedBox goodBox(fastBox());
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox badBox(silent);
    connect(&badBox, &box::SimulatedBox::commandReceived, &badBox,
            [&badBox, &answer] { badBox.send(answer); });
    Form1 form;
    const MessageBoxAnswerer answerer;

    const QStringList measured = displayFor(good);
    Form1Access::start(form, QString::number(goodBox.port()));
    QVERIFY(waitFor([&] { return Form1Access::display(form) == measured; }));
    // The conversation ends without Clear, as when the line drops.
    Form1Access::close(form);

    Form1Access::start(form, QString::number(badBox.port()));
    QVERIFY(waitFor([&] {
        return badBox.received() == "B593817" &&
               Form1Access::buffer(form).length() == answer.size();
    }));
    QCOMPARE(Form1Access::display(form), displayFor(answer));
    QVERIFY(answerer.shown().isEmpty());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
