#include "record/outputfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int descriptor(qintptr handle)
{
    return static_cast<int>(handle);
}

// Opens name for appending, creating it if it is not there; created tells
// which happened. A file removed between the two attempts is created anew.
int openForAppending(const QByteArray &name, bool &created)
{
    // Non-blocking, so that a FIFO nobody reads is refused at once instead
    // of holding the program before it has said a word.
    const int flags = O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        fd = ::open(name.constData(), flags);
        if (fd >= 0 || errno != ENOENT) {
            created = false;
            return fd;
        }
    }
    return -1;
}

// Puts the new file's directory entry on the disk. A directory we may write
// to but not read (a 0733 drop folder) cannot be opened to be synced, and
// some file systems cannot sync a directory at all (EINVAL): then the whole
// file system the file is on is synced instead, which takes the entry with it.
bool syncDirectoryOf(const QString &path, int file)
{
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return (errno == EACCES || errno == EPERM) && ::syncfs(file) == 0;
    bool synced = ::fsync(fd) == 0;
    if (!synced && errno == EINVAL)
        synced = ::syncfs(file) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// Takes back a file this run created, unless someone else has written to it
// or put another file in its place since.
void removeCreated(const QByteArray &name, int fd)
{
    struct stat ours = {};
    struct stat named = {};
    if (::fstat(fd, &ours) == 0 && ours.st_size == 0 && ::stat(name.constData(), &named) == 0 &&
        named.st_dev == ours.st_dev && named.st_ino == ours.st_ino)
        ::unlink(name.constData());
}

// A description of our own onto the file handle leads to, opened once into
// reader: for reading where we may; a file we may only write to (mode 0200)
// is opened for writing, and its last byte cannot be read.
int ownDescription(qintptr handle, qintptr &reader)
{
    if (reader < 0) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle);
        reader = ::open(self.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (reader < 0 && errno == EACCES)
            reader = ::open(self.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
    }
    return descriptor(reader);
}

} // namespace

OutputFile::~OutputFile()
{
    close();
}

bool OutputFile::open(const QString &path)
{
    close();
    bool created = false;
    const int fd = openForAppending(QFile::encodeName(path), created);
    if (fd < 0) {
        if (errno == ENXIO) {
            m_error = QStringLiteral("it is a FIFO that no process reads; start the reader first");
            return false;
        }
        return fail();
    }
    m_handle = fd;
    m_owned = true;
    // Records are written whole, and a full pipe waits for its reader.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (created && !syncDirectoryOf(path, fd)) {
        // Refused, the file is not left behind: an empty file would be
        // accepted by the next run as if it were ours to append to.
        fail();
        const int error = errno;
        removeCreated(QFile::encodeName(path), fd);
        errno = error;
        close();
        return false;
    }
    struct stat status = {};
    m_regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    return true;
}

bool OutputFile::openStandardOutput()
{
    close();
    m_handle = STDOUT_FILENO;
    m_owned = false;
    struct stat status = {};
    if (::fstat(STDOUT_FILENO, &status) != 0)
        return fail();
    m_regular = S_ISREG(status.st_mode);
    return true;
}

bool OutputFile::lock()
{
    // flock() belongs to the open file description, and runs that share one
    // (a shell's "(run & run) >> log") would all hold it at once. A file we
    // opened is a description of our own already; standard output is opened
    // anew through /proc. A lock we cannot take is refused, not skipped:
    // without it two runs may both write a header, or cut back the other's
    // record.
    const int own = m_owned ? descriptor(m_handle) : ownDescription(m_handle, m_reader);
    if (own < 0)
        return fail();
    while (::flock(own, LOCK_EX) != 0) {
        if (errno != EINTR)
            return fail();
    }
    return true;
}

void OutputFile::unlock()
{
    ::flock(m_owned ? descriptor(m_handle) : ownDescription(m_handle, m_reader), LOCK_UN);
}

std::optional<qint64> OutputFile::size()
{
    struct stat status = {};
    if (::fstat(descriptor(m_handle), &status) != 0) {
        fail();
        return std::nullopt;
    }
    return status.st_size;
}

bool OutputFile::openReader()
{
    return ownDescription(m_handle, m_reader) >= 0;
}

std::optional<char> OutputFile::lastByte(qint64 size)
{
    // The descriptor we append through may be write-only (a shell's ">>");
    // one of our own, opened through it, reads the same file.
    const int reader = ownDescription(m_handle, m_reader);
    char byte = 0;
    if (reader < 0 || size < 1 || ::pread(reader, &byte, 1, size - 1) != 1)
        return std::nullopt;
    return byte;
}

std::optional<QByteArray> OutputFile::firstBytes(qint64 count)
{
    if (!openReader()) {
        fail();
        return std::nullopt;
    }
    QByteArray bytes(count, '\0');
    const ssize_t read = ::pread(descriptor(m_reader), bytes.data(), size_t(count), 0);
    if (read < 0) {
        fail();
        return std::nullopt;
    }
    bytes.truncate(qsizetype(read));
    return bytes;
}

bool OutputFile::truncate(qint64 size)
{
    // Without O_APPEND (a shell's ">"), the offset would otherwise stay past
    // the new end and leave a hole.
    return (::ftruncate(descriptor(m_handle), size) == 0 &&
            ::lseek(descriptor(m_handle), size, SEEK_SET) == size) ||
           fail();
}

bool OutputFile::sync()
{
    return ::fsync(descriptor(m_handle)) == 0 || fail();
}

bool OutputFile::writeAll(const QByteArray &bytes)
{
    m_written = 0;
    if (m_regular && ::lseek(descriptor(m_handle), 0, SEEK_END) < 0)
        return fail();
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor(m_handle), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail();
        if (written == 0) {
            errno = EIO;
            return fail();
        }
        m_written += written;
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::fail()
{
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

void OutputFile::close()
{
    if (m_reader >= 0)
        ::close(descriptor(m_reader));
    if (m_owned && m_handle >= 0)
        ::close(descriptor(m_handle));
    m_reader = -1;
    m_handle = -1;
    m_owned = false;
    m_regular = false;
}
