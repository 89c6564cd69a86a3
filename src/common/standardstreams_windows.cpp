#include "common/standardstreams.h"

#include <windows.h>

#include <cstdio>
#include <initializer_list>

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

void useParentConsole()
{
    // Redirected (velumet-display --help > help.txt), it has its streams.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output != nullptr && output != INVALID_HANDLE_VALUE) ||
        !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    // The C library's streams, which Qt's text streams write through, and
    // the handles behind them.
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

// Windows has no signal for a reader that went away or a file size limit: the
// write fails by itself, with a reason.
void letWritesFail() {}

} // namespace standardstreams
