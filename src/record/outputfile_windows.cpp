#include "record/outputfile.h"

#include <QFileInfo>

#include <windows.h>

namespace {

HANDLE handleOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

qintptr fromHandle(HANDLE handle)
{
    return reinterpret_cast<qintptr>(handle);
}

constexpr qintptr noHandle = -1;

// Windows' byte-range locks are mandatory: a lock on the records would make
// a reader's copy of the file, or our own look at its last byte, fail. Runs
// of ours lock this one byte far past any end instead, which no write or
// read ever touches.
OVERLAPPED lockPosition()
{
    OVERLAPPED position{};
    position.Offset = 0xFFFFFFFE;
    position.OffsetHigh = 0x7FFFFFFF;
    return position;
}

// An offset of all ones writes at the end of the file as it is at that
// moment, the counterpart of O_APPEND.
OVERLAPPED endOfFile()
{
    OVERLAPPED position{};
    position.Offset = 0xFFFFFFFF;
    position.OffsetHigh = 0xFFFFFFFF;
    return position;
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

} // namespace

OutputFile::~OutputFile()
{
    close();
}

bool OutputFile::open(const QString &path)
{
    close();
    // Others may read and append while we hold the file; a reader that
    // deletes or renames it (log rotation) is no reason to stop either.
    // Records are only written: a file or folder that lets us write but not
    // read (a drop folder) takes them, and the last byte is looked at
    // through a handle of its own.
    const std::wstring name =
        QFileInfo(path).absoluteFilePath().replace(u'/', u'\\').toStdWString();
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    m_handle = fromHandle(handle);
    m_owned = true;
    m_regular = GetFileType(handle) == FILE_TYPE_DISK;
    // The file system journals its directories: flushing the new file
    // commits its entry along with it.
    if (created && m_regular && !FlushFileBuffers(handle)) {
        fail();
        close();
        return false;
    }
    return true;
}

bool OutputFile::openStandardOutput()
{
    close();
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    if (handle == nullptr) {
        m_error = QStringLiteral("there is no standard output");
        return false;
    }
    m_handle = fromHandle(handle);
    m_owned = false;
    m_regular = GetFileType(handle) == FILE_TYPE_DISK;
    return true;
}

bool OutputFile::lock()
{
    OVERLAPPED position = lockPosition();
    if (LockFileEx(handleOf(m_handle), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &position))
        return true;
    // A handle whose file system keeps no byte-range locks at all (Wine's
    // standard output redirected by a POSIX shell, some network redirectors)
    // can never be locked: refusing it would refuse every record, so such a
    // file is written as before locks, one whole record a write.
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || fail();
}

void OutputFile::unlock()
{
    OVERLAPPED position = lockPosition();
    UnlockFileEx(handleOf(m_handle), 0, 1, 0, &position);
}

// Asks for no right to read, which the handle lacks.
std::optional<qint64> OutputFile::size()
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(m_handle), &size)) {
        fail();
        return std::nullopt;
    }
    return size.QuadPart;
}

bool OutputFile::openReader()
{
    if (m_reader == noHandle) {
        // The handle records go through is write-only (ours, or a shell's
        // ">>"); a handle of our own, opened anew through it, reads the same
        // file where reading is allowed.
        const HANDLE reader = ReOpenFile(handleOf(m_handle), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        if (reader == INVALID_HANDLE_VALUE)
            return false;
        m_reader = fromHandle(reader);
    }
    return true;
}

std::optional<char> OutputFile::lastByte(qint64 size)
{
    if (!openReader())
        return std::nullopt;
    if (size < 1)
        return std::nullopt;
    OVERLAPPED position{};
    position.Offset = DWORD(quint64(size - 1));
    position.OffsetHigh = DWORD(quint64(size - 1) >> 32);
    char byte = 0;
    DWORD read = 0;
    if (!ReadFile(handleOf(m_reader), &byte, 1, &read, &position) || read != 1)
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
    OVERLAPPED start{};
    DWORD read = 0;
    // An empty file has nothing at offset 0: ReadFile says so with
    // ERROR_HANDLE_EOF rather than by reading nothing.
    if (!ReadFile(handleOf(m_reader), bytes.data(), DWORD(count), &read, &start)) {
        if (GetLastError() != ERROR_HANDLE_EOF) {
            fail();
            return std::nullopt;
        }
        read = 0;
    }
    bytes.truncate(qsizetype(read));
    return bytes;
}

bool OutputFile::truncate(qint64 size)
{
    LARGE_INTEGER end{};
    end.QuadPart = size;
    return (SetFilePointerEx(handleOf(m_handle), end, nullptr, FILE_BEGIN) &&
            SetEndOfFile(handleOf(m_handle))) ||
           fail();
}

bool OutputFile::sync()
{
    return FlushFileBuffers(handleOf(m_handle)) || fail();
}

bool OutputFile::writeAll(const QByteArray &bytes)
{
    m_written = 0;
    const HANDLE handle = handleOf(m_handle);
    // A console takes text, not bytes: written as UTF-16, a record reads
    // the same whatever the console's code page.
    if (isConsole(handle)) {
        const std::wstring text = QString::fromUtf8(bytes).toStdWString();
        const wchar_t *data = text.data();
        DWORD left = DWORD(text.size());
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(handle, data, left, &written, nullptr))
                return fail();
            data += written;
            left -= written;
        }
        return true;
    }
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const DWORD chunk = DWORD(qMin<qint64>(left, 1 << 30));
        DWORD written = 0;
        OVERLAPPED end = endOfFile();
        if (!WriteFile(handle, data, chunk, &written, m_regular ? &end : nullptr))
            return fail();
        if (written == 0) {
            m_error = QStringLiteral("nothing could be written");
            return false;
        }
        m_written += written;
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::fail()
{
    m_error = qt_error_string(int(GetLastError()));
    return false;
}

void OutputFile::close()
{
    if (m_reader != noHandle)
        CloseHandle(handleOf(m_reader));
    if (m_owned && m_handle != noHandle)
        CloseHandle(handleOf(m_handle));
    m_reader = noHandle;
    m_handle = noHandle;
    m_owned = false;
    m_regular = false;
}
