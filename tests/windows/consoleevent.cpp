// Plays a console's part for the Windows tests, which Wine leaves out:
// starts a program, then sends it console events the way Windows does, on
// a thread of the program's own that runs kernelbase's CtrlRoutine with the
// event. For a closing console it then does what Windows does: ends the
// program with STATUS_CONTROL_C_EXIT as soon as the handler returns, and
// after 5 s in any case. Wine ends nothing after a handler.
//
// Usage: consoleevent.exe BYTES EVENTS PROGRAM [ARGUMENTS...]
// EVENTS is a comma-separated list of ctrl-c, ctrl-break and close, sent
// one right after the other once the standard output, a file the program
// writes to as well, holds BYTES bytes. PROGRAM is a Windows path. The exit
// status is the program's, or STATUS_CONTROL_C_EXIT where Windows would have
// ended it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD endedBySystem = 0xC000013A; // STATUS_CONTROL_C_EXIT
constexpr DWORD closeLimitMs = 5000;
// A program told of Ctrl-C alone ends by itself, in its own time.
constexpr DWORD stopLimitMs = 30000;
constexpr DWORD startLimitMs = 30000;

int fail(const wchar_t *what)
{
    std::fwprintf(stderr, L"consoleevent: %ls (error %lu)\n", what, GetLastError());
    return 2;
}

bool eventNamed(const std::wstring &name, DWORD &event)
{
    if (name == L"ctrl-c")
        event = CTRL_C_EVENT;
    else if (name == L"ctrl-break")
        event = CTRL_BREAK_EVENT;
    else if (name == L"close")
        event = CTRL_CLOSE_EVENT;
    else
        return false;
    return true;
}

// The arguments have no quotes of their own in the tests.
std::wstring commandLine(int argc, wchar_t **argv, int first)
{
    std::wstring line;
    for (int i = first; i < argc; ++i) {
        if (!line.empty())
            line += L' ';
        line += L'"';
        line += argv[i];
        line += L'"';
    }
    return line;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) {
        std::fputs("usage: consoleevent.exe BYTES EVENTS PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    const long long bytes = std::wcstoll(argv[1], nullptr, 10);
    std::vector<DWORD> events;
    const std::wstring list = argv[2];
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos)
            end = list.size();
        DWORD event = 0;
        if (!eventNamed(list.substr(start, end - start), event)) {
            std::fwprintf(stderr, L"consoleevent: unknown event in %ls\n", argv[2]);
            return 2;
        }
        events.push_back(event);
        start = end + 1;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    std::wstring line = commandLine(argc, argv, 3);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &program))
        return fail(L"cannot start the program");
    // Until then the program may not even watch its console yet.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    for (DWORD waited = 0;; waited += 20) {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(output, &size))
            return fail(L"standard output is no file");
        if (size.QuadPart >= bytes)
            break;
        if (waited >= startLimitMs || WaitForSingleObject(program.hProcess, 20) != WAIT_TIMEOUT) {
            TerminateProcess(program.hProcess, endedBySystem);
            std::fputs("consoleevent: the program wrote too little\n", stderr);
            return 2;
        }
    }

    // System libraries sit at the same address in every process.
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
    if (!routine)
        return fail(L"kernelbase.dll has no CtrlRoutine");
    HANDLE closing = nullptr;
    for (const DWORD event : events) {
        const HANDLE thread =
            CreateRemoteThread(program.hProcess, nullptr, 0, routine,
                               reinterpret_cast<void *>(std::uintptr_t(event)), 0, nullptr);
        if (!thread)
            return fail(L"cannot send the event");
        if (event == CTRL_CLOSE_EVENT)
            closing = thread;
        else
            CloseHandle(thread);
    }

    if (WaitForSingleObject(program.hProcess, closing ? closeLimitMs : stopLimitMs) ==
        WAIT_TIMEOUT) {
        TerminateProcess(program.hProcess, endedBySystem);
        std::fputs("consoleevent: the program did not end in time; ended it\n", stderr);
        return int(endedBySystem);
    }
    DWORD status = 0;
    GetExitCodeProcess(program.hProcess, &status);
    if (closing) {
        // A handler that the program's end cut short leaves the thread with
        // the program's status; one that returned leaves its own.
        DWORD handler = 0;
        GetExitCodeThread(closing, &handler);
        if (handler != status) {
            std::fprintf(stderr,
                         "consoleevent: the close handler returned before the program ended "
                         "(with %lu); Windows would have ended it then\n",
                         status);
            return int(endedBySystem);
        }
    }
    return int(status);
}
