#include "behaviour.h"
#include "decoder/mdlDecodeEncode.h"
#include "measure/options.h"
#include "record/recordsink.h"
#include "measure/series.h"
#include "serial/commcontrol.h"
#include "serial/portdirectory.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

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
    void dataLostIsAFailedMeasurement();
    void portThatCannotBeOpened();
    void interruptEndsTheSeriesCleanly_data();
    void interruptEndsTheSeriesCleanly();
    void readerThatGoesAwayEndsTheSeries();
    void fractionsOfSecondsInEitherNotation_data();
    void fractionsOfSecondsInEitherNotation();
    void wrongUsage_data();
    void wrongUsage();
    void helpDocumentsOptionsFormatsAndStatuses();
    void listPorts();

private:
    TemporaryConfigHome m_configHome;
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
                               << QStringLiteral("no answer within 0.5 s") << 1;
    QTest::newRow("resistance not a number")
        << box::Fault::BadValue << 0 << none << QStringLiteral("bad frame: a value is not a number (Type mismatch, 13)")
        << 1;
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
        [&lost](qintptr) { return std::optional<quint64>(lost); });
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

void TestMeasure::portThatCannotBeOpened()
{
    // High enough that no /dev/ttyS device of this machine answers to it.
    const Run result = run({QStringLiteral("--port"), QStringLiteral("30000"),
                            QStringLiteral("--format"), QStringLiteral("csv")});
    QCOMPARE(result.status, 3);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.contains("/dev/ttyS29999") && result.err.contains("No such file"),
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
                    ::kill(pid_t(process.processId()), signalNumber);
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
    const QString p = QStringLiteral("--port");
    QTest::newRow("no port") << QStringList();
    QTest::newRow("unknown option") << QStringList{p, QStringLiteral("3"), QStringLiteral("--x")};
    QTest::newRow("port not a number") << QStringList{p, QStringLiteral("COM3")};
    QTest::newRow("port 0") << QStringList{p, QStringLiteral("0")};
    QTest::newRow("port beyond 16 bits") << QStringList{p, QStringLiteral("40000")};
    QTest::newRow("negative count")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--count"), QStringLiteral("-1")};
    QTest::newRow("interval not a number")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--interval"), QStringLiteral("x")};
    QTest::newRow("timeout 0") << QStringList{p, QStringLiteral("3"), QStringLiteral("--timeout"),
                                              QStringLiteral("0")};
    QTest::newRow("unknown format")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--format"), QStringLiteral("xml")};
    QTest::newRow("stray argument") << QStringList{p, QStringLiteral("3"), QStringLiteral("9")};
    QTest::newRow("list-ports with a port")
        << QStringList{QStringLiteral("--list-ports"), p, QStringLiteral("3")};
    QTest::newRow("output into a missing directory")
        << QStringList{p, QStringLiteral("3"), QStringLiteral("--output"),
                       QStringLiteral("/nonexistent/dir/log.csv")};
}

void TestMeasure::wrongUsage()
{
    QFETCH(QStringList, arguments);
    const Run result = run(arguments);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("velumet-measure: "), result.err.constData());
}

void TestMeasure::helpDocumentsOptionsFormatsAndStatuses()
{
    const Run result = run({QStringLiteral("--help")});
    QCOMPARE(result.status, 0);
    for (const char *word :
         {"--port", "--count", "--interval", "--timeout", "--format", "--output", "--list-ports",
          "--version", "text", "csv", "json", "Exit status", "Examples"})
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
                            QStringLiteral("\t(device missing)");
    QVERIFY2(rows.contains(blocked), qPrintable(rows.join(u'\n')));
    QVERIFY(rows.indexOf(present) < rows.indexOf(missing));
}

QTEST_GUILESS_MAIN(TestMeasure)
#include "tst_measure.moc"
