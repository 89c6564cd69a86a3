#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The file records are appended to, as the system sees it: a regular file
// that other runs may append to as well, or a stream (a pipe, a terminal, a
// FIFO) that passes each record on. Only what differs between systems lives
// here; what is written when is the record sink's business.
class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Opens path for appending, creating it if needed; a new file's directory
    // entry is on the disk when this returns. A FIFO that no process reads
    // is refused, since the open would wait for a reader without a word.
    bool open(const QString &path);
    // Standard output, as the shell set it up; it stays open afterwards.
    bool openStandardOutput();

    bool isRegularFile() const { return m_regular; }

    // The rest concerns a regular file only. While locked, no other run of
    // ours appends to the same file. A lock the file system cannot give is
    // no reason to lose records: the caller writes without it.
    bool lock();
    void unlock();
    std::optional<qint64> size();
    // The file's last byte, read through a descriptor of its own; nothing
    // when the file cannot be read.
    std::optional<char> lastByte(qint64 size);
    // Up to count bytes from the file's start, through the same descriptor;
    // nothing, with errorString(), when the file cannot be read.
    std::optional<QByteArray> firstBytes(qint64 count);
    // Cuts the file back to size, and appends from there on.
    bool truncate(qint64 size);
    // On the disk when this returns.
    bool sync();

    // Writes every byte, however many calls it takes; appended to the end of
    // a regular file.
    bool writeAll(const QByteArray &bytes);

    // Why the last call failed, in the system's words.
    const QString &errorString() const { return m_error; }

private:
    bool fail();
    void close();
    bool openReader();

    // A descriptor (POSIX) or a handle (Windows); -1: none.
    qintptr m_handle = -1;
    // The last byte is read through one of its own: the one records go
    // through may be write-only.
    qintptr m_reader = -1;
    bool m_owned = false;
    bool m_regular = false;
    QString m_error;
};
