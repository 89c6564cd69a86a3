#include "record/recordsink.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

// The record file as Windows opens it: what the program asks of the file
// decides which files take its records.
class TestWineRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void fileWeMayOnlyWriteTakesRecords();
};

// A program that holds the log and lets others write it but not read it
// stands for a file or folder that grants writing alone (a drop folder):
// records go in all the same, since nothing but writing is asked for.
void TestWineRecordFile::fileWeMayOnlyWriteTakesRecords()
{
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE holder = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    QVERIFY(holder != INVALID_HANDLE_VALUE);
    RecordSink sink(recordformat::Format::Csv);
    const bool opened = sink.open(path);
    const bool written = opened && sink.write({QDateTime::currentDateTime(), 3, Measurement(),
                                               QStringLiteral("no answer within 2 s")});
    CloseHandle(holder);
    QVERIFY2(opened, qPrintable(sink.errorString()));
    QVERIFY2(written, qPrintable(sink.errorString()));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray records = file.readAll();
    QVERIFY2(records.startsWith(recordformat::csvHeader()), records.constData());
    QVERIFY2(records.endsWith(",3,,,,,,no answer within 2 s\r\n"), records.constData());
    QCOMPARE(records.count('\n'), 2);
}

QTEST_GUILESS_MAIN(TestWineRecordFile)
#include "tst_winerecordfile.moc"
