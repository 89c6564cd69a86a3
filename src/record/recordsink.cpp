#include "record/recordsink.h"

bool RecordSink::open(const QString &path)
{
    m_firstOnStream = true;
    return (path.isEmpty() ? m_file.openStandardOutput() : m_file.open(path)) || fail();
}

bool RecordSink::write(const Record &record)
{
    const QByteArray line = recordformat::line(m_format, record);
    if (m_file.isRegularFile())
        return writeToRegularFile(line);
    const bool header = m_firstOnStream && m_format == recordformat::Format::Csv;
    if (!m_file.writeAll(header ? recordformat::csvHeader() + line : line))
        return fail();
    m_firstOnStream = false;
    return true;
}

bool RecordSink::writeToRegularFile(const QByteArray &line)
{
    // Under the lock no other run of ours appends: an empty file gets one
    // header, and a failed write can be cut back. Without it neither holds,
    // so nothing is written.
    if (!m_file.lock()) {
        m_error = QStringLiteral("cannot lock the file (%1)").arg(m_file.errorString());
        return false;
    }
    const std::optional<qint64> before = m_file.size();
    bool written = false;
    if (before) {
        QByteArray bytes;
        if (*before == 0 && m_format == recordformat::Format::Csv)
            bytes = recordformat::csvHeader();
        else if (*before > 0 && m_file.lastByte(*before).value_or('\n') != '\n')
            bytes = recordformat::lineBreak(m_format);
        bytes += line;
        written = m_file.writeAll(bytes) && m_file.sync();
        if (!written) {
            // What failed is told, not what cutting back may say after it.
            fail();
            // Only our own bytes go: a file that is not what we left plus
            // what we wrote has had something else appended meanwhile (a
            // program that takes no lock of ours), and that stays.
            const qint64 ours = m_file.bytesWritten();
            if (ours > 0 && m_file.size() == *before + ours) {
                m_file.truncate(*before);
                m_file.sync();
            }
        }
    } else {
        fail();
    }
    m_file.unlock();
    return written;
}

bool RecordSink::fail()
{
    m_error = m_file.errorString();
    return false;
}
