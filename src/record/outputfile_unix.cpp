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

bool syncDirectoryOf(const QString &path)
{
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
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
    if (created && !syncDirectoryOf(path)) {
        fail();
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
    while (::flock(descriptor(m_handle), LOCK_EX) != 0) {
        if (errno != EINTR)
            return fail();
    }
    return true;
}

void OutputFile::unlock()
{
    ::flock(descriptor(m_handle), LOCK_UN);
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
    if (m_reader < 0) {
        // The descriptor we append through may be write-only (a shell's
        // ">>"); a second one, opened through it, reads the same file.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_handle);
        m_reader = ::open(self.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    return m_reader >= 0;
}

std::optional<char> OutputFile::lastByte(qint64 size)
{
    if (!openReader())
        return std::nullopt;
    char byte = 0;
    if (size < 1 || ::pread(descriptor(m_reader), &byte, 1, size - 1) != 1)
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
