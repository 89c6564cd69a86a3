#include "record/outputfile.h"
#include "record/recordsink.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QDateTime noon(QDate(2026, 12, 10), QTime(12, 0, 0, 7), QTimeZone(3600));

Record record(int port = 3)
{
    Measurement measurement;
    measurement.numbers[Measurement::Resistance] = 52.3;
    measurement.texts[Measurement::Resistance] = QStringLiteral("52.3");
    return {noon, port, measurement, QString()};
}

// The same measurement with the analysis of a subject.
Record analysedRecord()
{
    Record analysed = record();
    analysed.measurement.numbers[Measurement::Reactance] = 6.0;
    analysed.analysis =
        analysis::analyse({analysis::Sex::Female, 30, 160.0, 55.0}, analysed.measurement,
                          *analysis::builtInReference(analysis::defaultReferenceName()));
    return analysed;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Files may grow to limit bytes while it exists; past it a write fails with
// "File too large", as on a full disk, part-way through.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        // Ignored, a write beyond the limit fails instead of killing the test.
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lower{limit, m_previous.rlim_max};
        m_set = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool set() const { return m_set; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_set = false;
};

// Standard output goes to a file for the life of this object, through one
// description, as a shell's ">>" sets it up for the runs it starts.
class StandardOutputTo
{
public:
    explicit StandardOutputTo(const QString &path) : m_saved(::dup(STDOUT_FILENO))
    {
        std::fflush(stdout);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        m_set = fd >= 0 && ::dup2(fd, STDOUT_FILENO) == STDOUT_FILENO;
        ::close(fd);
    }
    ~StandardOutputTo()
    {
        std::fflush(stdout);
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
    }
    StandardOutputTo(const StandardOutputTo &) = delete;
    StandardOutputTo &operator=(const StandardOutputTo &) = delete;
    bool set() const { return m_set; }

private:
    int m_saved;
    bool m_set = false;
};

// The lowest descriptor number free now is the last one a process may
// open while this exists.
class OneMoreDescriptor
{
public:
    OneMoreDescriptor()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_previous);
        const int lowest = ::dup(STDIN_FILENO);
        ::close(lowest);
        const rlimit lower{rlim_t(lowest + 1), m_previous.rlim_max};
        m_set = lowest >= 0 && ::setrlimit(RLIMIT_NOFILE, &lower) == 0;
    }
    ~OneMoreDescriptor() { ::setrlimit(RLIMIT_NOFILE, &m_previous); }
    OneMoreDescriptor(const OneMoreDescriptor &) = delete;
    OneMoreDescriptor &operator=(const OneMoreDescriptor &) = delete;
    bool set() const { return m_set; }

private:
    rlimit m_previous{};
    bool m_set = false;
};

Record numbered(int port, int number)
{
    Record numberedRecord = record(port);
    numberedRecord.measurement.numbers[Measurement::Resistance] = number;
    numberedRecord.measurement.texts[Measurement::Resistance] = QString::number(number);
    return numberedRecord;
}

// This program as one of the runs a test starts (see main()): it appends
// numbered CSV records to standard output until a write fails, and names
// on standard error each record it was told is written.
int writeUntilRefused(int port)
{
    std::signal(SIGXFSZ, SIG_IGN);
    RecordSink sink(recordformat::Format::Csv);
    if (!sink.open(QString()))
        return 2;
    for (int number = 1; number <= 100000; ++number) {
        if (!sink.write(numbered(port, number)))
            return 1;
        std::fprintf(stderr, "%d,%d\n", port, number);
    }
    return 0;
}

// This program appending one record to path; the error, if any, on
// standard error.
int appendOne(const QString &path)
{
    RecordSink sink(recordformat::Format::Csv);
    if (!sink.open(path) || !sink.write(record())) {
        std::fprintf(stderr, "%s\n", qPrintable(sink.errorString()));
        return 1;
    }
    return 0;
}

QString thisProgram()
{
    return QCoreApplication::applicationFilePath();
}

} // namespace

// How records reach a file: whole or not at all, one header per file, each
// on a line of its own.
class TestRecordSink : public QObject
{
    Q_OBJECT

private slots:
    void writeThatFailsPartWayLeavesTheFileAsItWas_data();
    void writeThatFailsPartWayLeavesTheFileAsItWas();
    void deviceThatRefusesSaysWhy();
    void lastLineOfAnotherProgramIsEnded_data();
    void lastLineOfAnotherProgramIsEnded();
    void sinksOpenedTogetherWriteOneHeader();
    void runsSharingOneDescriptionTakeTurns();
    void runsSharingStandardOutputUntilTheDiskIsFull();
    void dropFolderTakesANewFile();
    void refusedNewFileIsNotLeftBehind();
    void fifoWithoutReaderIsRefused();
    void csvHeaderFixesTheColumns_data();
    void csvHeaderFixesTheColumns();
    void columnsAreJudgedAgainUnderTheLock();

private:
    QTemporaryDir m_dir;
};

void TestRecordSink::writeThatFailsPartWayLeavesTheFileAsItWas_data()
{
    QTest::addColumn<recordformat::Format>("format");
    QTest::addColumn<QByteArray>("before");
    QTest::newRow("csv, header and one record")
        << recordformat::Format::Csv << recordformat::csvHeader() + recordformat::csv(record());
    QTest::newRow("json, one record") << recordformat::Format::Json << recordformat::json(record());
    QTest::newRow("text, empty file") << recordformat::Format::Text << QByteArray();
}

void TestRecordSink::writeThatFailsPartWayLeavesTheFileAsItWas()
{
    QFETCH(recordformat::Format, format);
    QFETCH(QByteArray, before);
    const QString path = m_dir.filePath(QStringLiteral("full.log"));
    QVERIFY(writeFile(path, before));
    RecordSink sink(format);
    QVERIFY(sink.open(path));
    {
        // Room for a few bytes of the next record, not for all of it.
        const FileSizeLimit limit(rlim_t(before.size() + 10));
        QVERIFY(limit.set());
        QVERIFY(!sink.write(record()));
    }
    QCOMPARE(sink.errorString(), QStringLiteral("File too large"));
    QCOMPARE(contents(path), before);
    // With room again, the next record follows on a line of its own.
    QVERIFY(sink.write(record(4)));
    const QByteArray header = before.isEmpty() && format == recordformat::Format::Csv
                                  ? recordformat::csvHeader()
                                  : QByteArray();
    QCOMPARE(contents(path), before + header + recordformat::line(format, record(4)));
}

void TestRecordSink::deviceThatRefusesSaysWhy()
{
    RecordSink sink(recordformat::Format::Csv);
    QVERIFY(sink.open(QStringLiteral("/dev/full")));
    QVERIFY(!sink.write(record()));
    QCOMPARE(sink.errorString(), QStringLiteral("No space left on device"));
}

void TestRecordSink::lastLineOfAnotherProgramIsEnded_data()
{
    QTest::addColumn<recordformat::Format>("format");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("inserted");
    const QByteArray cut = recordformat::csvHeader() + "2026-12-10T11:59:00.000+01:00,3,52";
    QTest::newRow("csv cut off") << recordformat::Format::Csv << cut << QByteArray("\r\n");
    QTest::newRow("json cut off") << recordformat::Format::Json << QByteArray("{\"time\":")
                                  << QByteArray("\n");
    QTest::newRow("csv ending in a line break")
        << recordformat::Format::Csv << recordformat::csvHeader() << QByteArray();
}

void TestRecordSink::lastLineOfAnotherProgramIsEnded()
{
    QFETCH(recordformat::Format, format);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, inserted);
    const QString path = m_dir.filePath(QStringLiteral("cut.log"));
    QVERIFY(writeFile(path, before));
    RecordSink sink(format);
    QVERIFY(sink.open(path));
    QVERIFY(sink.write(record()));
    QCOMPARE(contents(path), before + inserted + recordformat::line(format, record()));
}

void TestRecordSink::sinksOpenedTogetherWriteOneHeader()
{
    // Two runs started at once both find the new file empty when they open it.
    const QString path = m_dir.filePath(QStringLiteral("shared.csv"));
    QFile::remove(path);
    RecordSink first(recordformat::Format::Csv);
    RecordSink second(recordformat::Format::Csv);
    QVERIFY(first.open(path));
    QVERIFY(second.open(path));
    QVERIFY(first.write(record(3)));
    QVERIFY(second.write(record(4)));
    QCOMPARE(contents(path), recordformat::csvHeader() + recordformat::csv(record(3)) +
                                 recordformat::csv(record(4)));
}

// Two runs whose standard output a shell opened once share its description;
// the lock must keep them apart all the same.
void TestRecordSink::runsSharingOneDescriptionTakeTurns()
{
    // Checked once standard output is the test's own again, where a failure
    // is reported.
    bool opened = false;
    bool firstLocked = false;
    std::atomic<bool> secondLocked = false;
    bool lockedWhileHeld = true;
    {
        const StandardOutputTo redirected(m_dir.filePath(QStringLiteral("turns.csv")));
        OutputFile first;
        OutputFile second;
        opened = redirected.set() && first.openStandardOutput() && first.isRegularFile() &&
                 second.openStandardOutput();
        firstLocked = opened && first.lock();
        if (firstLocked) {
            std::thread other([&] { secondLocked = second.lock(); });
            QTest::qWait(200);
            lockedWhileHeld = secondLocked;
            first.unlock();
            other.join();
            second.unlock();
        }
    }
    QVERIFY(opened);
    QVERIFY(firstLocked);
    QVERIFY2(!lockedWhileHeld, "both runs held the lock at once");
    QVERIFY(secondLocked);
}

// "(run & run) >> log" with the disk full in the middle: one header, whole
// lines, and every record a run was told is written is there.
void TestRecordSink::runsSharingStandardOutputUntilTheDiskIsFull()
{
    const QString path = m_dir.filePath(QStringLiteral("both.csv"));
    QFile::remove(path);
    QProcess shell;
    shell.setWorkingDirectory(m_dir.path());
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("ulimit -f 16; (\"$0\" --writer 1 2>written1 & "
                                "\"$0\" --writer 2 2>written2 & wait) >> both.csv"),
                 thisProgram()});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.exitCode(), 0);

    const QList<QByteArray> lines = contents(path).split('\n');
    QVERIFY(lines.size() > 100);
    QCOMPARE(lines.first() + '\n', recordformat::csvHeader());
    QCOMPARE(lines.last(), QByteArray()); // nothing after the last line end
    QSet<QByteArray> inFile;
    for (const QByteArray &line : lines.mid(1, lines.size() - 2)) {
        const QList<QByteArray> fields = line.split(',');
        QVERIFY2(fields.size() == 8 && line.endsWith('\r'), line.constData());
        inFile.insert(fields[1] + ',' + fields[2]);
    }
    int reported = 0;
    for (const QString name : {QStringLiteral("written1"), QStringLiteral("written2")}) {
        for (const QByteArray &written : contents(m_dir.filePath(name)).split('\n')) {
            if (written.isEmpty())
                continue;
            ++reported;
            QVERIFY2(inFile.contains(written), written.constData());
        }
    }
    QCOMPARE(reported, inFile.size());
}

// A directory others may write to but not read: a new file in it is
// accepted, its directory entry synced with the file system.
void TestRecordSink::dropFolderTakesANewFile()
{
    const QTemporaryDir top;
    const QString drop = top.filePath(QStringLiteral("drop"));
    QVERIFY(QDir().mkdir(drop));
    QVERIFY(::chmod(QFile::encodeName(top.path()).constData(), 0711) == 0);
    QVERIFY(::chmod(QFile::encodeName(drop).constData(), 0733) == 0);
    const QString path = drop + QStringLiteral("/log.csv");
    QProcess nobody;
    nobody.start(QStringLiteral("setpriv"),
                 {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                  QStringLiteral("--clear-groups"), thisProgram(), QStringLiteral("--append"),
                  path});
    QVERIFY(nobody.waitForFinished(10000));
    QVERIFY2(nobody.exitCode() == 0, nobody.readAllStandardError().constData());
    QCOMPARE(contents(path), recordformat::csvHeader() + recordformat::csv(record()));
}

// A new file that cannot be made to last is refused, and goes again: left
// empty, the next run would take it for a file of its own.
void TestRecordSink::refusedNewFileIsNotLeftBehind()
{
    const QString path = m_dir.filePath(QStringLiteral("refused.csv"));
    QFile::remove(path);
    RecordSink sink(recordformat::Format::Csv);
    {
        // The file takes the last descriptor; its directory gets none.
        const OneMoreDescriptor limit;
        QVERIFY(limit.set());
        QVERIFY(!sink.open(path));
    }
    QCOMPARE(sink.errorString(), QStringLiteral("Too many open files"));
    QVERIFY(!QFile::exists(path));
}

void TestRecordSink::fifoWithoutReaderIsRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    RecordSink sink(recordformat::Format::Csv);
    QVERIFY(!sink.open(path));
    QCOMPARE(sink.openError(), RecordSink::OpenError::CannotOpen);
    QVERIFY2(sink.errorString().contains(QLatin1String("FIFO")), qPrintable(sink.errorString()));
}

void TestRecordSink::csvHeaderFixesTheColumns_data()
{
    QTest::addColumn<bool>("withAnalysis");
    // Null: no such file.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<RecordSink::OpenError>("refusal");
    using E = RecordSink::OpenError;
    const QByteArray plain = recordformat::csvHeader() + recordformat::csv(record());
    const QByteArray analysed = recordformat::csvHeader(true) + recordformat::csv(analysedRecord());
    QTest::newRow("analysis rows into a plain journal") << true << plain << E::ColumnsDiffer;
    QTest::newRow("plain rows into an analysis journal") << false << analysed << E::ColumnsDiffer;
    QTest::newRow("analysis rows into an analysis journal") << true << analysed << E::None;
    QTest::newRow("plain rows into a plain journal") << false << plain << E::None;
    QTest::newRow("analysis rows, new file") << true << QByteArray() << E::None;
    QTest::newRow("analysis rows, empty file") << true << QByteArray("") << E::None;
    QTest::newRow("plain journal a spreadsheet saved again, LF and a byte order mark")
        << false << QByteArray("\xEF\xBB\xBF") + QByteArray(plain).replace("\r\n", "\n") << E::None;
    QTest::newRow("analysis rows into another program's log")
        << true << QByteArray("started\r\nx,1\r\n") << E::None;
    QTest::newRow("plain rows under a header of ours cut short")
        << false << recordformat::csvHeader().left(20) << E::ColumnsDiffer;
}

void TestRecordSink::csvHeaderFixesTheColumns()
{
    QFETCH(bool, withAnalysis);
    QFETCH(QByteArray, before);
    QFETCH(RecordSink::OpenError, refusal);
    const QString path = m_dir.filePath(QStringLiteral("journal.csv"));
    QFile::remove(path);
    if (!before.isNull())
        QVERIFY(writeFile(path, before));
    RecordSink sink(recordformat::Format::Csv, withAnalysis);
    if (refusal != RecordSink::OpenError::None) {
        QVERIFY(!sink.open(path));
        QCOMPARE(sink.openError(), refusal);
        QVERIFY2(sink.errorString().contains(QLatin1String("columns differ")),
                 qPrintable(sink.errorString()));
        QCOMPARE(contents(path), before);
        return;
    }
    QVERIFY2(sink.open(path), qPrintable(sink.errorString()));
    QCOMPARE(sink.openError(), RecordSink::OpenError::None);
    const Record added = withAnalysis ? analysedRecord() : record(4);
    QVERIFY(sink.write(added));
    const QByteArray header = before.isEmpty() ? recordformat::csvHeader(withAnalysis) : "";
    QCOMPARE(contents(path), before + header + recordformat::csv(added));
}

// Two runs may both find a new journal empty at open; the one that writes
// second must not add its kind of rows under the other's header.
void TestRecordSink::columnsAreJudgedAgainUnderTheLock()
{
    const QString path = m_dir.filePath(QStringLiteral("new.csv"));
    RecordSink analysed(recordformat::Format::Csv, true);
    RecordSink plain(recordformat::Format::Csv, false);
    QVERIFY(analysed.open(path));
    QVERIFY(plain.open(path));
    QVERIFY(analysed.write(analysedRecord()));
    const QByteArray journal = contents(path);
    QVERIFY(!plain.write(record()));
    QVERIFY2(plain.errorString().contains(QLatin1String("columns differ")),
             qPrintable(plain.errorString()));
    QCOMPARE(contents(path), journal);
    QVERIFY(analysed.write(analysedRecord()));
}

// "--writer PORT" and "--append PATH" run this program as one of the
// processes a test starts; anything else runs the tests.
int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--writer") == 0)
        return writeUntilRefused(std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--append") == 0)
        return appendOne(QFile::decodeName(argv[2]));
    QCoreApplication app(argc, argv);
    TestRecordSink test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recordsink.moc"
