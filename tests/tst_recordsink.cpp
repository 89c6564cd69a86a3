#include "record/recordsink.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

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
    void fifoWithoutReaderIsRefused();
    void csvHeaderFixesTheColumns_data();
    void csvHeaderFixesTheColumns();

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

QTEST_GUILESS_MAIN(TestRecordSink)
#include "tst_recordsink.moc"
