#include "record/recordsink.h"

namespace {

// Header lines are short; a first line longer than this is no header of ours.
constexpr qint64 headerLimit = 4096;

} // namespace

bool RecordSink::open(const QString &path)
{
    m_firstOnStream = true;
    m_columnsSettled = false;
    m_openError = OpenError::None;
    if (!(path.isEmpty() ? m_file.openStandardOutput() : m_file.open(path))) {
        m_openError = OpenError::CannotOpen;
        return fail();
    }
    // Opening for appending changed nothing yet: a file refused here is as
    // it was. Standard output appended to a file (">>") is checked alike.
    if (m_format != recordformat::Format::Csv || !m_file.isRegularFile())
        return true;
    if (!hasTheColumnsOfTheseRecords())
        return false;
    m_columnsSettled = m_file.size().value_or(0) > 0;
    return true;
}

bool RecordSink::hasTheColumnsOfTheseRecords()
{
    // An empty file has no columns yet, even one we may only write to.
    if (m_file.size() == std::optional<qint64>(0))
        return true;
    std::optional<QByteArray> first = m_file.firstBytes(headerLimit);
    if (!first) {
        m_openError = OpenError::CannotOpen;
        m_error = QStringLiteral("cannot read its header: ") + m_file.errorString();
        return false;
    }
    if (first->isEmpty())
        return true;
    // A spreadsheet that saved the journal again may have added a byte order
    // mark or ended its lines in LF alone; the columns are the same.
    const qsizetype end = first->indexOf('\n');
    QByteArray line = end < 0 ? *first : first->left(end);
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    if (line.endsWith('\r'))
        line.chop(1);
    const auto header = [](bool withAnalysis) {
        return recordformat::csvHeader(withAnalysis).chopped(2);
    };
    // A file that does not start with a header of ours is no journal of
    // ours (a script's log that collects several programs' output, say):
    // records went into such files before, and still do.
    if (line == header(m_withAnalysis) || !line.startsWith("time,port,"))
        return true;
    m_openError = OpenError::ColumnsDiffer;
    if (line == header(!m_withAnalysis)) {
        m_error = m_withAnalysis ? QStringLiteral("its columns differ: it holds records without "
                                                  "an analysis, and these have one")
                                 : QStringLiteral("its columns differ: it holds records with an "
                                                  "analysis, and these have none");
    } else {
        m_error = QStringLiteral("its columns differ from these records'");
    }
    return false;
}

bool RecordSink::write(const Record &record)
{
    // The header is the sink's, the columns the record's: they must agree.
    Q_ASSERT(m_format != recordformat::Format::Csv ||
             record.analysis.has_value() == m_withAnalysis);
    const QByteArray line = recordformat::line(m_format, record);
    if (m_file.isRegularFile())
        return writeToRegularFile(line);
    const bool header = m_firstOnStream && m_format == recordformat::Format::Csv;
    if (!m_file.writeAll(header ? recordformat::csvHeader(m_withAnalysis) + line : line))
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
    // Another run may have made the file since open() judged it empty, with
    // the other kind of records: what the lock finds is what counts.
    if (before && *before > 0 && m_format == recordformat::Format::Csv && !m_columnsSettled &&
        !hasTheColumnsOfTheseRecords()) {
        m_file.unlock();
        return false;
    }
    bool written = false;
    if (before) {
        QByteArray bytes;
        if (*before == 0 && m_format == recordformat::Format::Csv)
            bytes = recordformat::csvHeader(m_withAnalysis);
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
    m_columnsSettled = m_columnsSettled || written;
    return written;
}

bool RecordSink::fail()
{
    m_error = m_file.errorString();
    return false;
}
