#include "record/outputfile.h"

#include <windows.h>

namespace {

HANDLE handleOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

QString systemMessage(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD size = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString message = size > 0 ? QString::fromWCharArray(text, int(size)).trimmed()
                                     : QStringLiteral("error %1").arg(error);
    ::LocalFree(text);
    return message;
}

} // namespace

OutputFile::~OutputFile()
{
    close();
}

// NTFS journals the directory entry of a new file with the file's own
// metadata, so flushing the file puts its name on the disk too; Windows has
// no flush for a directory to call.
bool OutputFile::open(const QString &path)
{
    close();
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    m_handle = reinterpret_cast<qintptr>(handle);
    m_owned = true;
    m_regular = ::GetFileType(handle) == FILE_TYPE_DISK;
    return true;
}

bool OutputFile::openStandardOutput()
{
    close();
    const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return fail();
    }
    m_handle = reinterpret_cast<qintptr>(handle);
    m_owned = false;
    m_regular = ::GetFileType(handle) == FILE_TYPE_DISK;
    return true;
}

bool OutputFile::lock()
{
    OVERLAPPED whole = {};
    return ::LockFileEx(handleOf(m_handle), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD,
                        &whole) ||
           fail();
}

void OutputFile::unlock()
{
    OVERLAPPED whole = {};
    ::UnlockFileEx(handleOf(m_handle), 0, MAXDWORD, MAXDWORD, &whole);
}

std::optional<qint64> OutputFile::size()
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(handleOf(m_handle), &size)) {
        fail();
        return std::nullopt;
    }
    return size.QuadPart;
}

// Reads through the handle records are written with: a shell's ">>" may
// have opened it for writing only, and then the read just fails.
std::optional<char> OutputFile::lastByte(qint64 size)
{
    if (size < 1)
        return std::nullopt;
    OVERLAPPED at = {};
    at.Offset = DWORD(quint64(size - 1) & 0xffffffffu);
    at.OffsetHigh = DWORD(quint64(size - 1) >> 32);
    char byte = 0;
    DWORD read = 0;
    if (!::ReadFile(handleOf(m_handle), &byte, 1, &read, &at) || read != 1)
        return std::nullopt;
    return byte;
}

bool OutputFile::truncate(qint64 size)
{
    LARGE_INTEGER at = {};
    at.QuadPart = size;
    return (::SetFilePointerEx(handleOf(m_handle), at, nullptr, FILE_BEGIN) &&
            ::SetEndOfFile(handleOf(m_handle))) ||
           fail();
}

bool OutputFile::sync()
{
    return ::FlushFileBuffers(handleOf(m_handle)) || fail();
}

bool OutputFile::writeAll(const QByteArray &bytes)
{
    if (m_regular) {
        const LARGE_INTEGER none = {};
        if (!::SetFilePointerEx(handleOf(m_handle), none, nullptr, FILE_END))
            return fail();
    }
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(left, 1 << 30));
        if (!::WriteFile(handleOf(m_handle), data, chunk, &written, nullptr))
            return fail();
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return fail();
        }
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::fail()
{
    m_error = systemMessage(::GetLastError());
    return false;
}

void OutputFile::close()
{
    if (m_owned && m_handle != -1)
        ::CloseHandle(handleOf(m_handle));
    m_handle = -1;
    m_owned = false;
    m_regular = false;
}
