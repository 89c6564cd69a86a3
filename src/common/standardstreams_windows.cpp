#include "common/standardstreams.h"

#include <windows.h>

namespace standardstreams {

// Windows never hands a missing standard handle to the next file opened, but
// a record written to it fails; on the null device it is gone, as it is on
// POSIX when standard output was closed.
void openClosedOnNullDevice()
{
    for (const DWORD stream : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = ::GetStdHandle(stream);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            continue;
        const HANDLE null =
            ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (null != INVALID_HANDLE_VALUE)
            ::SetStdHandle(stream, null);
    }
}

// Windows has no signal for a reader that went away or a file size limit: the
// write fails by itself, with a reason.
void letWritesFail() {}

} // namespace standardstreams
