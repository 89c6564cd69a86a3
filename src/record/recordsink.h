#pragma once

#include "record/outputfile.h"
#include "record/record.h"

#include <QString>

// Where records go: standard output, or a file they are appended to. A
// record that write() reports written is whole and passed on: on the disk
// for a regular file, handed to the reader for a pipe or a terminal. A
// record it reports failed is not there at all: a regular file is cut back
// to what it held before, so a full disk never leaves half a line behind.
//
// Several runs may append to one file at once, through one descriptor or
// each through its own: each record, and the CSV header before the first,
// is written under the file's lock, so the file gets one header and whole
// lines, and a failed write cuts back nothing but its own bytes. A lock that
// cannot be taken fails the write. A file that does not end in a line break
// (another program's last line) gets one before the first record.
//
// A CSV file's header fixes its columns: records with an analysis and
// records without one never go into the same file. A file that starts with
// anything but a header of ours is not judged.
class RecordSink
{
public:
    enum class OpenError {
        None,
        // The system refused the file; errorString() says why.
        CannotOpen,
        // A CSV file whose header is one of ours, but not the one these
        // records need.
        ColumnsDiffer,
    };

    // withAnalysis: the records carry an analysis (Record::analysis), and
    // CSV has the columns for it.
    explicit RecordSink(recordformat::Format format, bool withAnalysis = false)
        : m_format(format), m_withAnalysis(withAnalysis)
    {
    }

    // Opens FILE for appending, creating it if needed; empty: standard
    // output. False with openError() and errorString() when it cannot be
    // opened, or when it is a CSV file with other columns (standard output
    // appended to one too); such a file is left as it was.
    bool open(const QString &path);
    OpenError openError() const { return m_openError; }

    // False with errorString() when the record could not be written whole.
    bool write(const Record &record);

    const QString &errorString() const { return m_error; }

private:
    bool writeToRegularFile(const QByteArray &line);
    bool fail();
    bool hasTheColumnsOfTheseRecords();

    recordformat::Format m_format;
    bool m_withAnalysis = false;
    OpenError m_openError = OpenError::None;
    OutputFile m_file;
    QString m_error;
    // A stream gets the CSV header before its first record; a regular file
    // when it is empty.
    bool m_firstOnStream = true;
    // The file's columns are known to be these records': it held them when
    // opened, or a record of ours went in. Until then another run may give
    // an empty file the other header.
    bool m_columnsSettled = false;
};
