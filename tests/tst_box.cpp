#include "behaviour.h"
#include "boxerror.h"
#include "form1access.h"
#include "portlink.h"
#include "serial/portdirectory.h"
#include "temporaryconfighome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <pwd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// What stands where a box would keep its lock file, put there by someone else.
enum class LockEntry { LinkToAFile, LinkToNothing, AnotherUsersFile };

const QString boxProgram = QStringLiteral(VELUMET_BOX);
// Where a user's link points while the adapter is unplugged: /dev/serial goes
// with the last adapter.
const QString unpluggedAdapter = QStringLiteral("/dev/serial/by-id/usb-Adapter_A1B2-if00-port0");

// Makes the link for port N point at target, replacing any.
void placeLink(int port, const QString &target)
{
    QVERIFY(QDir().mkpath(portdirectory::directory()));
    QFile::remove(portdirectory::linkPath(port));
    QVERIFY(QFile::link(target, portdirectory::linkPath(port)));
}

// The lock file a box holds beside its link, naming the device it linked.
void placeLockFile(int port, const QByteArray &device)
{
    QVERIFY(QDir().mkpath(portdirectory::directory()));
    QFile lock(portdirectory::linkPath(port) + QStringLiteral(".lock"));
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(lock.write(device), device.size());
}

// Why a box may not claim port N; empty when it may.
QString refusalOf(int port)
{
    try {
        const box::PortLink link(port, QStringLiteral("/dev/zero"));
    } catch (const box::BoxError &error) {
        return QString::fromLocal8Bit(error.what());
    }
    return QString();
}

void removeLinks()
{
    QDir(portdirectory::directory()).removeRecursively();
}

// A running velumet-box process, ended by a signal when it goes.
class BoxProcess
{
public:
    explicit BoxProcess(const QStringList &arguments) { m_process.start(boxProgram, arguments); }
    ~BoxProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
    }
    QProcess &process() { return m_process; }

    // The first line the box prints.
    QString firstLine()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    // The port number and device the box announces in its first line; 0 and
    // nothing when it announces none.
    std::pair<int, QString> announced()
    {
        static const QRegularExpression ready(
            QStringLiteral("type (\\d+) into the Com-Port field .*device (\\S+);"));
        const QRegularExpressionMatch match = ready.match(firstLine());
        if (!match.hasMatch())
            return {0, QString()};
        return {match.captured(1).toInt(), match.captured(2)};
    }

private:
    QProcess m_process;
};

} // namespace

Q_DECLARE_METATYPE(LockEntry)
Q_DECLARE_METATYPE(box::Fault)

// velumet-box as a person uses it: options, the port it publishes, its exit.
class TestBox : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { removeLinks(); }

    void helpNamesEveryOptionAndFault();
    void badUsageIsRefused_data();
    void badUsageIsRefused();
    void faultsTakeTheirNumbers_data();
    void faultsTakeTheirNumbers();
    void choosesTheLowestFreePortFrom9();
    void givenPortThatIsTakenIsRefused();
    void leftoversOfEarlierBoxes_data();
    void leftoversOfEarlierBoxes();
    void killedBoxLeavesItsNumberToTheNext_data();
    void killedBoxLeavesItsNumberToTheNext();
    void boxesStartedTogetherTakeDistinctNumbers();
    void claimsRacingForOneNumberNeverShareIt();
    void usersLinkToAnUnpluggedAdapterStays_data();
    void usersLinkToAnUnpluggedAdapterStays();
    void lockFileNoBoxMadeIsLeftAlone_data();
    void lockFileNoBoxMadeIsLeftAlone();
    void removesItsLinkWhenEnded_data();
    void removesItsLinkWhenEnded();
    void answersTheProgramWithTheGivenValues_data();
    void answersTheProgramWithTheGivenValues();
    void keepsServingWhenItsOutputIsGone();

private:
    TemporaryConfigHome m_configHome;
};

void TestBox::helpNamesEveryOptionAndFault()
{
    QProcess help;
    help.start(boxProgram, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(5000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char *word :
         {"--port", "--values", "--fast", "--chunk", "--numbered", "--fault", "no-marker",
          "bad-value", "zero-resistance", "garbage-first", "hangup-after=K", "stream-garbage",
          "silent", "late-first=MS", "tail-after=MS", "pause=K,MS", "Com-Port", "Ctrl-C"})
        QVERIFY2(text.contains(QLatin1String(word)), word);
}

void TestBox::badUsageIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown fault")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("smoke")};
    QTest::newRow("hang-up without a count")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("hangup-after=")};
    QTest::newRow("late first without its delay")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("late-first")};
    QTest::newRow("late first, negative delay")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("late-first=-5")};
    QTest::newRow("late first, signed delay")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("late-first=+5")};
    QTest::newRow("late first, delay with a space")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("late-first= 5")};
    QTest::newRow("late first, delay no timer can wait for")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("late-first=2147483648")};
    QTest::newRow("tail after a fraction")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("tail-after=1.5")};
    QTest::newRow("tail after, with a unit")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("tail-after=500ms")};
    QTest::newRow("pause without its delay")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("pause=3")};
    QTest::newRow("pause without its count")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("pause=,500")};
    QTest::newRow("pause with a third number")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("pause=3,500,2")};
    QTest::newRow("pause, negative count")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("pause=-1,500")};
    QTest::newRow("number for a fault that takes none")
        << QStringList{QStringLiteral("--fault"), QStringLiteral("silent=5")};
    QTest::newRow("port 0") << QStringList{QStringLiteral("--port"), QStringLiteral("0")};
    QTest::newRow("port not a number")
        << QStringList{QStringLiteral("--port"), QStringLiteral("COM3")};
    QTest::newRow("three values") << QStringList{QStringLiteral("--values"),
                                                 QStringLiteral("1,2,3")};
    QTest::newRow("value beyond 16 bits")
        << QStringList{QStringLiteral("--values"), QStringLiteral("40000,1,2,3")};
    QTest::newRow("chunk 0") << QStringList{QStringLiteral("--chunk"), QStringLiteral("0")};
    QTest::newRow("chunk beyond a pseudo-terminal's queue")
        << QStringList{QStringLiteral("--chunk"), QStringLiteral("4097")};
    QTest::newRow("chunk no timer can wait for")
        << QStringList{QStringLiteral("--chunk"), QStringLiteral("2147483647")};
    QTest::newRow("stray argument") << QStringList{QStringLiteral("9")};
}

void TestBox::badUsageIsRefused()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(boxProgram, arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().startsWith("velumet-box: "));
    QVERIFY(!QFileInfo::exists(portdirectory::linkPath(9)));
}

void TestBox::faultsTakeTheirNumbers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<box::Fault>("fault");
    QTest::addColumn<int>("hangUpAfter");
    QTest::addColumn<int>("pauseAfter");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("hang-up") << QStringLiteral("hangup-after=30") << box::Fault::HangUp << 30 << 0
                             << 0;
    QTest::newRow("late first") << QStringLiteral("late-first=1500") << box::Fault::LateFirst << 0
                                << 0 << 1500;
    QTest::newRow("tail after no time")
        << QStringLiteral("tail-after=0") << box::Fault::TailAfter << 0 << 0 << 0;
    QTest::newRow("pause") << QStringLiteral("pause=3,250") << box::Fault::Pause << 0 << 3 << 250;
    QTest::newRow("longest delay")
        << QStringLiteral("late-first=2147483647") << box::Fault::LateFirst << 0 << 0 << 2147483647;
}

void TestBox::faultsTakeTheirNumbers()
{
    QFETCH(QString, name);
    QFETCH(box::Fault, fault);
    QFETCH(int, hangUpAfter);
    QFETCH(int, pauseAfter);
    QFETCH(int, delayMs);
    const std::optional<box::Behaviour> faulty = box::withFault(box::Behaviour(), name);
    QVERIFY(faulty);
    QCOMPARE(faulty->fault, fault);
    QCOMPARE(faulty->hangUpAfter, hangUpAfter);
    QCOMPARE(faulty->pauseAfter, pauseAfter);
    QCOMPARE(faulty->delayMs, delayMs);
}

void TestBox::choosesTheLowestFreePortFrom9()
{
    placeLink(9, QStringLiteral("/dev/null")); // another device's
    placeLink(10, unpluggedAdapter);           // the user's, while the adapter is out
    placeLink(11, QStringLiteral("/dev/ttyGONE7"));
    placeLockFile(11, "/dev/ttyGONE7"); // left by a killed box
    {
        const box::PortLink link(0, QStringLiteral("/dev/zero"));
        QCOMPARE(link.port(), 11);
        QCOMPARE(QFileInfo(portdirectory::linkPath(11)).symLinkTarget(),
                 QStringLiteral("/dev/zero"));
    }
    QCOMPARE(QFileInfo(portdirectory::linkPath(9)).symLinkTarget(), QStringLiteral("/dev/null"));
    QCOMPARE(QFileInfo(portdirectory::linkPath(10)).symLinkTarget(), unpluggedAdapter);
}

void TestBox::givenPortThatIsTakenIsRefused()
{
    placeLink(3, QStringLiteral("/dev/null"));
    QVERIFY_THROWS_EXCEPTION(box::BoxError, box::PortLink(3, QStringLiteral("/dev/zero")));
    QCOMPARE(QFileInfo(portdirectory::linkPath(3)).symLinkTarget(), QStringLiteral("/dev/null"));
}

void TestBox::leftoversOfEarlierBoxes_data()
{
    QTest::addColumn<QString>("linkTarget"); // empty: no link
    QTest::addColumn<bool>("lockFile");
    QTest::addColumn<QByteArray>("lockRecord");
    QTest::addColumn<bool>("lockHeld");
    QTest::addColumn<bool>("claimed");
    // The system gave the killed box's terminal number to someone else.
    QTest::newRow("killed box's link to a reused device")
        << QStringLiteral("/dev/null") << true << QByteArray("/dev/null") << false << true;
    QTest::newRow("killed box's link to a vanished device")
        << QStringLiteral("/dev/ttyGONE7") << true << QByteArray("/dev/ttyGONE7") << false << true;
    QTest::newRow("box killed before it linked")
        << QString() << true << QByteArray() << false << true;
    QTest::newRow("user's link made after a box was killed")
        << QStringLiteral("/dev/null") << true << QByteArray("/dev/ttyGONE7") << false << false;
    QTest::newRow("user's link beside an empty lock file")
        << QStringLiteral("/dev/null") << true << QByteArray() << false << false;
    QTest::newRow("user's link to an unplugged adapter")
        << unpluggedAdapter << false << QByteArray() << false << false;
    QTest::newRow("user's link to an unplugged adapter beside a killed box's lock file")
        << unpluggedAdapter << true << QByteArray("/dev/ttyGONE7") << false << false;
    QTest::newRow("live box") << QStringLiteral("/dev/null") << true << QByteArray() << true
                              << false;
}

void TestBox::leftoversOfEarlierBoxes()
{
    QFETCH(QString, linkTarget);
    QFETCH(bool, lockFile);
    QFETCH(QByteArray, lockRecord);
    QFETCH(bool, lockHeld);
    QFETCH(bool, claimed);
    std::optional<box::PortLink> live;
    if (lockHeld) {
        live.emplace(3, linkTarget);
    } else {
        if (!linkTarget.isEmpty())
            placeLink(3, linkTarget);
        if (lockFile)
            placeLockFile(3, lockRecord);
    }

    const QString link = portdirectory::linkPath(3);
    if (claimed) {
        std::optional<box::PortLink> next;
        next.emplace(3, QStringLiteral("/dev/zero"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/zero"));
        next.reset();
        QVERIFY(!QFileInfo(link).isSymLink());
    } else {
        const QString refusal = refusalOf(3);
        QVERIFY2(refusal.contains(link), qPrintable(refusal));
        if (!lockHeld)
            QVERIFY2(refusal.contains(linkTarget), qPrintable(refusal));
        QCOMPARE(QFileInfo(link).symLinkTarget(), linkTarget);
    }
    // A lock file stays only while a box lives.
    QCOMPARE(QFileInfo::exists(link + QStringLiteral(".lock")), lockHeld);
}

void TestBox::killedBoxLeavesItsNumberToTheNext_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("port");
    QTest::newRow("given number") << QStringList{QStringLiteral("--port"), QStringLiteral("14")}
                                  << 14;
    QTest::newRow("lowest free number") << QStringList() << 9;
}

void TestBox::killedBoxLeavesItsNumberToTheNext()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, port);
    {
        BoxProcess killed(arguments);
        QCOMPARE(killed.announced().first, port);
        ::kill(static_cast<pid_t>(killed.process().processId()), SIGKILL);
        QVERIFY(killed.process().waitForFinished(5000));
    }
    QVERIFY(QFileInfo(portdirectory::linkPath(port)).isSymLink());

    BoxProcess next(arguments);
    const auto [nextPort, device] = next.announced();
    QCOMPARE(nextPort, port);
    QCOMPARE(QFileInfo(portdirectory::linkPath(port)).symLinkTarget(), device);
}

void TestBox::boxesStartedTogetherTakeDistinctNumbers()
{
    placeLink(9, QStringLiteral("/dev/ttyGONE7")); // left by a box killed long ago
    placeLockFile(9, "/dev/ttyGONE7");
    std::vector<std::unique_ptr<BoxProcess>> boxes;
    for (int i = 0; i < 4; ++i)
        boxes.push_back(std::make_unique<BoxProcess>(QStringList()));
    QSet<int> ports;
    for (const auto &started : boxes) {
        const auto [port, device] = started->announced();
        QVERIFY(port >= 9);
        ports.insert(port);
        QCOMPARE(QFileInfo(portdirectory::linkPath(port)).symLinkTarget(), device);
    }
    QCOMPARE(ports.size(), 4);
}

void TestBox::claimsRacingForOneNumberNeverShareIt()
{
    // Devices that exist, so that no link made here looks stale to another.
    const QStringList devices{QStringLiteral("/dev/null"),    QStringLiteral("/dev/zero"),
                              QStringLiteral("/dev/full"),    QStringLiteral("/dev/random"),
                              QStringLiteral("/dev/urandom"), QStringLiteral("/dev/tty")};
    for (int round = 0; round < 100; ++round) {
        placeLink(9, QStringLiteral("/dev/ttyGONE7"));
        placeLockFile(9, "/dev/ttyGONE7");
        std::vector<std::optional<box::PortLink>> links(devices.size());
        std::atomic<bool> go = false;
        std::vector<std::thread> claims;
        for (qsizetype i = 0; i < devices.size(); ++i) {
            claims.emplace_back([&, i] {
                while (!go) {
                }
                try {
                    links[i].emplace(0, devices[i]);
                } catch (const box::BoxError &) {
                    // Left empty, and reported below.
                }
            });
        }
        go = true;
        for (std::thread &claim : claims)
            claim.join();
        QSet<int> ports;
        for (qsizetype i = 0; i < devices.size(); ++i) {
            QVERIFY(links[i]);
            ports.insert(links[i]->port());
            QCOMPARE(QFileInfo(portdirectory::linkPath(links[i]->port())).symLinkTarget(),
                     devices[i]);
        }
        QCOMPARE(ports.size(), devices.size());
    }
}

void TestBox::usersLinkToAnUnpluggedAdapterStays_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("port"); // 0: refused
    QTest::newRow("its number given")
        << QStringList{QStringLiteral("--port"), QStringLiteral("9")} << 0;
    QTest::newRow("lowest free number") << QStringList() << 10;
}

void TestBox::usersLinkToAnUnpluggedAdapterStays()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, port);
    const QString link = portdirectory::linkPath(9);
    placeLink(9, unpluggedAdapter);
    {
        BoxProcess box(arguments);
        if (port == 0) {
            QVERIFY(box.process().waitForFinished(5000));
            QCOMPARE(box.process().exitCode(), 1);
            const QString refusal = QString::fromLocal8Bit(box.process().readAllStandardError());
            QVERIFY2(refusal.contains(link) && refusal.contains(unpluggedAdapter),
                     qPrintable(refusal));
        } else {
            QCOMPARE(box.announced().first, port);
        }
    }
    QCOMPARE(QFileInfo(link).symLinkTarget(), unpluggedAdapter);
}

void TestBox::lockFileNoBoxMadeIsLeftAlone_data()
{
    QTest::addColumn<LockEntry>("entry");
    QTest::newRow("link to a user's file") << LockEntry::LinkToAFile;
    QTest::newRow("link to nothing yet") << LockEntry::LinkToNothing;
    QTest::newRow("another user's file") << LockEntry::AnotherUsersFile;
}

void TestBox::lockFileNoBoxMadeIsLeftAlone()
{
    QFETCH(LockEntry, entry);
    const QString lock = portdirectory::linkPath(9) + QStringLiteral(".lock");
    const QString usersFile = portdirectory::directory() + QStringLiteral("/notes.txt");
    const QByteArray notes = "the user's own notes\n";
    QVERIFY(QDir().mkpath(portdirectory::directory()));
    switch (entry) {
    case LockEntry::LinkToAFile: {
        QFile file(usersFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(notes), notes.size());
        QVERIFY(QFile::link(usersFile, lock));
        break;
    }
    case LockEntry::LinkToNothing:
        QVERIFY(QFile::link(usersFile, lock));
        break;
    case LockEntry::AnotherUsersFile: {
        const passwd *nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || nobody == nullptr)
            QSKIP("giving a file to another user takes root and a user nobody");
        placeLockFile(9, notes);
        QCOMPARE(::chown(QFile::encodeName(lock).constData(), nobody->pw_uid, nobody->pw_gid), 0);
        break;
    }
    }

    const QString refusal = refusalOf(9);
    QVERIFY2(refusal.contains(lock), qPrintable(refusal));
    {
        const box::PortLink link(0, QStringLiteral("/dev/zero"));
        QCOMPARE(link.port(), 10);
    }
    QVERIFY(!QFileInfo(portdirectory::linkPath(9)).isSymLink());
    const QFileInfo lockAfter(lock);
    QCOMPARE(lockAfter.isSymLink(), entry != LockEntry::AnotherUsersFile);
    QFile file(entry == LockEntry::AnotherUsersFile ? lock : usersFile);
    if (entry == LockEntry::LinkToNothing) {
        QVERIFY(!file.exists());
    } else {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), notes);
    }
}

void TestBox::removesItsLinkWhenEnded_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << SIGINT;
    QTest::newRow("kill") << SIGTERM;
    QTest::newRow("terminal closed") << SIGHUP;
}

void TestBox::removesItsLinkWhenEnded()
{
    QFETCH(int, signalNumber);
    BoxProcess box({QStringLiteral("--port"), QStringLiteral("12")});
    const QString line = box.firstLine();
    QVERIFY2(line.contains(QLatin1String("type 12 into the Com-Port field")), qPrintable(line));
    const QFileInfo link(portdirectory::linkPath(12));
    QVERIFY(link.symLinkTarget().startsWith(QLatin1String("/dev/pts/")));

    ::kill(static_cast<pid_t>(box.process().processId()), signalNumber);
    QVERIFY(box.process().waitForFinished(5000));
    QCOMPARE(box.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(box.process().exitCode(), 0);
    QVERIFY(!QFileInfo(portdirectory::linkPath(12)).isSymLink());
}

void TestBox::answersTheProgramWithTheGivenValues_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("rFoot");
    QTest::newRow("given values") << QStringList() << QStringLiteral("390");
    QTest::newRow("numbered") << QStringList{QStringLiteral("--numbered")} << QStringLiteral("0.1");
}

void TestBox::answersTheProgramWithTheGivenValues()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, rFoot);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    BoxProcess box(arguments + QStringList{QStringLiteral("--values"),
                                           QStringLiteral("4800,-240,4000,3900"),
                                           QStringLiteral("--chunk"), QStringLiteral("5")});
    QVERIFY(box.firstLine().contains(QLatin1String("type 9 ")));
    Form1 form;
    Form1Access::start(form, QStringLiteral("9"));
    const QStringList shown{QStringLiteral("480"), QStringLiteral("-24"), QStringLiteral("400"),
                            rFoot, QStringLiteral("-2.9")};
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), shown, 5000);
}

void TestBox::keepsServingWhenItsOutputIsGone()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // velumet-box | head -n 1: once head has its line, the box's next message
    // goes into a pipe nobody reads.
    QProcess head;
    QProcess box;
    box.setStandardOutputProcess(&head);
    head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("1")});
    box.start(boxProgram,
              {QStringLiteral("--port"), QStringLiteral("15"), QStringLiteral("--values"),
               QStringLiteral("4800,-240,4000,3900"), QStringLiteral("--fast")});
    QVERIFY(head.waitForFinished(5000));
    QVERIFY(head.readAllStandardOutput().contains("type 15 "));

    Form1 form;
    Form1Access::start(form, QStringLiteral("15"));
    const QStringList shown{QStringLiteral("480"), QStringLiteral("-24"), QStringLiteral("400"),
                            QStringLiteral("390"), QStringLiteral("-2.9")};
    QTRY_COMPARE_WITH_TIMEOUT(Form1Access::display(form), shown, 5000);
    QCOMPARE(box.state(), QProcess::Running);

    box.terminate();
    QVERIFY(box.waitForFinished(5000));
    QCOMPARE(box.exitStatus(), QProcess::NormalExit);
    QCOMPARE(box.exitCode(), 0);
    QVERIFY(!QFileInfo(portdirectory::linkPath(15)).isSymLink());
}

QTEST_MAIN(TestBox)
#include "tst_box.moc"
