#include "common/failure.h"
#include "cputime.h"
#include "serial/commcontrol.h"
#include "serial/conversation.h"
#include "serial/portdirectory.h"
#include "serial/portlisting.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

namespace {

using Operation = std::function<void(CommControl &)>;

// The failure number an operation throws, 0 when it throws none.
int failureOf(const Operation &operation, CommControl &comm)
{
    try {
        operation(comm);
    } catch (const Failure &failure) {
        return failure.number();
    }
    return 0;
}

// Every notification's event code, in order.
class EventLog : public QObject
{
public:
    explicit EventLog(CommControl &comm)
    {
        connect(&comm, &CommControl::OnComm, this, [this, &comm] { codes << comm.commEvent(); });
    }
    QList<qint16> codes;
};

// Puts what a port's entry in the ports directory is at the path given.
using MakeEntry = std::function<bool(const QString &path)>;

MakeEntry noEntry()
{
    return [](const QString &) { return true; };
}

MakeEntry linkTo(const QString &target)
{
    return [target](const QString &path) { return QFile::link(target, path); };
}

MakeEntry regularFile()
{
    return [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("/dev/null\n") > 0;
    };
}

MakeEntry directory()
{
    return [](const QString &path) { return QDir().mkdir(path); };
}

// A fresh entry for the port, and away with it at the end of the scope.
class PortEntry
{
public:
    PortEntry(int port, const MakeEntry &make) : m_path(portdirectory::linkPath(port))
    {
        QDir().mkpath(portdirectory::directory());
        remove();
        m_made = make(m_path);
    }
    ~PortEntry() { remove(); }
    PortEntry(const PortEntry &) = delete;
    PortEntry &operator=(const PortEntry &) = delete;
    bool made() const { return m_made; }

private:
    void remove() const
    {
        if (!QFile::remove(m_path))
            QDir().rmdir(m_path);
    }

    QString m_path;
    bool m_made = false;
};

void openPort(CommControl &comm, int port)
{
    comm.setCommPort(static_cast<qint16>(port));
    comm.setPortOpen(true);
}

} // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(MakeEntry)

// The serial layer over real pseudo-terminals, with the simulated box at the
// other end.
class TestCommControl : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void refusals_data();
    void refusals();
    void portMapping_data();
    void portMapping();
    void unusablePortDirectoryLeadsNowhere_data();
    void unusablePortDirectoryLeadsNowhere();
    void numbersReadBackFromNames_data();
    void numbersReadBackFromNames();
    void freePortIsTheLowestNoEntryHas_data();
    void freePortIsTheLowestNoEntryHas();
    void openFailsWithoutAUsableDevice_data();
    void openFailsWithoutAUsableDevice();
    void openFailureTellsOnlyWhyTheLastAttemptFailed();
    void bytesTravelAsLatin1Unchanged();
    void openDiscardsWhatWasWaiting();
    void discardInputDropsWhatWasReceived();
    void quietEndsWithACharacterNotYetHandedOn();
    void fullQueueDropsAndReportsOncePerEpisode();
    void lostCharactersAreReportedFromTheCounters();
    void countersAreNotAskedWhereTheDriverHasNone();
    void deviceThatGoesAwayClosesThePortWithoutSpinning();
    void portErrorsThatEndTheLine_data();
    void portErrorsThatEndTheLine();

private:
    TemporaryConfigHome m_configHome;
};

void TestCommControl::settings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("the program's") << QStringLiteral("9600,N,8,1") << true;
    QTest::newRow("even, 7, 2") << QStringLiteral("19200,E,7,2") << true;
    QTest::newRow("odd, 5") << QStringLiteral("300,O,5,1") << true;
    QTest::newRow("mark, 6") << QStringLiteral("115200,M,6,1") << true;
    QTest::newRow("space, 2") << QStringLiteral("1200,S,8,2") << true;
    QTest::newRow("lower-case parity") << QStringLiteral("1200,s,8,2") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("three parts") << QStringLiteral("9600,N,8") << false;
    QTest::newRow("five parts") << QStringLiteral("9600,N,8,1,1") << false;
    QTest::newRow("unknown parity") << QStringLiteral("9600,X,8,1") << false;
    QTest::newRow("parity word") << QStringLiteral("9600,NO,8,1") << false;
    QTest::newRow("9 data bits") << QStringLiteral("9600,N,9,1") << false;
    QTest::newRow("4 data bits") << QStringLiteral("9600,N,4,1") << false;
    QTest::newRow("1.5 stop bits") << QStringLiteral("9600,N,8,1.5") << false;
    QTest::newRow("3 stop bits") << QStringLiteral("9600,N,8,3") << false;
    QTest::newRow("blank") << QStringLiteral(" 9600,N,8,1") << false;
    QTest::newRow("negative baud") << QStringLiteral("-9600,N,8,1") << false;
    QTest::newRow("zero baud") << QStringLiteral("0,N,8,1") << false;
    QTest::newRow("letter in baud") << QStringLiteral("96O0,N,8,1") << false;
    QTest::newRow("semicolons") << QStringLiteral("9600;N;8;1") << false;
}

void TestCommControl::settings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    CommControl comm;
    comm.setSettings(QStringLiteral("4800,E,7,2"));
    QCOMPARE(failureOf([&](CommControl &c) { c.setSettings(text); }, comm), valid ? 0 : 380);
    QCOMPARE(comm.settings(), valid ? text : QStringLiteral("4800,E,7,2"));
}

void TestCommControl::refusals_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<int>("number");
    QTest::newRow("port number 0")
        << false << Operation([](CommControl &c) { c.setCommPort(0); }) << 380;
    QTest::newRow("negative port number")
        << false << Operation([](CommControl &c) { c.setCommPort(-3); }) << 380;
    QTest::newRow("negative receive threshold")
        << false << Operation([](CommControl &c) { c.setRThreshold(-1); }) << 380;
    QTest::newRow("queue size 0") << false
                                  << Operation([](CommControl &c) { c.setInBufferSize(0); }) << 380;
    QTest::newRow("sending while closed")
        << false << Operation([](CommControl &c) { c.setOutput(QStringLiteral("B")); }) << 8018;
    QTest::newRow("port number while open")
        << true << Operation([](CommControl &c) { c.setCommPort(2); }) << 8005;
    QTest::newRow("opening while open")
        << true << Operation([](CommControl &c) { c.setPortOpen(true); }) << 8005;
    QTest::newRow("invalid port number while open")
        << true << Operation([](CommControl &c) { c.setCommPort(0); }) << 8005;
    QTest::newRow("queue size while open")
        << true << Operation([](CommControl &c) { c.setInBufferSize(64); }) << 8005;
    QTest::newRow("thresholds while open") << true << Operation([](CommControl &c) {
        c.setSThreshold(1);
        c.setRThreshold(1);
    }) << 0;
    QTest::newRow("settings while open")
        << true << Operation([](CommControl &c) { c.setSettings(QStringLiteral("9600,N,8,1")); })
        << 0;
}

void TestCommControl::refusals()
{
    QFETCH(bool, open);
    QFETCH(Operation, operation);
    QFETCH(int, number);
    std::unique_ptr<box::SimulatedBox> device;
    CommControl comm;
    if (open) {
        device = std::make_unique<box::SimulatedBox>(box::Behaviour{});
        openPort(comm, device->port());
    }
    QCOMPARE(failureOf(operation, comm), number);
    // A refusal leaves the port as it was.
    QCOMPARE(comm.portOpen(), open);
    if (open)
        QCOMPARE(comm.commPort(), device->port());
}

void TestCommControl::portMapping_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<MakeEntry>("entry");
    QTest::addColumn<QString>("device");
    QTest::newRow("no link, port 1") << 1 << noEntry() << QStringLiteral("/dev/ttyS0");
    QTest::newRow("no link, port 12") << 12 << noEntry() << QStringLiteral("/dev/ttyS11");
    QTest::newRow("link to a device")
        << 3 << linkTo(QStringLiteral("/dev/null")) << QStringLiteral("/dev/null");
    QTest::newRow("link through a link")
        << 4 << linkTo(QStringLiteral("/dev/stdin"))
        << QFileInfo(QStringLiteral("/dev/stdin")).canonicalFilePath();
    QTest::newRow("link to a device that is gone")
        << 5 << linkTo(QStringLiteral("/dev/ttyGONE7")) << QStringLiteral("/dev/ttyGONE7");
    // Whoever made these meant a device: the built-in port would be a stranger.
    QTest::newRow("regular file") << 6 << regularFile() << QString();
    QTest::newRow("directory") << 7 << directory() << QString();
}

void TestCommControl::portMapping()
{
    QFETCH(int, port);
    QFETCH(MakeEntry, entry);
    QFETCH(QString, device);
    const PortEntry made(port, entry);
    QVERIFY(made.made());
    const portdirectory::Destination destination = portdirectory::deviceForPort(port);
    QCOMPARE(destination.device, device);
    if (device.isEmpty()) {
        QCOMPARE(destination.problem,
                 QStringLiteral("not a link to a device: ") + portdirectory::linkPath(port));
    } else {
        QCOMPARE(destination.problem, QString());
    }
}

// The port directory is there but cannot be searched: the links in it may
// lead anywhere, so no number may fall back to its built-in port.
void TestCommControl::unusablePortDirectoryLeadsNowhere_data()
{
    QTest::addColumn<QString>("linkTarget"); // what the ports directory is made a link to
    QTest::addColumn<QString>("reason");
    QTest::newRow("a loop") << QStringLiteral("ports") << QStringLiteral("Too many levels");
    QTest::newRow("a file") << QStringLiteral("/etc/hostname") << QStringLiteral("Not a directory");
}

void TestCommControl::unusablePortDirectoryLeadsNowhere()
{
    QFETCH(QString, linkTarget);
    QFETCH(QString, reason);
    const QString ports = portdirectory::directory();
    QDir(ports).removeRecursively();
    QDir().mkpath(QFileInfo(ports).path());
    QVERIFY(QFile::link(linkTarget, ports));
    const portdirectory::Destination destination = portdirectory::deviceForPort(1);
    QFile::remove(ports);
    QCOMPARE(destination.device, QString());
    QVERIFY2(destination.problem.contains(portdirectory::linkPath(1)) &&
                 destination.problem.contains(reason),
             qPrintable(destination.problem));
}

// The port list reads numbers back from link and device names: only the names
// the mapping itself gives count.
void TestCommControl::numbersReadBackFromNames_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port"); // 0: none
    QTest::newRow("port 1") << QStringLiteral("com1") << QStringLiteral("/dev/ttyS0") << 1;
    QTest::newRow("port 12") << QStringLiteral("com12") << QStringLiteral("/dev/ttyS11") << 12;
    QTest::newRow("highest port") << QStringLiteral("com32767") << QStringLiteral("/dev/ttyS32766")
                                  << 32767;
    QTest::newRow("beyond 16 bits")
        << QStringLiteral("com32768") << QStringLiteral("/dev/ttyS32767") << 0;
    QTest::newRow("beyond the name's own range")
        << QStringLiteral("com2147483648") << QStringLiteral("/dev/ttyS2147483647") << 0;
    QTest::newRow("leading zero") << QStringLiteral("com03") << QStringLiteral("/dev/ttyS02") << 0;
    QTest::newRow("port 0") << QStringLiteral("com0") << QStringLiteral("/dev/ttyS-1") << 0;
    QTest::newRow("no number") << QStringLiteral("com") << QStringLiteral("/dev/ttyS") << 0;
    QTest::newRow("something after the number")
        << QStringLiteral("com3.lock") << QStringLiteral("/dev/ttyS2x") << 0;
    QTest::newRow("other names") << QStringLiteral("COM3") << QStringLiteral("/dev/ttyUSB0") << 0;
}

void TestCommControl::numbersReadBackFromNames()
{
    QFETCH(QString, linkName);
    QFETCH(QString, device);
    QFETCH(int, port);
    const std::optional<int> expected = port ? std::optional<int>(port) : std::nullopt;
    QCOMPARE(portdirectory::portOfLink(linkName), expected);
    QCOMPARE(portdirectory::builtInPort(device), expected);
}

void TestCommControl::freePortIsTheLowestNoEntryHas_data()
{
    QTest::addColumn<QList<int>>("ports"); // 0: an entry without a number
    QTest::addColumn<int>("free");
    QTest::newRow("nothing numbered") << QList<int>{0} << 1;
    QTest::newRow("port 1 taken") << QList<int>{1, 0} << 2;
    QTest::newRow("a gap") << QList<int>{1, 2, 4, 9} << 3;
    QTest::newRow("only high numbers") << QList<int>{9, 30000} << 1;
}

void TestCommControl::freePortIsTheLowestNoEntryHas()
{
    QFETCH(QList<int>, ports);
    QFETCH(int, free);
    std::vector<portlisting::Entry> entries;
    for (const int port : ports) {
        portlisting::Entry entry;
        if (port != 0)
            entry.port = port;
        entries.push_back(entry);
    }
    QCOMPARE(portlisting::freePort(entries), free);
}

void TestCommControl::openFailsWithoutAUsableDevice_data()
{
    QTest::addColumn<MakeEntry>("entry");
    QTest::addColumn<bool>("heldByAnotherProgram");
    QTest::newRow("no link and no such device") << noEntry() << false;
    QTest::newRow("link to a device that is gone")
        << linkTo(QStringLiteral("/dev/ttyGONE7")) << false;
    QTest::newRow("not a serial device") << linkTo(QStringLiteral("/dev/null")) << false;
    QTest::newRow("held by another program") << noEntry() << true;
    QTest::newRow("regular file instead of a link") << regularFile() << false;
    QTest::newRow("directory instead of a link") << directory() << false;
}

void TestCommControl::openFailsWithoutAUsableDevice()
{
    QFETCH(MakeEntry, entry);
    QFETCH(bool, heldByAnotherProgram);
    // High enough that no /dev/ttyS device of this machine answers to it.
    int port = 30000;
    const PortEntry made(port, entry);
    QVERIFY(made.made());
    std::unique_ptr<box::SimulatedBox> device;
    CommControl holder;
    if (heldByAnotherProgram) {
        device = std::make_unique<box::SimulatedBox>(box::Behaviour{});
        port = device->port();
        openPort(holder, port);
    }

    CommControl comm;
    comm.setCommPort(static_cast<qint16>(port));
    QCOMPARE(failureOf([](CommControl &c) { c.setPortOpen(true); }, comm), 8002);
    QVERIFY(!comm.portOpen());
    QVERIFY(!comm.openError().isEmpty());
}

void TestCommControl::openFailureTellsOnlyWhyTheLastAttemptFailed()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl holder;
    openPort(holder, device.port());
    CommControl comm;
    comm.setCommPort(static_cast<qint16>(device.port()));
    QCOMPARE(failureOf([](CommControl &c) { c.setPortOpen(true); }, comm), 8002);
    QCOMPARE(comm.openError(), QStringLiteral("the port is in use by another program"));

    // The next attempt fails for a reason of its own: nothing of the refused
    // lock may stay behind to be blamed for it.
    const int port = 30000;
    const PortEntry entry(port, directory());
    QVERIFY(entry.made());
    comm.setCommPort(static_cast<qint16>(port));
    QCOMPARE(failureOf([](CommControl &c) { c.setPortOpen(true); }, comm), 8002);
    QCOMPARE(comm.openError(),
             QStringLiteral("not a link to a device: ") + portdirectory::linkPath(port));
    QCOMPARE(comm.device(), QString());
}

void TestCommControl::bytesTravelAsLatin1Unchanged()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    comm.setRThreshold(1);
    comm.setSThreshold(1);
    const EventLog log(comm);
    openPort(comm, device.port());

    comm.setOutput(QStringLiteral("B\u00e4\u00ff\r"));
    QTRY_COMPARE_WITH_TIMEOUT(device.received(), QByteArray("B\xe4\xff\r"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(log.codes.contains(CommControl::comEvSend), 5000);

    const QByteArray sent("\x00\x01>>\x7f\x80\xe4\xff", 8);
    device.send(sent);
    QTRY_VERIFY_WITH_TIMEOUT(comm.inBufferCount() == sent.size(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(log.codes.contains(CommControl::comEvReceive), 5000);
    QCOMPARE(comm.input(), QString::fromLatin1(sent));
    QCOMPARE(comm.inBufferCount(), 0);
    QCOMPARE(comm.input(), QString());
}

void TestCommControl::openDiscardsWhatWasWaiting()
{
    box::SimulatedBox device(box::Behaviour{});
    device.send("left over from before");
    QTest::qWait(50);
    CommControl comm;
    openPort(comm, device.port());
    device.send("now");
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), 3, 5000);
    QCOMPARE(comm.input(), QStringLiteral("now"));
}

void TestCommControl::discardInputDropsWhatWasReceived()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    comm.setInBufferSize(16);
    quint64 overruns = 0;
    comm.setOverrunCounter([&overruns](PortHandle) { return std::optional<quint64>(overruns); });
    const EventLog log(comm); // no receive threshold: the queue fills unread
    openPort(comm, device.port());
    device.send("an answer too long for the queue");
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), 16, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(log.codes, QList<qint16>{CommControl::comEventRxOver}, 5000);
    // The driver lost characters too, among those about to be discarded.
    ++overruns;

    // Whatever came before, and its losses, belongs to the last command.
    comm.discardInput();
    QCOMPARE(comm.inBufferCount(), 0);
    device.send("now");
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), 3, 5000);
    QCOMPARE(comm.input(), QStringLiteral("now"));
    QTest::qWait(50);
    QCOMPARE(log.codes, QList<qint16>{CommControl::comEventRxOver});
    QVERIFY(comm.portOpen());
}

void TestCommControl::quietEndsWithACharacterNotYetHandedOn()
{
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox device(silent);
    Conversation conversation;
    conversation.start(QString::number(device.port()));
    QTest::qSleep(300);

    // Read by the port, its notification still waiting in the event queue: a
    // timer due in the same turn of the loop must not find the line quiet.
    device.send("\n");
    auto *const port = conversation.comm().findChild<QSerialPort *>();
    QVERIFY(port);
    QVERIFY(port->waitForReadyRead(5000));
    QCOMPARE(conversation.buffer().length(), 0);
    QVERIFY2(conversation.quietMs() < 150, "a character the port has read leaves the line quiet");
}

void TestCommControl::fullQueueDropsAndReportsOncePerEpisode()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    const EventLog log(comm); // no receive threshold: nobody reads until asked
    openPort(comm, device.port());
    QByteArray flood;
    for (int i = 0; i < 5000; ++i)
        flood.append(static_cast<char>('a' + i % 26));

    device.send(flood);
    QTRY_COMPARE_WITH_TIMEOUT(log.codes, QList<qint16>{CommControl::comEventRxOver}, 5000);
    device.send("more");
    QTest::qWait(200);
    QCOMPARE(log.codes.size(), 1);
    QCOMPARE(comm.input(), QString::fromLatin1(flood.left(CommControl::defaultInBufferSize)));

    // Reading ends the episode; the next flood is a new one.
    device.send(flood);
    QTRY_COMPARE_WITH_TIMEOUT(log.codes.size(), 2, 5000);
    QCOMPARE(log.codes.last(), CommControl::comEventRxOver);
}

void TestCommControl::lostCharactersAreReportedFromTheCounters()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    comm.setRThreshold(1);
    quint64 overruns = 7; // what the driver had counted before the program came
    comm.setOverrunCounter([&overruns](PortHandle) { return std::optional<quint64>(overruns); });
    const EventLog log(comm);
    openPort(comm, device.port());

    device.send("a");
    QTRY_COMPARE_WITH_TIMEOUT(log.codes, QList<qint16>{CommControl::comEvReceive}, 5000);
    QCOMPARE(comm.input(), QStringLiteral("a"));

    overruns += 3;
    device.send("b");
    const QList<qint16> lossThenData{CommControl::comEvReceive, CommControl::comEventOverrun,
                                     CommControl::comEvReceive};
    QTRY_COMPARE_WITH_TIMEOUT(log.codes, lossThenData, 5000);
    QCOMPARE(comm.input(), QStringLiteral("b"));
    QVERIFY(comm.portOpen());
}

void TestCommControl::countersAreNotAskedWhereTheDriverHasNone()
{
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    comm.setRThreshold(1);
    int asked = 0;
    int handle = -1;
    comm.setOverrunCounter([&](PortHandle h) {
        ++asked;
        handle = static_cast<int>(h);
        return driverOverrunCounter()(h);
    });
    const EventLog log(comm);
    openPort(comm, device.port());
    device.send("ab");
    QTRY_VERIFY_WITH_TIMEOUT(log.codes.contains(CommControl::comEvReceive), 5000);
    comm.input();
    device.send("cd");
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), 2, 5000);
    // A pseudo-terminal keeps no counters: asked once at open, never again.
    QVERIFY(handle >= 0);
    QCOMPARE(asked, 1);
    QVERIFY(!log.codes.contains(CommControl::comEventOverrun));
}

void TestCommControl::deviceThatGoesAwayClosesThePortWithoutSpinning()
{
    const int port = [] {
        box::SimulatedBox first(box::Behaviour{});
        return first.port();
    }();
    auto device = std::make_unique<box::SimulatedBox>(box::Behaviour{}, port);
    CommControl comm;
    comm.setRThreshold(1);
    const EventLog log(comm);
    openPort(comm, port);

    device->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), 5000);
    const double before = processCpuSeconds();
    QTest::qWait(1000);
    // A loop spinning on the dead descriptor would burn most of the second.
    QVERIFY2(processCpuSeconds() - before < 0.3, "the event loop spins after a hang-up");
    QVERIFY(log.codes.isEmpty());

    device = std::make_unique<box::SimulatedBox>(box::Behaviour{}, port);
    openPort(comm, port);
    QVERIFY(comm.portOpen());
}

void TestCommControl::portErrorsThatEndTheLine_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("lost");
    QTest::newRow("NoError (after every good open)") << QSerialPort::NoError << false;
    QTest::newRow("TimeoutError (a blocking wait)") << QSerialPort::TimeoutError << false;
    QTest::newRow("UnsupportedOperationError (no modem lines)")
        << QSerialPort::UnsupportedOperationError << false;
    // What a serial port reports when a read or its notification fails,
    // after which it starts no new read.
    QTest::newRow("DeviceNotFoundError") << QSerialPort::DeviceNotFoundError << true;
    QTest::newRow("PermissionError") << QSerialPort::PermissionError << true;
    QTest::newRow("OpenError") << QSerialPort::OpenError << true;
    QTest::newRow("WriteError") << QSerialPort::WriteError << true;
    QTest::newRow("ReadError") << QSerialPort::ReadError << true;
    QTest::newRow("ResourceError") << QSerialPort::ResourceError << true;
    QTest::newRow("UnknownError") << QSerialPort::UnknownError << true;
    QTest::newRow("NotOpenError") << QSerialPort::NotOpenError << true;
}

// An error that may have left the port deaf ends the line, so that the next
// measurement opens the device afresh and hears it again; one that says
// nothing about the line leaves the conversation alone.
void TestCommControl::portErrorsThatEndTheLine()
{
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, lost);
    box::SimulatedBox device(box::Behaviour{});
    CommControl comm;
    comm.setRThreshold(1);
    const QSignalSpy linkLost(&comm, &CommControl::linkLost);
    openPort(comm, device.port());
    auto *port = comm.findChild<QSerialPort *>();
    QVERIFY(port);

    emit port->errorOccurred(error);
    QTest::qWait(50);
    QCOMPARE(linkLost.size(), lost ? 1 : 0);
    QCOMPARE(comm.portOpen(), !lost);
    if (lost)
        openPort(comm, device.port());
    device.send("ab");
    QTRY_COMPARE_WITH_TIMEOUT(comm.inBufferCount(), 2, 5000);
    QCOMPARE(comm.input(), QStringLiteral("ab"));
}

QTEST_MAIN(TestCommControl)
#include "tst_commcontrol.moc"
