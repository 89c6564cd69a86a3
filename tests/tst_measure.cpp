#include "analysis/subject.h"
#include "behaviour.h"
#include "decoder/mdlDecodeEncode.h"
#include "measure/options.h"
#include "measure/series.h"
#include "record/recordsink.h"
#include "serial/commcontrol.h"
#include "serial/portdirectory.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString measureProgram = QStringLiteral(VELUMET_MEASURE);

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Sets up the process before it starts: its environment, where its output goes.
using Prepare = std::function<void(QProcess &)>;

Prepare inLocale(const QString &locale)
{
    return [locale](QProcess &process) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), locale);
        process.setProcessEnvironment(env);
    };
}

// As a shell does for "velumet-measure >> file".
Prepare standardOutputAppendedTo(const QString &file)
{
    return [file](QProcess &process) { process.setStandardOutputFile(file, QIODevice::Append); };
}

// As a shell runs "velumet-measure ... | head -n 1": the reader goes away
// after the first line. The status is velumet-measure's.
Prepare pipedIntoHead()
{
    return [](QProcess &process) {
        process.setArguments(QStringList{QStringLiteral("-c"),
                                         QStringLiteral("\"$0\" \"$@\" | head -n 1; "
                                                        "exit ${PIPESTATUS[0]}"),
                                         process.program()} +
                             process.arguments());
        process.setProgram(QStringLiteral("bash"));
    };
}

// velumet-measure as a script runs it, while this process's event loop keeps
// the simulated boxes answering. `whileRunning` is called once the program has
// started and then on every turn of the loop, with the output so far.
Run run(const QStringList &arguments, const Prepare &prepare = {},
        const std::function<void(QProcess &, const QByteArray &)> &whileRunning = {})
{
    QProcess process;
    process.setProgram(measureProgram);
    process.setArguments(arguments);
    if (prepare)
        prepare(process);
    process.start();
    Run result;
    if (!process.waitForStarted(5000))
        return result;
    const QDeadlineTimer deadline(20000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        result.out += process.readAllStandardOutput();
        if (whileRunning)
            whileRunning(process, result.out);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.out += process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// As a shell runs "velumet-measure ... SHELL-TEXT": the text is put after the
// command (a redirection), or before it as "PREFIX;" when it ends in ';'.
Prepare throughShell(const QString &text)
{
    return [text](QProcess &process) {
        const QString command = text.endsWith(u';') ? text + QStringLiteral(" exec \"$0\" \"$@\"")
                                                    : QStringLiteral("exec \"$0\" \"$@\" ") + text;
        process.setArguments(QStringList{QStringLiteral("-c"), command, process.program()} +
                             process.arguments());
        process.setProgram(QStringLiteral("bash"));
    };
}

// velumet-measure as the unprivileged user nobody, whatever this test runs as.
Prepare asNobody()
{
    return [](QProcess &process) {
        process.setArguments(QStringList{QStringLiteral("--reuid=65534"),
                                         QStringLiteral("--regid=65534"),
                                         QStringLiteral("--clear-groups"), process.program()} +
                             process.arguments());
        process.setProgram(QStringLiteral("setpriv"));
    };
}

// Never to process 0: that would be this test's own process group.
void sendSignal(const QProcess &process, int signalNumber)
{
    if (process.processId() > 0)
        ::kill(pid_t(process.processId()), signalNumber);
}

// What the kernel says the process is waiting in.
QByteArray waitChannel(const QProcess &process)
{
    QFile wchan(QStringLiteral("/proc/%1/wchan").arg(process.processId()));
    return wchan.open(QIODevice::ReadOnly) ? wchan.readAll() : QByteArray();
}

// A FIFO in a directory of its own, and a reader that opened it but takes
// what waits in it only when asked.
class FifoReader
{
public:
    FifoReader() : m_path(m_dir.filePath(QStringLiteral("fifo")))
    {
        const QByteArray name = QFile::encodeName(m_path);
        if (::mkfifo(name.constData(), 0600) == 0)
            m_reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FifoReader() { ::close(m_reader); }
    FifoReader(const FifoReader &) = delete;
    FifoReader &operator=(const FifoReader &) = delete;

    bool isOpen() const { return m_reader >= 0; }
    const QString &path() const { return m_path; }
    // A pipe of one page is full after a few records.
    void holdOnePage() { ::fcntl(m_reader, F_SETPIPE_SZ, 4096); }
    int unread() const
    {
        int count = 0;
        ::ioctl(m_reader, FIONREAD, &count);
        return count;
    }
    QByteArray readAll()
    {
        QByteArray all;
        char bytes[4096];
        ssize_t count = 0;
        while ((count = ::read(m_reader, bytes, sizeof bytes)) > 0)
            all.append(bytes, count);
        return all;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_reader = -1;
};

box::Behaviour fastBox(const box::Values &values = {5234, 612, 2517, -12})
{
    box::Behaviour behaviour;
    behaviour.fast = true;
    behaviour.values = values;
    return behaviour;
}

QStringList lines(const QByteArray &out)
{
    QStringList result = QString::fromUtf8(out).split(u'\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

QJsonObject jsonLine(const QString &line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

QString port(const box::SimulatedBox &device)
{
    return QString::number(device.port());
}

const QRegularExpression isoTime(
    QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));

} // namespace

Q_DECLARE_METATYPE(analysis::Subject)

// velumet-measure against the simulated box over real pseudo-terminals.
class TestMeasure : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QDir(portdirectory::directory()).removeRecursively(); }

    void formats_data();
    void formats();
    void series();
    void appendsToAFile_data();
    void appendsToAFile();
    void failuresAreRecordsAndTheSeriesGoesOn_data();
    void failuresAreRecordsAndTheSeriesGoesOn();
    void lostLineResumesWhenTheDeviceReturns();
    void lateAnswerIsNeverTakenForTheNextMeasurement();
    void lastByteOfAnAnswerStaysWithIt();
    void missedBeatsAreSkipped();
    void dataLostIsAFailedMeasurement();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void permissionProblemsAsAnUnprivilegedUser_data();
    void permissionProblemsAsAnUnprivilegedUser();
    void interruptEndsTheSeriesCleanly_data();
    void interruptEndsTheSeriesCleanly();
    void readerThatGoesAwayEndsTheSeries();
    void signalBeforeTheCountEndsWithItsStatus_data();
    void signalBeforeTheCountEndsWithItsStatus();
    void signalIgnoredAtStartStaysIgnored_data();
    void signalIgnoredAtStartStaysIgnored();
    void signalEndsAWriterThatIsHeldUp();
    void closedStandardStreamsTakeNothingOfOurs_data();
    void closedStandardStreamsTakeNothingOfOurs();
    void unreachableDeviceIsTriedLessOften();
    void fractionsOfSecondsInEitherNotation_data();
    void fractionsOfSecondsInEitherNotation();
    void wrongUsage_data();
    void wrongUsage();
    void outputThatCannotBeOpened_data();
    void outputThatCannotBeOpened();
    void fifoWithAReaderGetsTheRecords();
    void helpDocumentsOptionsFormatsAndStatuses();
    void listPorts();
    void analysisInEveryRecord_data();
    void analysisInEveryRecord();
    void journalsWithAndWithoutAnalysisNeverMix_data();
    void journalsWithAndWithoutAnalysisNeverMix();
    void subjectValuesInEitherNotation_data();
    void subjectValuesInEitherNotation();
    void referenceFileThatCannotBeUsed_data();
    void referenceFileThatCannotBeUsed();
    void listReferences();

private:
    TemporaryConfigHome m_configHome;
    QTemporaryDir m_files;
};

void TestMeasure::formats_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    const QString english = QStringLiteral("en_US.UTF-8");
    const QString german = QStringLiteral("de_DE.UTF-8");
    // A regular expression for the one line written.
    const QString time = QStringLiteral("\\d{4}-\\d\\d-\\d\\d[T ]\\d\\d:\\d\\d:\\d\\d");
    QTest::newRow("text") << QStringList() << english
                          << time + QStringLiteral("  Com-Port \\d+  Resistance 523\\.4  Reactance "
                                                   "61\\.2  Phase angle 6\\.7  R-Hand 251\\.7  "
                                                   "R-Foot -1\\.2");
    QTest::newRow("text, german") << QStringList() << german
                                  << time + QStringLiteral("  Com-Port \\d+  Resistance 523,4  "
                                                           "Reactance 61,2  Phase angle 6,7  "
                                                           "R-Hand 251,7  R-Foot -1,2");
    QTest::newRow("csv, german")
        << QStringList{QStringLiteral("--format"), QStringLiteral("csv")} << german
        << QStringLiteral("time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r\n") +
               time +
               QStringLiteral("\\.\\d{3}[+-]\\d\\d:\\d\\d,\\d+,523\\.4,61\\.2,6\\.7,251\\.7,"
                              "-1\\.2,\r");
    QTest::newRow("json, german") << QStringList{QStringLiteral("--format"), QStringLiteral("json")}
                                  << german << QStringLiteral("\\{.*\"resistance\":523\\.4.*\\}");
}

void TestMeasure::formats()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    box::SimulatedBox device(fastBox());
    const Run result =
        run(QStringList{QStringLiteral("--port"), port(device)} + arguments, inLocale(locale));
    QVERIFY2(result.status == 0, result.err.constData());
    QCOMPARE(result.err, QByteArray());
    const QRegularExpression pattern(QStringLiteral("\\A") + expected + QStringLiteral("\n\\z"),
                                     QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(pattern.match(QString::fromUtf8(result.out)).hasMatch(), result.out.constData());
    QCOMPARE(device.received(), QByteArray("B593817"));
}

void TestMeasure::series()
{
    box::SimulatedBox device(fastBox());
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("3"),
             QStringLiteral("--interval"), QStringLiteral("0.2"), QStringLiteral("--format"),
             QStringLiteral("json")});
    QCOMPARE(result.status, 0);
    const QStringList records = lines(result.out);
    QCOMPARE(records.size(), 3);
    QString previous;
    for (const QString &line : records) {
        const QJsonObject record = jsonLine(line);
        QCOMPARE(record.value(QStringLiteral("port")).toInt(), device.port());
        QCOMPARE(record.value(QStringLiteral("phase_angle")).toDouble(), 6.7);
        const QString time = record.value(QStringLiteral("time")).toString();
        QVERIFY2(isoTime.match(time).hasMatch(), qPrintable(time));
        QVERIFY(time > previous);
        previous = time;
    }
    QCOMPARE(device.received(), QByteArray("B593817").repeated(3));
}

void TestMeasure::appendsToAFile_data()
{
    QTest::addColumn<bool>("throughStandardOutput");
    QTest::newRow("--output") << false;
    QTest::newRow("standard output appended by the shell") << true;
}

void TestMeasure::appendsToAFile()
{
    QFETCH(bool, throughStandardOutput);
    box::SimulatedBox device(fastBox());
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("log.csv"));
    QStringList arguments{QStringLiteral("--port"), port(device), QStringLiteral("--format"),
                          QStringLiteral("csv")};
    if (!throughStandardOutput)
        arguments << QStringLiteral("--output") << file;
    for (int i = 0; i < 2; ++i) {
        const Run result =
            run(arguments, throughStandardOutput ? standardOutputAppendedTo(file) : Prepare());
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QByteArray());
    }
    QFile log(file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = log.readAll().split('\n');
    QCOMPARE(rows.size(), 4); // the header, two records, nothing after the last line end
    QCOMPARE(rows[0],
             QByteArray("time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r"));
    QVERIFY(rows[1].endsWith(",523.4,61.2,6.7,251.7,-1.2,\r"));
    QVERIFY(rows[2].endsWith(",523.4,61.2,6.7,251.7,-1.2,\r"));
}

void TestMeasure::failuresAreRecordsAndTheSeriesGoesOn_data()
{
    QTest::addColumn<box::Fault>("fault");
    QTest::addColumn<int>("hangUpAfter");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("status");
    const QVariant null = QVariant::fromValue(nullptr);
    const QVariantList none{null, null, null, null, null};
    QTest::newRow("silent") << box::Fault::Silent << 0 << none
                            << QStringLiteral("no answer within 0.5 s") << 1;
    QTest::newRow("no marker") << box::Fault::NoMarker << 0 << none
                               << QStringLiteral("no complete frame within 0.5 s") << 1;
    QTest::newRow("resistance not a number")
        << box::Fault::BadValue << 0 << none
        << QStringLiteral("bad frame: a value is not a number (Type mismatch, 13)") << 1;
    QTest::newRow("line hung up mid-frame")
        << box::Fault::HangUp << 30 << none << QStringLiteral("line lost") << 1;
    // No failure: the phase angle of a resistance of 0 is undefined.
    QTest::newRow("zero resistance")
        << box::Fault::ZeroResistance << 0 << QVariantList{0.0, 61.2, null, 251.7, -1.2}
        << QString() << 0;
}

void TestMeasure::failuresAreRecordsAndTheSeriesGoesOn()
{
    QFETCH(box::Fault, fault);
    QFETCH(int, hangUpAfter);
    QFETCH(QVariantList, values);
    QFETCH(QString, error);
    QFETCH(int, status);
    box::Behaviour behaviour = fastBox();
    behaviour.fault = fault;
    behaviour.hangUpAfter = hangUpAfter;
    box::SimulatedBox device(behaviour);
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("2"),
             QStringLiteral("--interval"), QStringLiteral("0"), QStringLiteral("--timeout"),
             QStringLiteral("0.5"), QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(result.status, status);
    const QStringList records = lines(result.out);
    // The series went on after the first: a hung-up line may not come back,
    // but its measurement is recorded all the same.
    QCOMPARE(records.size(), 2);
    const QJsonObject first = jsonLine(records.first());
    const char *keys[] = {"resistance", "reactance", "phase_angle", "r_hand", "r_foot"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(first.value(QLatin1String(keys[i])).toVariant(), values[i]);
    QCOMPARE(first.value(QStringLiteral("error")).toString(), error);
    QCOMPARE(first.contains(QStringLiteral("error")), !error.isEmpty());
    if (!error.isEmpty())
        QVERIFY2(result.err.contains(error.toUtf8()), result.err.constData());
}

void TestMeasure::lostLineResumesWhenTheDeviceReturns()
{
    box::Behaviour hangsUp = fastBox();
    hangsUp.fault = box::Fault::HangUp;
    hangsUp.hangUpAfter = 30;
    auto device = std::make_unique<box::SimulatedBox>(hangsUp);
    const int number = device->port();
    bool replugged = false;
    const Run result =
        run({QStringLiteral("--port"), QString::number(number), QStringLiteral("--count"),
             QStringLiteral("3"), QStringLiteral("--interval"), QStringLiteral("0.3"),
             QStringLiteral("--format"), QStringLiteral("csv")},
            {}, [&](QProcess &, const QByteArray &) {
                // The adapter comes back under the same number once the line died.
                if (!replugged && device->isHungUp()) {
                    device = std::make_unique<box::SimulatedBox>(fastBox(), number);
                    replugged = true;
                }
            });
    QCOMPARE(result.status, 1);
    const QStringList records = lines(result.out);
    QCOMPARE(records.size(), 4);
    QVERIFY2(records[1].endsWith(QLatin1String(",,,,,,line lost\r")), qPrintable(records[1]));
    QVERIFY2(records[2].endsWith(QLatin1String(",523.4,61.2,6.7,251.7,-1.2,\r")),
             qPrintable(records[2]));
    QVERIFY2(records[3].endsWith(QLatin1String(",523.4,61.2,6.7,251.7,-1.2,\r")),
             qPrintable(records[3]));
}

// The first answer comes after its measurement gave up, while the next one
// waits; the box numbers its answers in R-Foot, so a record shows whose
// answer it holds.
void TestMeasure::lateAnswerIsNeverTakenForTheNextMeasurement()
{
    std::optional<box::Behaviour> late =
        box::withFault(fastBox(), QStringLiteral("late-first=700"));
    QVERIFY(late);
    late->numbered = true;
    box::SimulatedBox device(*late);
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("2"),
             QStringLiteral("--interval"), QStringLiteral("0"), QStringLiteral("--timeout"),
             QStringLiteral("0.5"), QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(result.status, 1);
    const QStringList records = lines(result.out);
    QCOMPARE(records.size(), 2);
    QCOMPARE(jsonLine(records[0]).value(QStringLiteral("error")).toString(),
             QStringLiteral("no answer within 0.5 s"));
    QCOMPARE(jsonLine(records[1]).value(QStringLiteral("r_foot")).toDouble(), 0.2);
    QVERIFY(!jsonLine(records[1]).contains(QStringLiteral("error")));
}

void TestMeasure::lastByteOfAnAnswerStaysWithIt()
{
    // An adapter passes a lone byte on when its latency timer runs out: 16 ms
    // on the common ones.
    std::optional<box::Behaviour> tail = box::withFault(fastBox(), QStringLiteral("tail-after=16"));
    QVERIFY(tail);
    box::SimulatedBox device(*tail);
    const Run result = run({QStringLiteral("--port"), port(device), QStringLiteral("--count"),
                            QStringLiteral("4"), QStringLiteral("--interval"), QStringLiteral("0"),
                            QStringLiteral("--format"), QStringLiteral("csv")});
    QVERIFY2(result.status == 0, result.err.constData());
    const QStringList records = lines(result.out).mid(1);
    QCOMPARE(records.size(), 4);
    for (const QString &record : records)
        QVERIFY2(record.endsWith(QLatin1String(",523.4,61.2,6.7,251.7,-1.2,\r")),
                 qPrintable(record));
}

// The box goes quiet for longer than the timeouts of several beats, then
// answers again: the beats missed meanwhile are not made up with a burst of
// measurements. The records' own times tell, as the program took them.
void TestMeasure::missedBeatsAreSkipped()
{
    std::optional<box::Behaviour> pausing =
        box::withFault(fastBox(), QStringLiteral("pause=1,1500"));
    QVERIFY(pausing);
    box::SimulatedBox device(*pausing);
    const QByteArray good = ",523.4,61.2,6.7,251.7,-1.2,\r\n";
    const qint64 intervalMs = 300;
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("0"),
             QStringLiteral("--interval"), QString::number(intervalMs / 1000.0),
             QStringLiteral("--timeout"), QStringLiteral("0.6"), QStringLiteral("--format"),
             QStringLiteral("csv")},
            {}, [&](QProcess &process, const QByteArray &out) {
                // Well after the box is back, and a few good records later.
                if (out.count(good) >= 5)
                    sendSignal(process, SIGTERM);
            });
    QCOMPARE(result.status, 1);
    QList<QDateTime> goodTimes;
    for (const QString &record : lines(result.out).mid(1)) {
        if (record.endsWith(QString::fromLatin1(good.chopped(1))))
            goodTimes << QDateTime::fromString(record.section(u',', 0, 0), Qt::ISODateWithMs);
    }
    QVERIFY(goodTimes.size() >= 5);
    // A measurement delayed by the quiet it waits for may end close to the
    // next beat's; three within one interval would be beats made up.
    for (qsizetype i = 2; i < goodTimes.size(); ++i) {
        QVERIFY2(goodTimes[i - 2].msecsTo(goodTimes[i]) >= intervalMs * 9 / 10,
                 qPrintable(lines(result.out).join(u'\n')));
    }
}

void TestMeasure::dataLostIsAFailedMeasurement()
{
    // A driver's lost characters cannot be staged from outside the process:
    // the series runs here, with the driver's counter played by the test.
    box::SimulatedBox device(fastBox());
    Options options;
    options.port = device.port();
    options.count = 2;
    options.intervalSeconds = 0;
    options.format = Options::Format::Json;
    const QTemporaryDir dir;
    RecordSink sink(options.format);
    QVERIFY(sink.open(dir.filePath(QStringLiteral("log.jsonl"))));
    Series series(options, sink);
    quint64 lost = 0;
    series.conversation().comm().setOverrunCounter(
        [&lost](PortHandle) { return std::optional<quint64>(lost); });
    const QSignalSpy finished(&series, &Series::finished);
    QVERIFY(series.begin());
    lost = 1; // the first reading after the open finds characters lost
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(series.status(), 1);

    QFile log(dir.filePath(QStringLiteral("log.jsonl")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList records = lines(log.readAll());
    QCOMPARE(records.size(), 2);
    QCOMPARE(jsonLine(records[0]).value(QStringLiteral("error")).toString(),
             QStringLiteral("data lost"));
    QVERIFY(jsonLine(records[0]).value(QStringLiteral("resistance")).isNull());
    QCOMPARE(jsonLine(records[1]).value(QStringLiteral("resistance")).toDouble(), 523.4);
}

void TestMeasure::portThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("entry"); // what the test puts in the ports directory
    QTest::addColumn<QString>("says");
    // Port 30000: high enough that no /dev/ttyS device of this machine answers to it.
    QTest::newRow("no such device") << QString() << QStringLiteral("/dev/ttyS29999): No such file");
    QTest::newRow("an entry that is no link")
        << QStringLiteral("directory") << QStringLiteral("not a link to a device: %1");
    QTest::newRow("a port directory that loops")
        << QStringLiteral("loop") << QStringLiteral("cannot look up %1: Too many levels");
    QTest::newRow("a port another program holds")
        << QStringLiteral("held") << QStringLiteral("in use by another program");
}

void TestMeasure::portThatCannotBeOpened()
{
    QFETCH(QString, entry);
    QFETCH(QString, says);
    int number = 30000;
    std::unique_ptr<box::SimulatedBox> device;
    CommControl holder;
    if (entry == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(portdirectory::linkPath(number)));
    } else if (entry == QLatin1String("loop")) {
        QVERIFY(QDir().mkpath(QFileInfo(portdirectory::directory()).path()));
        QVERIFY(QFile::link(QStringLiteral("ports"), portdirectory::directory()));
    } else if (entry == QLatin1String("held")) {
        device = std::make_unique<box::SimulatedBox>(fastBox());
        number = device->port();
        holder.setCommPort(qint16(number));
        holder.setPortOpen(true);
    }
    const Run result = run({QStringLiteral("--port"), QString::number(number),
                            QStringLiteral("--format"), QStringLiteral("csv")});
    QFile::remove(portdirectory::directory());
    QCOMPARE(result.status, 3);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(
        result.err.contains(
            QString(says).replace(QStringLiteral("%1"), portdirectory::linkPath(number)).toUtf8()),
        result.err.constData());
}

// Rights are what root always has: the messages for everyone else are seen by
// running velumet-measure as nobody.
void TestMeasure::permissionProblemsAsAnUnprivilegedUser_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("suggestsAGroup");
    // A pseudo-terminal is its owner's; its group may at most write to it.
    QTest::newRow("device only its owner may use")
        << QString() << QStringLiteral("belongs to the user 'root' and the group '") << false;
    QTest::newRow("device a group may use")
        << QStringLiteral("dialout") << QStringLiteral("sudo usermod -aG dialout \"$USER\"")
        << true;
    QTest::newRow("ports directory it may not search")
        << QStringLiteral("closed directory")
        << QStringLiteral("cannot look up %1: Permission denied") << false;
}

void TestMeasure::permissionProblemsAsAnUnprivilegedUser()
{
    QFETCH(QString, setUp);
    QFETCH(QString, says);
    QFETCH(bool, suggestsAGroup);
    if (::geteuid() != 0)
        QSKIP("switching to another user needs root");
    box::SimulatedBox device(fastBox());
    // nobody must reach the ports directory to be refused by what is in it.
    QString config = QFileInfo(portdirectory::directory()).path();
    for (int up = 0; up < 2; ++up, config = QFileInfo(config).path())
        QVERIFY(QFile::setPermissions(config, QFile::permissions(config) | QFile::ExeOther));
    const QByteArray devicePath = QFile::encodeName(device.devicePath());
    if (setUp == QLatin1String("dialout"))
        QVERIFY(::chown(devicePath.constData(), 0, 20) == 0 &&
                ::chmod(devicePath.constData(), 0660) == 0);
    if (setUp == QLatin1String("closed directory"))
        QVERIFY(QFile::setPermissions(portdirectory::directory(), QFileDevice::ReadOwner));
    const Run result = run({QStringLiteral("--port"), port(device)}, asNobody());
    QFile::setPermissions(portdirectory::directory(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result.status, 3);
    QVERIFY2(result.err.contains(
                 QString(says)
                     .replace(QStringLiteral("%1"), portdirectory::linkPath(device.port()))
                     .toUtf8()),
             result.err.constData());
    QCOMPARE(result.err.contains("usermod"), suggestsAGroup);
    QVERIFY2(!result.err.contains("'root'") || !result.err.contains("usermod"),
             result.err.constData());
}

void TestMeasure::interruptEndsTheSeriesCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << SIGINT;
    QTest::newRow("kill") << SIGTERM;
}

void TestMeasure::interruptEndsTheSeriesCleanly()
{
    QFETCH(int, signalNumber);
    box::SimulatedBox device(fastBox());
    bool sent = false;
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("0"),
             QStringLiteral("--interval"), QStringLiteral("0.05"), QStringLiteral("--format"),
             QStringLiteral("json")},
            {}, [&](QProcess &process, const QByteArray &out) {
                if (!sent && out.count('\n') >= 3) {
                    sendSignal(process, signalNumber);
                    sent = true;
                }
            });
    QVERIFY(sent);
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.endsWith('\n'));
    const QStringList records = lines(result.out);
    QVERIFY(records.size() >= 3);
    for (const QString &line : records)
        QCOMPARE(jsonLine(line).value(QStringLiteral("resistance")).toDouble(), 523.4);
}

void TestMeasure::readerThatGoesAwayEndsTheSeries()
{
    box::SimulatedBox device(fastBox());
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("0"),
             QStringLiteral("--interval"), QStringLiteral("0.05")},
            pipedIntoHead());
    QCOMPARE(lines(result.out).size(), 1);
    // An orderly end with a message, not death by a signal.
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains("cannot write the record"), result.err.constData());
}

void TestMeasure::signalBeforeTheCountEndsWithItsStatus_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("count");
    QTest::newRow("Ctrl-C during a single measurement") << SIGINT << 1;
    QTest::newRow("kill during a series of three") << SIGTERM << 3;
    QTest::newRow("hang-up during a single measurement") << SIGHUP << 1;
}

// A script must not take an interrupted run for a measurement taken.
void TestMeasure::signalBeforeTheCountEndsWithItsStatus()
{
    QFETCH(int, signalNumber);
    QFETCH(int, count);
    box::Behaviour silent = fastBox();
    silent.fault = box::Fault::Silent;
    box::SimulatedBox device(silent);
    bool sent = false;
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"),
             QString::number(count), QStringLiteral("--timeout"), QStringLiteral("10")},
            {}, [&](QProcess &process, const QByteArray &) {
                if (!sent && !device.received().isEmpty()) {
                    sendSignal(process, signalNumber);
                    sent = true;
                }
            });
    QVERIFY(sent);
    QCOMPARE(result.status, 128 + signalNumber);
    // The measurement in flight gives no record.
    QCOMPARE(result.out, QByteArray());
}

void TestMeasure::signalIgnoredAtStartStaysIgnored_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("name");
    QTest::newRow("nohup") << SIGHUP << QStringLiteral("HUP");
    QTest::newRow("a background job of a script") << SIGINT << QStringLiteral("INT");
}

void TestMeasure::signalIgnoredAtStartStaysIgnored()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, name);
    box::SimulatedBox device(fastBox());
    bool ignoredSent = false;
    bool stopSent = false;
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("0"),
             QStringLiteral("--interval"), QStringLiteral("0.05"), QStringLiteral("--format"),
             QStringLiteral("json")},
            throughShell(QStringLiteral("trap '' %1;").arg(name)),
            [&](QProcess &process, const QByteArray &out) {
                if (!ignoredSent && out.count('\n') >= 2) {
                    sendSignal(process, signalNumber);
                    ignoredSent = true;
                }
                // Records after the ignored signal: it did not end the series.
                if (ignoredSent && !stopSent && out.count('\n') >= 5) {
                    sendSignal(process, SIGTERM);
                    stopSent = true;
                }
            });
    QVERIFY(stopSent);
    QCOMPARE(result.status, 0);
}

// A reader that opened the FIFO but never reads: the pipe fills up, and the
// program waits in its write, away from its event loop.
void TestMeasure::signalEndsAWriterThatIsHeldUp()
{
    box::SimulatedBox device(fastBox());
    FifoReader fifo;
    QVERIFY(fifo.isOpen());
    fifo.holdOnePage();
    bool sent = false;
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("0"),
             QStringLiteral("--interval"), QStringLiteral("0"), QStringLiteral("--timeout"),
             QStringLiteral("0.5"), QStringLiteral("--format"), QStringLiteral("json"),
             QStringLiteral("--output"), fifo.path()},
            {}, [&](QProcess &process, const QByteArray &) {
                if (!sent && waitChannel(process).contains("pipe_write")) {
                    sendSignal(process, SIGTERM);
                    sent = true;
                }
            });
    QVERIFY2(sent, qPrintable(QStringLiteral("status %1 with %2 bytes unread: %3")
                                  .arg(result.status)
                                  .arg(fifo.unread())
                                  .arg(QString::fromUtf8(result.err))));
    // Ended, by the rule of a series that runs until stopped: the record it
    // could not write is a failure.
    QCOMPARE(result.status, 1);
    const QByteArray written = fifo.readAll();
    QVERIFY2(written.endsWith('\n'), written.right(80).constData());
    for (const QString &line : lines(written))
        QCOMPARE(jsonLine(line).value(QStringLiteral("resistance")).toDouble(), 523.4);
}

void TestMeasure::closedStandardStreamsTakeNothingOfOurs_data()
{
    QTest::addColumn<QString>("closing");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<int>("status");
    // Records to a closed standard output: lost, but nowhere else.
    QTest::newRow("standard output") << QStringLiteral(">&-") << false << 0;
    // The log is the first file opened: it would get the number of standard
    // error, and the messages of a silent box with it.
    QTest::newRow("standard output and error, records to a file")
        << QStringLiteral(">&- 2>&-") << true << 1;
}

// A number left free at start goes to the next file opened: the log, the
// port, its lock file. None may get what was meant for the closed stream.
void TestMeasure::closedStandardStreamsTakeNothingOfOurs()
{
    QFETCH(QString, closing);
    QFETCH(bool, toFile);
    QFETCH(int, status);
    box::Behaviour behaviour = fastBox();
    if (toFile)
        behaviour.fault = box::Fault::Silent;
    box::SimulatedBox device(behaviour);
    const QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.json"));
    QStringList arguments{QStringLiteral("--port"),     port(device),
                          QStringLiteral("--count"),    QStringLiteral("2"),
                          QStringLiteral("--interval"), QStringLiteral("0"),
                          QStringLiteral("--timeout"),  QStringLiteral("0.3"),
                          QStringLiteral("--format"),   QStringLiteral("json")};
    if (toFile)
        arguments << QStringLiteral("--output") << log;
    const Run result = run(arguments, throughShell(closing));
    QCOMPARE(result.status, status);
    QCOMPARE(device.received(), QByteArray("B593817").repeated(2));
    if (!toFile)
        return;
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList records = lines(file.readAll());
    QCOMPARE(records.size(), 2);
    for (const QString &line : records)
        QVERIFY2(!jsonLine(line).isEmpty(), qPrintable(line));
}

// With the device gone, a series with no interval would otherwise try to open
// it as fast as the opens fail, and fill the log with failures.
void TestMeasure::unreachableDeviceIsTriedLessOften()
{
    box::Behaviour hangsUp = fastBox();
    hangsUp.fault = box::Fault::HangUp;
    hangsUp.hangUpAfter = 69;
    // A number no built-in port answers to, once the box's link is gone.
    box::SimulatedBox device(hangsUp, 30000);
    QElapsedTimer sinceGone;
    bool stopped = false;
    const Run result = run({QStringLiteral("--port"), port(device), QStringLiteral("--count"),
                            QStringLiteral("0"), QStringLiteral("--interval"), QStringLiteral("0"),
                            QStringLiteral("--format"), QStringLiteral("csv")},
                           {}, [&](QProcess &process, const QByteArray &) {
                               if (device.isHungUp() && !sinceGone.isValid())
                                   sinceGone.start();
                               if (!stopped && sinceGone.isValid() && sinceGone.hasExpired(3000)) {
                                   sendSignal(process, SIGTERM);
                                   stopped = true;
                               }
                           });
    QCOMPARE(result.status, 1);
    const QStringList records = lines(result.out).mid(1);
    QVERIFY2(records.size() >= 3 && records.size() <= 8, qPrintable(records.join(u'\n')));
    QVERIFY(records.first().endsWith(QLatin1String(",523.4,61.2,6.7,251.7,-1.2,\r")));
    for (const QString &record : records.mid(1))
        QVERIFY2(record.contains(QLatin1String("cannot open port")) ||
                     record.endsWith(QLatin1String(",line lost\r")),
                 qPrintable(record));
}

void TestMeasure::fractionsOfSecondsInEitherNotation_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<double>("value"); // 0: refused as wrong usage
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("point") << en << QStringLiteral("0.5") << 0.5;
    QTest::newRow("point in a german locale") << de << QStringLiteral("0.5") << 0.5;
    QTest::newRow("comma in a german locale") << de << QStringLiteral("0,5") << 0.5;
    QTest::newRow("whole seconds") << en << QStringLiteral("60") << 60.0;
    QTest::newRow("a day") << en << QStringLiteral("86400") << 86400.0;
    QTest::newRow("beyond a day") << en << QStringLiteral("86401") << 0.0;
    QTest::newRow("not a number") << en << QStringLiteral("soon") << 0.0;
    // "1,000" is one second to a German and a thousand to an American: neither
    // may get what the other meant.
    QTest::newRow("digit grouping in an english locale") << en << QStringLiteral("1,000") << 0.0;
    QTest::newRow("comma as decimal separator in a german locale")
        << de << QStringLiteral("1,000") << 1.0;
    QTest::newRow("exponent") << en << QStringLiteral("1e-300") << 0.0;
}

void TestMeasure::fractionsOfSecondsInEitherNotation()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, seconds);
    QFETCH(double, value);
    QLocale::setDefault(locale);
    for (const QString option : {QStringLiteral("--interval"), QStringLiteral("--timeout")}) {
        const std::variant<Options, int> parsed =
            parseOptions({QStringLiteral("velumet-measure"), QStringLiteral("--port"),
                          QStringLiteral("3"), option, seconds});
        if (value == 0.0) {
            QCOMPARE(std::get<int>(parsed), 2);
            continue;
        }
        const Options &options = std::get<Options>(parsed);
        QCOMPARE(option == QLatin1String("--interval") ? options.intervalSeconds
                                                       : options.timeoutSeconds,
                 value);
    }
    QLocale::setDefault(QLocale::c());
}

void TestMeasure::wrongUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says"); // besides the hint at --help
    const QString p = QStringLiteral("--port");
    QTest::newRow("no port") << QStringList() << QString();
    QTest::newRow("unknown option")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--x")} << QString();
    QTest::newRow("port not a number") << QStringList{p, QStringLiteral("COM3")} << QString();
    QTest::newRow("port 0") << QStringList{p, QStringLiteral("0")} << QString();
    QTest::newRow("port beyond 16 bits") << QStringList{p, QStringLiteral("40000")} << QString();
    QTest::newRow("negative count")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--count"), QStringLiteral("-1")}
        << QString();
    QTest::newRow("interval not a number")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--interval"), QStringLiteral("x")}
        << QString();
    QTest::newRow("timeout 0") << QStringList{p, QStringLiteral("3"), QStringLiteral("--timeout"),
                                              QStringLiteral("0")}
                               << QString();
    QTest::newRow("unknown format")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--format"), QStringLiteral("xml")}
        << QString();
    QTest::newRow("stray argument")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("9")} << QString();
    QTest::newRow("list-ports with a port")
        << QStringList{QStringLiteral("--list-ports"), p, QStringLiteral("3")} << QString();
    QTest::newRow("timeout shorter than an answer")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--timeout"), QStringLiteral("0.05")}
        << QStringLiteral("from 0.1");
    const QString sex = QStringLiteral("--sex");
    const QString male = QStringLiteral("male");
    QTest::newRow("unknown sex") << QStringList{p, QStringLiteral("3"), sex, QStringLiteral("x")}
                                 << QStringLiteral("--sex takes female or male");
    QTest::newRow("age beyond 120")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--age"), QStringLiteral("121")}
        << QStringLiteral("--age takes whole years from 1 to 120, not '121'");
    QTest::newRow("height in metres")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--height"), QStringLiteral("1.75")}
        << QStringLiteral("--height takes centimetres from 30 to 250, not '1.75'");
    QTest::newRow("weight 0") << QStringList{p, QStringLiteral("3"), QStringLiteral("--weight"),
                                             QStringLiteral("0")}
                              << QStringLiteral("--weight takes kilograms from 1 to 400, not '0'");
    QTest::newRow("unknown reference")
        << QStringList{p,    QStringLiteral("3"),           sex,
                       male, QStringLiteral("--reference"), QStringLiteral("piccoli")}
        << QStringLiteral("--reference takes piccoli1995, campa2023, campa2019-athletes, not "
                          "'piccoli'");
    QTest::newRow("both kinds of reference") << QStringList{p,
                                                            QStringLiteral("3"),
                                                            sex,
                                                            male,
                                                            QStringLiteral("--reference"),
                                                            QStringLiteral("campa2023"),
                                                            QStringLiteral("--reference-file"),
                                                            QStringLiteral("lab.json")}
                                             << QStringLiteral("give one of them");
    QTest::newRow("reference without a subject")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--reference"),
                       QStringLiteral("campa2023")}
        << QStringLiteral("a reference needs a subject");
    QTest::newRow("list-references with a subject")
        << QStringList{QStringLiteral("--list-references"), sex, male}
        << QStringLiteral("--list-references takes no other option");
}

void TestMeasure::wrongUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const Run result = run(arguments);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("velumet-measure: "), result.err.constData());
    QVERIFY2(result.err.contains("Try 'velumet-measure --help'"), result.err.constData());
    QVERIFY2(result.err.contains(says.toUtf8()), result.err.constData());
}

void TestMeasure::outputThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing directory") << QStringLiteral("/nonexistent/dir/log.csv")
                                       << QStringLiteral("No such file or directory");
    QTest::newRow("FIFO nobody reads") << QStringLiteral("fifo") << QStringLiteral("FIFO");
}

// Status 2 like wrong usage, since nothing was measured, but the command
// line was right: no hint at --help, and the system's reason.
void TestMeasure::outputThatCannotBeOpened()
{
    QFETCH(QString, output);
    QFETCH(QString, reason);
    const QTemporaryDir dir;
    const QString path = QDir(dir.path()).absoluteFilePath(output);
    if (output == QLatin1String("fifo"))
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    const Run result =
        run({QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--output"), path});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith("velumet-measure: cannot write to " + QFile::encodeName(path)),
             result.err.constData());
    QVERIFY2(result.err.contains(reason.toUtf8()), result.err.constData());
    QVERIFY2(!result.err.contains("--help"), result.err.constData());
}

// Opened without a seek or a warning about one: a FIFO has no end to seek to.
void TestMeasure::fifoWithAReaderGetsTheRecords()
{
    box::SimulatedBox device(fastBox());
    FifoReader fifo;
    QVERIFY(fifo.isOpen());
    const Run result =
        run({QStringLiteral("--port"), port(device), QStringLiteral("--count"), QStringLiteral("2"),
             QStringLiteral("--interval"), QStringLiteral("0"), QStringLiteral("--format"),
             QStringLiteral("csv"), QStringLiteral("--output"), fifo.path()});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    const QList<QByteArray> rows = fifo.readAll().split('\n');
    QCOMPARE(rows.size(), 4); // the header, two records, nothing after the last line end
    QCOMPARE(rows[0] + '\n', recordformat::csvHeader());
    QVERIFY(rows[2].endsWith(",523.4,61.2,6.7,251.7,-1.2,\r"));
}

void TestMeasure::helpDocumentsOptionsFormatsAndStatuses()
{
    const Run result = run({QStringLiteral("--help")});
    QCOMPARE(result.status, 0);
    for (const char *word :
         {"--port", "--count", "--interval", "--timeout", "--format", "--output", "--list-ports",
          "--version", "text", "csv", "json", "Exit status", "Examples"})
        QVERIFY2(result.out.contains(word), word);
    // What the analysis rests on, and what it is not.
    for (const char *word :
         {"--sex", "--age", "--height", "--weight", "--reference", "--reference-file",
          "--list-references", "Piccoli et al. 1994", "Barbosa-Silva et al. 2005",
          "Kyle et al. 2001", "Sun et al. 2003", "50 kHz", "hand to foot", "supine",
          "R-Hand and R-Foot take no part", "not a diagnosis"})
        QVERIFY2(result.out.contains(word), word);
}

void TestMeasure::listPorts()
{
    box::SimulatedBox device(fastBox());
    QVERIFY(QFile::link(QStringLiteral("/dev/ttyGONE7"), portdirectory::linkPath(30000)));
    QVERIFY(QDir().mkpath(portdirectory::linkPath(30001)));
    const Run result = run({QStringLiteral("--list-ports")});
    QCOMPARE(result.status, 0);
    const QStringList rows = lines(result.out);
    const QString present = port(device) + u'\t' + device.devicePath() + u'\t';
    const QString missing = QStringLiteral("30000\t/dev/ttyGONE7\t(device missing)");
    QVERIFY2(rows.contains(present), qPrintable(rows.join(u'\n')));
    QVERIFY2(rows.contains(missing), qPrintable(rows.join(u'\n')));
    // An entry that is no link blocks its number and leads nowhere.
    const QString blocked = QStringLiteral("30001\t") + portdirectory::linkPath(30001) +
                            QStringLiteral("\t(not a link to a device: ") +
                            portdirectory::linkPath(30001) + u')';
    QVERIFY2(rows.contains(blocked), qPrintable(rows.join(u'\n')));
    QVERIFY(rows.indexOf(present) < rows.indexOf(missing));
}

void TestMeasure::analysisInEveryRecord_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("silent");
    // Keys of the record and the values they must have; the other analysis
    // keys must be null.
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("note");
    const QStringList man{QStringLiteral("--sex"),    QStringLiteral("male"),
                          QStringLiteral("--age"),    QStringLiteral("40"),
                          QStringLiteral("--height"), QStringLiteral("175"),
                          QStringLiteral("--weight"), QStringLiteral("70")};
    const QVariantMap subject{{QStringLiteral("sex"), QStringLiteral("male")},
                              {QStringLiteral("age"), 40},
                              {QStringLiteral("height"), 175},
                              {QStringLiteral("weight"), 70}};
    QVariantMap all = subject;
    all.insert({{QStringLiteral("bmi"), 22.9},
                {QStringLiteral("r_h"), 285.7},
                {QStringLiteral("xc_h"), 34.3},
                {QStringLiteral("biva_reference"), QStringLiteral("piccoli1995")},
                {QStringLiteral("biva_distance"), 0.77},
                {QStringLiteral("biva_ellipse"), QStringLiteral("50%")},
                {QStringLiteral("phase_angle_z"), -1.08},
                {QStringLiteral("phase_angle_class"), QStringLiteral("p5_p95")},
                {QStringLiteral("ffm"), 55.8},
                {QStringLiteral("fm"), 14.2},
                {QStringLiteral("fat_percent"), 20.3},
                {QStringLiteral("tbw"), 41.4}});
    QTest::newRow("a man of 40, 175 cm, 70 kg") << man << false << all << QString();

    // Without the age, what needs it is missing, and the note says so.
    QVariantMap ageless = all;
    for (const char *key :
         {"age", "phase_angle_z", "phase_angle_class", "ffm", "fm", "fat_percent", "tbw"})
        ageless.remove(QLatin1String(key));
    QTest::newRow("no age") << man.mid(0, 2) + man.mid(4) << false << ageless
                            << QStringLiteral("The phase angle comparison needs age. Fat-free "
                                              "mass, fat mass and body fat need age. Total body "
                                              "water needs age.");

    // A lab's own reference is named by its file's name.
    const QString lab = m_files.filePath(QStringLiteral("lab.json"));
    QFile file(lab);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"name": "lab-device-2026", "citation": "free text",
        "male":   {"n": 60, "r_h_mean": 285.7, "r_h_sd": 30.0, "xc_h_mean": 34.3, "xc_h_sd": 5.0,
                   "r": 0.55},
        "female": {"n": 60, "r_h_mean": 350.0, "r_h_sd": 40.0, "xc_h_mean": 37.0, "xc_h_sd": 6.0,
                   "r": 0.60}})");
    file.close();
    QVariantMap labbed = all;
    labbed.insert(QStringLiteral("biva_reference"), QStringLiteral("lab-device-2026"));
    labbed.insert(QStringLiteral("biva_distance"), 0.0);
    QTest::newRow("a lab's reference") << man + QStringList{QStringLiteral("--reference-file"), lab}
                                       << false << labbed << QString();

    QVariantMap failed = subject;
    failed.insert(QStringLiteral("biva_reference"), QStringLiteral("piccoli1995"));
    QTest::newRow("no answer") << man << true << failed
                               << QStringLiteral("The measurement failed, so nothing is analysed.");
}

// R 500.0 and Xc 60.0 from the simulated box, analysed by the real program.
void TestMeasure::analysisInEveryRecord()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, silent);
    QFETCH(QVariantMap, values);
    QFETCH(QString, note);
    box::Behaviour behaviour = fastBox({5000, 600, 4000, 3900});
    if (silent)
        behaviour.fault = box::Fault::Silent;
    box::SimulatedBox device(behaviour);
    const Run result = run(QStringList{QStringLiteral("--port"), port(device),
                                       QStringLiteral("--format"), QStringLiteral("json"),
                                       QStringLiteral("--timeout"), QStringLiteral("0.5")} +
                           arguments);
    QCOMPARE(result.status, silent ? 1 : 0);
    const QStringList records = lines(result.out);
    QCOMPARE(records.size(), 1);
    const QJsonObject record = jsonLine(records.first());
    const char *keys[] = {"sex",           "age",          "height",        "weight",
                          "bmi",           "r_h",          "xc_h",          "biva_reference",
                          "biva_distance", "biva_ellipse", "phase_angle_z", "phase_angle_class",
                          "ffm",           "fm",           "fat_percent",   "tbw"};
    for (const char *key : keys) {
        const QString name = QLatin1String(key);
        QVERIFY2(record.contains(name), key);
        if (values.contains(name))
            QCOMPARE(record.value(name).toVariant(), values.value(name));
        else
            QVERIFY2(record.value(name).isNull(), key);
    }
    if (note.isEmpty())
        QVERIFY(record.value(QStringLiteral("analysis_note")).isNull());
    else
        QCOMPARE(record.value(QStringLiteral("analysis_note")).toString(), note);
    QCOMPARE(record.value(QStringLiteral("resistance")).toVariant(),
             silent ? QVariant::fromValue(nullptr) : QVariant(500));
}

void TestMeasure::journalsWithAndWithoutAnalysisNeverMix_data()
{
    QTest::addColumn<bool>("journalHasAnalysis");
    QTest::addColumn<bool>("throughStandardOutput");
    QTest::addColumn<QString>("says");
    QTest::newRow("analysis records into a plain journal")
        << false << false << QStringLiteral("it holds records without an analysis");
    QTest::newRow("plain records into an analysis journal")
        << true << false << QStringLiteral("it holds records with an analysis");
    QTest::newRow("analysis records appended by the shell to a plain journal")
        << false << true << QStringLiteral("it holds records without an analysis");
}

// The journal's first run fixes its columns; a second run whose records have
// others measures nothing and leaves the file byte for byte as it was.
void TestMeasure::journalsWithAndWithoutAnalysisNeverMix()
{
    QFETCH(bool, journalHasAnalysis);
    QFETCH(bool, throughStandardOutput);
    QFETCH(QString, says);
    box::SimulatedBox device(fastBox());
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("journal.csv"));
    const QStringList subject{QStringLiteral("--sex"), QStringLiteral("f"),
                              QStringLiteral("--height"), QStringLiteral("160")};
    const auto arguments = [&](bool analysis) {
        QStringList list{QStringLiteral("--port"), port(device), QStringLiteral("--format"),
                         QStringLiteral("csv")};
        if (!throughStandardOutput)
            list << QStringLiteral("--output") << file;
        return analysis ? list + subject : list;
    };
    const Prepare appended = throughStandardOutput ? standardOutputAppendedTo(file) : Prepare();
    QCOMPARE(run(arguments(journalHasAnalysis), appended).status, 0);
    QFile journal(file);
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QByteArray before = journal.readAll();
    journal.close();
    QCOMPARE(before.count('\n'), 2);

    const Run refused = run(arguments(!journalHasAnalysis), appended);
    QCOMPARE(refused.status, 2);
    const QString named = throughStandardOutput ? QStringLiteral("standard output") : file;
    QVERIFY2(refused.err.startsWith("velumet-measure: cannot write to " + named.toUtf8() +
                                    ": its columns differ: " + says.toUtf8()),
             refused.err.constData());
    QVERIFY2(!refused.err.contains("--help"), refused.err.constData());
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QCOMPARE(journal.readAll(), before);
    // Refused before anything was measured: the box got one start command.
    QCOMPARE(device.received(), QByteArray("B593817"));
}

void TestMeasure::subjectValuesInEitherNotation_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("arguments");
    // What the options give the subject; an empty one: refused as wrong usage.
    QTest::addColumn<analysis::Subject>("subject");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QString height = QStringLiteral("--height");
    const QString weight = QStringLiteral("--weight");
    const QString sex = QStringLiteral("--sex");
    const QString age = QStringLiteral("--age");
    const auto tall = [](double cm) { return analysis::Subject{{}, {}, cm, {}}; };
    const auto heavy = [](double kg) { return analysis::Subject{{}, {}, {}, kg}; };
    const analysis::Subject refused;
    QTest::newRow("height with a point")
        << en << QStringList{height, QStringLiteral("175.5")} << tall(175.5);
    QTest::newRow("height with a point in a german locale")
        << de << QStringList{height, QStringLiteral("175.5")} << tall(175.5);
    QTest::newRow("height with a comma in a german locale")
        << de << QStringList{height, QStringLiteral("175,5")} << tall(175.5);
    QTest::newRow("height with a comma in an english locale")
        << en << QStringList{height, QStringLiteral("175,5")} << refused;
    QTest::newRow("weight with a comma in a german locale")
        << de << QStringList{weight, QStringLiteral("70,25")} << heavy(70.25);
    QTest::newRow("weight with grouping")
        << en << QStringList{weight, QStringLiteral("1,000")} << refused;
    QTest::newRow("weight as an exponent")
        << en << QStringList{weight, QStringLiteral("7e1")} << refused;
    QTest::newRow("lowest height") << en << QStringList{height, QStringLiteral("30")} << tall(30);
    QTest::newRow("below the lowest height")
        << de << QStringList{height, QStringLiteral("29,9")} << refused;
    QTest::newRow("highest height")
        << en << QStringList{height, QStringLiteral("250")} << tall(250);
    QTest::newRow("above the highest height")
        << en << QStringList{height, QStringLiteral("250.1")} << refused;
    QTest::newRow("lowest weight") << en << QStringList{weight, QStringLiteral("1")} << heavy(1);
    QTest::newRow("below the lowest weight")
        << en << QStringList{weight, QStringLiteral("0.9")} << refused;
    QTest::newRow("highest weight")
        << de << QStringList{weight, QStringLiteral("400,0")} << heavy(400);
    QTest::newRow("above the highest weight")
        << en << QStringList{weight, QStringLiteral("400.5")} << refused;
    QTest::newRow("youngest age") << en << QStringList{age, QStringLiteral("1")}
                                  << analysis::Subject{{}, 1, {}, {}};
    QTest::newRow("oldest age") << en << QStringList{age, QStringLiteral("120")}
                                << analysis::Subject{{}, 120, {}, {}};
    QTest::newRow("age 0") << en << QStringList{age, QStringLiteral("0")} << refused;
    QTest::newRow("age with a fraction")
        << de << QStringList{age, QStringLiteral("40,5")} << refused;
    QTest::newRow("sex as a capital F") << en << QStringList{sex, QStringLiteral("F")}
                                        << analysis::Subject{analysis::Sex::Female, {}, {}, {}};
    QTest::newRow("sex as Male") << en << QStringList{sex, QStringLiteral("Male")}
                                 << analysis::Subject{analysis::Sex::Male, {}, {}, {}};
    QTest::newRow("sex as 1") << en << QStringList{sex, QStringLiteral("1")} << refused;
}

void TestMeasure::subjectValuesInEitherNotation()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, arguments);
    QFETCH(analysis::Subject, subject);
    QLocale::setDefault(locale);
    const std::variant<Options, int> parsed =
        parseOptions(QStringList{QStringLiteral("velumet-measure"), QStringLiteral("--port"),
                                 QStringLiteral("3")} +
                     arguments);
    QLocale::setDefault(QLocale::c());
    if (subject.isEmpty()) {
        QCOMPARE(std::get<int>(parsed), 2);
        return;
    }
    const Options &options = std::get<Options>(parsed);
    QVERIFY(options.subject == subject);
    QVERIFY(options.analyses());
    QCOMPARE(options.reference.name, QStringLiteral("piccoli1995"));
}

void TestMeasure::referenceFileThatCannotBeUsed_data()
{
    QTest::addColumn<QByteArray>("contents"); // null: no such file
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such file") << QByteArray() << QStringLiteral("it cannot be read");
    QTest::newRow("an SD of 0") << QByteArray(R"({"name": "lab", "citation": "",
            "male":   {"n": 60, "r_h_mean": 280, "r_h_sd": 0, "xc_h_mean": 33, "xc_h_sd": 5,
                       "r": 0.5},
            "female": {"n": 60, "r_h_mean": 350, "r_h_sd": 40, "xc_h_mean": 37, "xc_h_sd": 6,
                       "r": 0.6}})")
                                << QStringLiteral("\"male.r_h_sd\" must be above 0");
}

// Status 2 before anything is measured, with the reason, but no hint at
// --help: the command line was right, the file is not.
void TestMeasure::referenceFileThatCannotBeUsed()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    box::SimulatedBox device(fastBox());
    const QString path = m_files.filePath(QStringLiteral("refused.json"));
    QFile::remove(path);
    if (!contents.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    }
    const Run result = run({QStringLiteral("--port"), port(device), QStringLiteral("--sex"),
                            QStringLiteral("male"), QStringLiteral("--reference-file"), path});
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("velumet-measure: cannot use the reference in " +
                                   QFile::encodeName(path) + ": " + reason.toUtf8()),
             result.err.constData());
    QVERIFY2(!result.err.contains("--help"), result.err.constData());
    QCOMPARE(device.received(), QByteArray());
}

void TestMeasure::listReferences()
{
    const Run result = run({QStringLiteral("--list-references")});
    QCOMPARE(result.status, 0);
    const QStringList rows = lines(result.out);
    QCOMPARE(rows.size(), 3);
    const char *names[] = {"piccoli1995", "campa2023", "campa2019-athletes"};
    const char *sources[] = {"Am J Clin Nutr 1995;61:269-270", "Clin Nutr 2023;42:1749",
                             "Int J Environ Res Public Health 2019;16:5066"};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(rows[i].startsWith(QLatin1String(names[i]) + u'\t'), qPrintable(rows[i]));
        QVERIFY2(rows[i].contains(QLatin1String(sources[i])), qPrintable(rows[i]));
    }
}

QTEST_GUILESS_MAIN(TestMeasure)
#include "tst_measure.moc"
