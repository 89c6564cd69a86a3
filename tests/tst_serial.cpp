#include "behaviour.h"
#include "cputime.h"
#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "messageboxanswerer.h"
#include "serial/portdirectory.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString notOpened = QStringLiteral("Der angegebene Com-Port konnte nicht geöffnet werden!");
const QString dataLossText = QStringLiteral("Datenverlust!");
// What the default box shows: 5230, 600, 4321 and -12 tenths.
const QStringList defaultDisplay{QStringLiteral("523"), QStringLiteral("60"),
                                 QStringLiteral("432.1"), QStringLiteral("-1.2"),
                                 QStringLiteral("6.5")};
const QStringList blank{QString(), QString(), QString(), QString(), QString()};

QString portText(const box::SimulatedBox &device)
{
    return QString::number(device.port());
}

// Why a port number leads to no usable device.
enum class Unusable { NoSuchDevice, HeldByAnotherProgram, EntryThatIsNoLink };

box::Behaviour fastBox()
{
    box::Behaviour behaviour;
    behaviour.fast = true;
    return behaviour;
}

} // namespace

// Start, the serial event handler and Close, against the simulated box over
// real pseudo-terminals.
class TestSerial : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startSendsTheStartCommandAndShowsTheAnswer();
    void valuesAppearWithThe68thCharacter();
    void startDiscardsWhatWasWaitingFromBefore();
    void startLeavesNoEarlierMeasurementOnScreen();
    void emptyPortField();
    void portFieldThatIsNoPortNumber_data();
    void portFieldThatIsNoPortNumber();
    void portWithoutUsableDevice_data();
    void portWithoutUsableDevice();
    void startWhileOpenEndsTheConversation();
    void lateAnswerToAnEarlierStartIsNeverShown();
    void dataLoss_data();
    void dataLoss();
    void dataLossBoxesDoNotStack();
    void floodingDeviceShowsOneLossAndLeavesClearReachable();
    void hangUpMidFrame();
    void hangUpWhileALossIsHandedOverDoesNotSpin();
    void glitchBeforeARestartLeavesTheNewConversationAlone_data();
    void glitchBeforeARestartLeavesTheNewConversationAlone();
    void closeClosesOnlyAnOpenPort();
    void boxFaults_data();
    void boxFaults();

private:
    TemporaryConfigHome m_configHome;
};

void TestSerial::startSendsTheStartCommandAndShowsTheAnswer()
{
    box::SimulatedBox device(box::Behaviour{});
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, portText(device));
    QVERIFY(Form1Access::comm(form).portOpen());
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray("B593817"));
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::valuesAppearWithThe68thCharacter()
{
    box::Behaviour oneByOne;
    oneByOne.chunk = 1;
    box::SimulatedBox device(oneByOne);
    const QByteArray frame = box::answer(oneByOne, mdlDecodeEncode::decodingKey());
    Form1 form;
    // Connected after the window's own handler, so it sees each chunk's result.
    struct Seen
    {
        qint64 length;
        QString resistance;
    };
    QList<Seen> seen;
    QObject probe;
    connect(&Form1Access::comm(form), &CommControl::OnComm, &probe, [&] {
        seen.append({Form1Access::buffer(form).length(), Form1Access::display(form).first()});
    });

    // Waits in the event loop, not in QTRY's sleeps between event passes:
    // the box hands over whatever fell due meanwhile, so a sleeping wait
    // would get the answer in a few large reads.
    QEventLoop arrived;
    connect(&Form1Access::comm(form), &CommControl::OnComm, &arrived, [&] {
        if (Form1Access::buffer(form).length() >= frame.size())
            arrived.quit();
    });
    QTimer::singleShot(5000, &arrived, &QEventLoop::quit);
    Form1Access::start(form, portText(device));
    arrived.exec();
    QCOMPARE(Form1Access::buffer(form).length(), frame.size());
    QVERIFY2(seen.size() > 10, "the answer should arrive in many chunks");
    for (const Seen &chunk : seen) {
        if (chunk.length < 68)
            QCOMPARE(chunk.resistance, QString());
        else
            QCOMPARE(chunk.resistance, QStringLiteral("523"));
    }
    QCOMPARE(Form1Access::buffer(form).head(), QString::fromLatin1(frame.left(62)));
    QCOMPARE(Form1Access::display(form), defaultDisplay);
}

void TestSerial::startDiscardsWhatWasWaitingFromBefore()
{
    box::SimulatedBox device(fastBox());
    // A whole earlier measurement still waiting on the line must not be shown
    // as this one's.
    box::Behaviour earlier;
    earlier.values = {4800, -24, 4000, 3900};
    device.send(box::answer(earlier, mdlDecodeEncode::decodingKey()));
    QTest::qWait(50);
    Form1 form;
    Form1Access::start(form, portText(device));
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
}

void TestSerial::startLeavesNoEarlierMeasurementOnScreen()
{
    box::SimulatedBox answering(fastBox());
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox silentBox(silent);
    Form1 form;
    Form1Access::start(form, portText(answering));
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
    Form1Access::close(form);
    // The next conversation brings nothing: the screen must not pass the
    // earlier values off as its answer.
    Form1Access::start(form, portText(silentBox));
    QVERIFY(Form1Access::comm(form).portOpen());
    QCOMPARE(Form1Access::display(form), blank);
}

void TestSerial::emptyPortField()
{
    box::SimulatedBox device(box::Behaviour{});
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Form1Access::receive(form, u"kept");
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, QString());
    QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Bitte geben Sie einen Com-Port ein!")});
    QCOMPARE(answerer.shown().first().icon, QMessageBox::Critical);
    QCOMPARE(form.focusWidget(), Form1Access::portField(form));
    QCOMPARE(Form1Access::buffer(form).length(), 4);
    QVERIFY(!Form1Access::comm(form).portOpen());
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray());
}

void TestSerial::portFieldThatIsNoPortNumber_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << QStringLiteral("abc")
                             << QStringLiteral("Fehler13 (Type mismatch) ");
    QTest::newRow("blanks only") << QStringLiteral("   ")
                                 << QStringLiteral("Fehler13 (Type mismatch) ");
    QTest::newRow("port with a name")
        << QStringLiteral("COM3") << QStringLiteral("Fehler13 (Type mismatch) ");
    QTest::newRow("beyond 16 bits")
        << QStringLiteral("70000") << QStringLiteral("Fehler6 (Overflow) ");
    QTest::newRow("zero") << QStringLiteral("0")
                          << QStringLiteral("Fehler380 (Invalid property value) ");
    QTest::newRow("negative") << QStringLiteral("-3")
                              << QStringLiteral("Fehler380 (Invalid property value) ");
}

void TestSerial::portFieldThatIsNoPortNumber()
{
    QFETCH(QString, field);
    QFETCH(QString, message);
    Form1 form;
    Form1Access::receive(form, u"from before");
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, field);
    QCOMPARE(answerer.texts(), QStringList{message});
    QCOMPARE(answerer.shown().first().icon, QMessageBox::NoIcon);
    QCOMPARE(Form1Access::buffer(form).length(), 0);
    QVERIFY(!Form1Access::comm(form).portOpen());
}

void TestSerial::portWithoutUsableDevice_data()
{
    // The kinds of unusable device are the serial layer's to tell apart; here
    // it matters that the message shows and nothing reaches a device.
    QTest::addColumn<Unusable>("why");
    QTest::newRow("no such device") << Unusable::NoSuchDevice;
    QTest::newRow("held by another program") << Unusable::HeldByAnotherProgram;
    QTest::newRow("ports entry that is no link") << Unusable::EntryThatIsNoLink;
}

void TestSerial::portWithoutUsableDevice()
{
    QFETCH(Unusable, why);
    box::SimulatedBox device(box::Behaviour{});
    CommControl otherProgram;
    // High enough that no /dev/ttyS device of this machine answers to it.
    int port = 30000;
    if (why == Unusable::HeldByAnotherProgram) {
        port = device.port();
        otherProgram.setCommPort(static_cast<qint16>(port));
        otherProgram.setPortOpen(true);
    }
    const QString entry = portdirectory::linkPath(port);
    if (why == Unusable::EntryThatIsNoLink)
        QVERIFY(QDir().mkpath(entry));

    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, QString::number(port));
    if (why == Unusable::EntryThatIsNoLink)
        QDir().rmdir(entry);
    QCOMPARE(answerer.texts(), QStringList{notOpened});
    QCOMPARE(answerer.shown().first().icon, QMessageBox::Critical);
    QVERIFY(!Form1Access::comm(form).portOpen());
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray());
}

// Start gets no answer, Start closes, Start again: the answer to the first
// command arrives after the third Start. The box numbers its answers in
// R-Foot, so the display tells whose answer it shows.
void TestSerial::lateAnswerToAnEarlierStartIsNeverShown()
{
    constexpr int lateMs = 1500;
    box::Behaviour late = fastBox();
    late.fault = box::Fault::LateFirst;
    late.delayMs = lateMs;
    late.numbered = true;
    box::SimulatedBox device(late);
    Form1 form;
    const MessageBoxAnswerer answerer;
    QElapsedTimer clock;
    clock.start();
    Form1Access::start(form, portText(device));
    QTRY_VERIFY_WITH_TIMEOUT(!device.received().isEmpty(), 5000);
    Form1Access::start(form, portText(device));
    QVERIFY(!Form1Access::comm(form).portOpen());
    Form1Access::start(form, portText(device));
    QVERIFY(Form1Access::comm(form).portOpen());
    QVERIFY2(clock.elapsed() < lateMs, "the late answer came before the third Start");

    QTRY_VERIFY_WITH_TIMEOUT(!Form1Access::display(form)[3].isEmpty(), 10000);
    QCOMPARE(Form1Access::display(form)[3], QStringLiteral("0.2"));
    QCOMPARE(device.received(), QByteArray("B593817").repeated(2));
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::startWhileOpenEndsTheConversation()
{
    box::SimulatedBox device(fastBox());
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, portText(device));
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);

    Form1Access::start(form, portText(device));
    QVERIFY(!Form1Access::comm(form).portOpen());
    QCOMPARE(Form1Access::buffer(form).length(), 0);
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray("B593817"));
    QVERIFY(answerer.shown().isEmpty());

    // The next Start begins a new conversation.
    Form1Access::start(form, portText(device));
    QTRY_COMPARE_WITH_TIMEOUT(device.received(), QByteArray("B593817B593817"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(Form1Access::buffer(form).holdsFrame(), 5000);
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::dataLoss_data()
{
    QTest::addColumn<bool>("overrun");
    QTest::newRow("characters lost by the driver") << true;
    QTest::newRow("receive queue full") << false;
}

void TestSerial::dataLoss()
{
    QFETCH(bool, overrun);
    box::SimulatedBox device(fastBox());
    Form1 form;
    CommControl &comm = Form1Access::comm(form);
    quint64 overruns = 0;
    comm.setOverrunCounter([&overruns](PortHandle) { return std::optional<quint64>(overruns); });
    if (!overrun)
        comm.setInBufferSize(16);
    int waitingWhenShown = -1;
    qint64 bufferWhenShown = -1;
    const MessageBoxAnswerer answerer(0, [&] {
        if (waitingWhenShown >= 0)
            return;
        waitingWhenShown = comm.inBufferCount();
        bufferWhenShown = Form1Access::buffer(form).length();
    });

    Form1Access::start(form, portText(device));
    if (overrun)
        overruns = 1;
    const QStringList oneLoss{dataLossText};
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts(), oneLoss, 5000);
    QCOMPARE(answerer.shown().first().icon, QMessageBox::NoIcon);
    // The handler read nothing for the loss: what was waiting stayed queued
    // and the receive buffer untouched, until the receive notification.
    QVERIFY(waitingWhenShown > 0);
    QCOMPARE(bufferWhenShown, 0);
    QTRY_VERIFY_WITH_TIMEOUT(Form1Access::buffer(form).length() > 0, 5000);
    QVERIFY(comm.portOpen());
    if (overrun)
        QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
}

void TestSerial::dataLossBoxesDoNotStack()
{
    box::Behaviour oneByOne;
    oneByOne.chunk = 1;
    box::SimulatedBox device(oneByOne);
    const qsizetype answerSize = box::answer(oneByOne, mdlDecodeEncode::decodingKey()).size();
    Form1 form;
    // Every read finds characters lost.
    quint64 overruns = 0;
    Form1Access::comm(form).setOverrunCounter(
        [&overruns](PortHandle) { return std::optional<quint64>(overruns++); });
    qint64 receivedWhileShown = -1;
    QStringList displayWhileShown;
    const MessageBoxAnswerer slowUser(1500, [&] {
        if (receivedWhileShown < 0) {
            receivedWhileShown = Form1Access::buffer(form).length();
            displayWhileShown = Form1Access::display(form);
        }
    });

    Form1Access::start(form, portText(device));
    QTRY_COMPARE_WITH_TIMEOUT(slowUser.shown().size(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(receivedWhileShown >= 0, 5000);
    QCOMPARE(slowUser.mostOpenAtOnce(), 1);
    // The whole answer arrived and was evaluated while the box was open.
    QCOMPARE(receivedWhileShown, answerSize);
    QCOMPARE(displayWhileShown, defaultDisplay);
}

void TestSerial::floodingDeviceShowsOneLossAndLeavesClearReachable()
{
    box::SimulatedBox device(fastBox());
    // Once it has answered, the device sends far faster than the line, and
    // every read finds characters lost.
    QTimer flood;
    flood.setInterval(1);
    connect(&flood, &QTimer::timeout, &device, [&device] { device.send(QByteArray(256, 'x')); });
    connect(&device, &box::SimulatedBox::commandReceived, &flood, qOverload<>(&QTimer::start));
    Form1 form;
    quint64 overruns = 0;
    Form1Access::comm(form).setOverrunCounter(
        [&overruns](PortHandle) { return std::optional<quint64>(overruns++); });
    // A user who answers every box at once.
    const MessageBoxAnswerer answerer;

    Form1Access::start(form, portText(device));
    QTRY_VERIFY_WITH_TIMEOUT(overruns > 50, 5000);
    const QStringList oneLoss{dataLossText};
    QCOMPARE(answerer.texts(), oneLoss);
    QCOMPARE(Form1Access::display(form), defaultDisplay);

    Form1Access::clear(form);
    QCOMPARE(Form1Access::display(form), blank);
    QVERIFY(!Form1Access::comm(form).portOpen());

    // The next conversation may lose characters of its own, and says so.
    Form1Access::start(form, portText(device));
    const QStringList lossPerConversation{dataLossText, dataLossText};
    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts(), lossPerConversation, 5000);
    Form1Access::clear(form);
    flood.stop();
    QVERIFY(!Form1Access::comm(form).portOpen());
}

void TestSerial::hangUpMidFrame()
{
    box::Behaviour hangsUp;
    hangsUp.chunk = 4;
    hangsUp.fault = box::Fault::HangUp;
    hangsUp.hangUpAfter = 30;
    auto device = std::make_unique<box::SimulatedBox>(hangsUp);
    const int port = device->port();
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, QString::number(port));
    QTRY_VERIFY_WITH_TIMEOUT(device->isHungUp(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!Form1Access::comm(form).portOpen(), 5000);
    const double before = processCpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(processCpuSeconds() - before < 0.3, "the event loop spins after a hang-up");
    QVERIFY(answerer.shown().isEmpty());
    QVERIFY(Form1Access::buffer(form).length() <= 30);
    QCOMPARE(Form1Access::display(form), blank);

    // The box is back: Start works again.
    device = std::make_unique<box::SimulatedBox>(fastBox(), port);
    Form1Access::start(form, QString::number(port));
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::hangUpWhileALossIsHandedOverDoesNotSpin()
{
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox device(silent);
    Form1 form;
    CommControl &comm = Form1Access::comm(form);
    quint64 overruns = 0;
    comm.setOverrunCounter([&overruns](PortHandle) { return std::optional<quint64>(overruns); });
    double cpuBefore = 0;
    double cpuWhileShown = -1;
    const MessageBoxAnswerer slowUser(1000,
                                      [&] { cpuWhileShown = processCpuSeconds() - cpuBefore; });
    Form1Access::start(form, portText(device));
    QVERIFY(comm.portOpen());
    auto *port = comm.findChild<QSerialPort *>();
    QVERIFY(port);

    // The line fails; before the failure is handled, a last chunk carrying a
    // loss is read and the device goes. The chunk's delivery is queued behind
    // the failure's handling, so the loss box opens from inside that handling,
    // where a still-open dead device would make the box's event loop spin.
    emit port->errorOccurred(QSerialPort::ResourceError);
    overruns = 1;
    device.send(">>");
    QVERIFY(port->waitForReadyRead(5000));
    device.hangUp();
    cpuBefore = processCpuSeconds();

    QTRY_VERIFY_WITH_TIMEOUT(cpuWhileShown >= 0, 5000);
    QVERIFY2(cpuWhileShown < 0.3, "the message box's event loop spins on the dead device");
    QCOMPARE(slowUser.texts(), QStringList{dataLossText});
    QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), 5000);
    QCOMPARE(Form1Access::buffer(form).length(), 2);
}

void TestSerial::glitchBeforeARestartLeavesTheNewConversationAlone_data()
{
    QTest::addColumn<bool>("clearFirst");
    QTest::newRow("Start on the open port, then Start") << false;
    QTest::newRow("Clear, then Start") << true;
}

void TestSerial::glitchBeforeARestartLeavesTheNewConversationAlone()
{
    QFETCH(bool, clearFirst);
    box::SimulatedBox device(fastBox());
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, portText(device));
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
    auto *port = Form1Access::comm(form).findChild<QSerialPort *>();
    QVERIFY(port);

    // The adapter glitches but stays; before the glitch is handled, one batch
    // of window events ends the conversation and starts the next.
    emit port->errorOccurred(QSerialPort::ResourceError);
    if (clearFirst)
        Form1Access::clear(form);
    else
        Form1Access::start(form, portText(device));
    QVERIFY(!Form1Access::comm(form).portOpen());
    Form1Access::start(form, portText(device));

    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), defaultDisplay, 5000);
    QCOMPARE(device.received(), QByteArray("B593817B593817"));
    QVERIFY(Form1Access::comm(form).portOpen());

    // The next Start ends this conversation, as on any open port.
    Form1Access::start(form, portText(device));
    QVERIFY(!Form1Access::comm(form).portOpen());
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray("B593817B593817"));
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::closeClosesOnlyAnOpenPort()
{
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::close(form);
    QVERIFY(!Form1Access::comm(form).portOpen());

    box::SimulatedBox device(box::Behaviour{});
    Form1Access::start(form, portText(device));
    QVERIFY(Form1Access::comm(form).portOpen());
    Form1Access::close(form);
    QVERIFY(!Form1Access::comm(form).portOpen());
    Form1Access::close(form);
    QVERIFY(answerer.shown().isEmpty());
}

void TestSerial::boxFaults_data()
{
    QTest::addColumn<box::Fault>("fault");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no marker") << box::Fault::NoMarker << blank;
    QTest::newRow("value not a number") << box::Fault::BadValue << blank;
    QTest::newRow("zero resistance")
        << box::Fault::ZeroResistance
        << QStringList{QStringLiteral("0"), QStringLiteral("60"), QStringLiteral("432.1"),
                       QStringLiteral("-1.2"), QString()};
    // The frame does not start the answer, and the noise before it cannot
    // be deciphered.
    QTest::newRow("garbage first") << box::Fault::GarbageFirst << blank;
    QTest::newRow("endless garbage") << box::Fault::StreamGarbage << blank;
    QTest::newRow("silent") << box::Fault::Silent << blank;
}

void TestSerial::boxFaults()
{
    QFETCH(box::Fault, fault);
    QFETCH(QStringList, expected);
    box::Behaviour behaviour;
    behaviour.fault = fault;
    box::SimulatedBox device(behaviour);
    QByteArray sent = box::answer(behaviour, mdlDecodeEncode::decodingKey());
    if (fault == box::Fault::StreamGarbage)
        sent = sent.repeated(20);
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, portText(device));
    if (sent.isEmpty())
        QTest::qWait(300);
    QTRY_VERIFY_WITH_TIMEOUT(Form1Access::buffer(form).length() >= sent.size(), 5000);
    // Whatever the box sends arrives as sent; a bad answer shows only what it
    // gives itself, and no message.
    QCOMPARE(Form1Access::buffer(form).head(), QString::fromLatin1(sent.left(62)));
    QCOMPARE(Form1Access::display(form), expected);
    QVERIFY(answerer.shown().isEmpty());
    QVERIFY(Form1Access::comm(form).portOpen());
}

QTEST_MAIN(TestSerial)
#include "tst_serial.moc"
