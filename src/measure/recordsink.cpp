#include "measure/recordsink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

bool RecordSink::open(const QString &path)
{
    const bool opened =
        path.isEmpty()
            ? m_file.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
            : (m_file.setFileName(path), m_file.open(QIODevice::WriteOnly | QIODevice::Append));
    if (!opened) {
        m_error = m_file.errorString();
        return false;
    }
    // Standard output redirected with ">>" into a log already under way is
    // a file like any other.
    struct stat status = {};
    const bool regularFile = ::fstat(m_file.handle(), &status) == 0 && S_ISREG(status.st_mode);
    m_syncToDisk = regularFile;
    m_headerDue = m_format == Options::Format::Csv && (!regularFile || status.st_size == 0);
    return true;
}

bool RecordSink::write(const Record &record)
{
    QByteArray bytes;
    if (m_headerDue)
        bytes = recordformat::csvHeader();
    switch (m_format) {
    case Options::Format::Text:
        bytes += recordformat::text(record);
        break;
    case Options::Format::Csv:
        bytes += recordformat::csv(record);
        break;
    case Options::Format::Json:
        bytes += recordformat::json(record);
        break;
    }
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        m_error = m_file.errorString();
        return false;
    }
    if (m_syncToDisk && ::fsync(m_file.handle()) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_headerDue = false;
    return true;
}
