#pragma once

#include "measure/options.h"
#include "measure/record.h"

#include <QFile>
#include <QString>

// Where the records go: standard output, or a file they are appended to.
// Each record is on the disk (or passed on down the pipe) when write()
// returns, so a crash or a pulled plug loses at most the measurement in
// progress.
class RecordSink
{
public:
    explicit RecordSink(Options::Format format) : m_format(format) {}

    // Opens FILE for appending, creating it if needed; empty: standard
    // output. False with errorString() when it cannot be opened.
    bool open(const QString &path);

    // False with errorString() when the record could not be written whole.
    bool write(const Record &record);

    const QString &errorString() const { return m_error; }

private:
    Options::Format m_format;
    QFile m_file;
    QString m_error;
    // A CSV header goes only at the start of an empty file or stream.
    bool m_headerDue = false;
    // Standard output may be a pipe or a terminal, which cannot be synced.
    bool m_syncToDisk = false;
};
