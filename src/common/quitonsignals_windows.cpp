#include "common/quitonsignals.h"

#include <QCoreApplication>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <system_error>

namespace {

// How long the program has to end in order once it is asked to stop.
constexpr std::chrono::milliseconds grace{1000};

// A hang-up of the terminal on POSIX; Windows's headers have no number for it.
constexpr int hangUp = 1;

// What a console event stands for, as a signal would on POSIX; 0: not ours.
// Logging off and shutting down never come: Windows tells only console
// programs that load no window system of them, and Qt's core loads it.
int signalFor(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return SIGINT;
    case CTRL_CLOSE_EVENT:
        return hangUp;
    default:
        return 0;
    }
}

} // namespace

// The system calls a console handler on a thread of its own, with nothing
// but the event: the live object can only be found through a pointer kept
// for it, under a lock that the object's end takes too. A program started
// with Ctrl-C disabled (a new process group) is never called for Ctrl-C, so
// an ignored Ctrl-C stays ignored by itself.
//
// Once its console closes, the system ends the program with a status of its
// own as soon as the handler returns, and after 5 s in any case. So a
// handler never returns while the program ends in order: it holds on until
// main has its status (finish()) and then ends the process with it. A close
// that comes during a Ctrl-C's grace waits in the same way.
struct QuitOnSignals::Watch
{
    std::function<int(int)> statusIfStuck;
    std::atomic<int> received{0};
    std::chrono::steady_clock::time_point deadline;
    // What main returns, once it has it.
    std::optional<int> status;
    // A handler is ending the process with the status.
    bool exiting = false;
    // Destroyed without a status: the handlers leave the rest to the system.
    bool ended = false;
    // Handlers still running, which the object must outlive.
    int handling = 0;

    static std::mutex mutex;
    static std::condition_variable changed;
    static Watch *current;

    static BOOL WINAPI onEvent(DWORD event)
    {
        const int signal = signalFor(event);
        if (signal == 0)
            return FALSE;
        std::unique_lock<std::mutex> lock(mutex);
        Watch *watch = current;
        if (!watch)
            return FALSE;
        int none = 0;
        if (watch->received.compare_exchange_strong(none, signal)) {
            watch->deadline = std::chrono::steady_clock::now() + grace;
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
        ++watch->handling;
        if (!changed.wait_until(lock, watch->deadline,
                                [watch] { return watch->status || watch->ended; }))
            std::_Exit(watch->statusIfStuck(watch->received));
        if (watch->status)
            exitWith(lock, *watch);
        --watch->handling;
        changed.notify_all();
        return TRUE;
    }

    // Ends the process with main's status from the first handler to get
    // here; the others wait for the end with main.
    [[noreturn]] static void exitWith(std::unique_lock<std::mutex> &lock, Watch &watch)
    {
        if (!watch.exiting) {
            watch.exiting = true;
            const UINT status = UINT(*watch.status);
            lock.unlock();
            ::ExitProcess(status);
        }
        for (;;)
            changed.wait(lock);
    }
};

std::mutex QuitOnSignals::Watch::mutex;
std::condition_variable QuitOnSignals::Watch::changed;
QuitOnSignals::Watch *QuitOnSignals::Watch::current = nullptr;

QuitOnSignals::QuitOnSignals(std::function<int(int)> statusIfStuck, QObject *parent)
    : QObject(parent), m_watch(std::make_unique<Watch>())
{
    m_watch->statusIfStuck = std::move(statusIfStuck);
    {
        const std::lock_guard<std::mutex> lock(Watch::mutex);
        Watch::current = m_watch.get();
    }
    if (!::SetConsoleCtrlHandler(&Watch::onEvent, TRUE)) {
        const std::lock_guard<std::mutex> lock(Watch::mutex);
        Watch::current = nullptr;
        throw std::system_error(int(::GetLastError()), std::system_category(),
                                "cannot watch the console");
    }
}

QuitOnSignals::~QuitOnSignals()
{
    {
        std::unique_lock<std::mutex> lock(Watch::mutex);
        Watch::current = nullptr;
        m_watch->ended = true;
        Watch::changed.notify_all();
        Watch::changed.wait(lock, [this] { return m_watch->handling == 0; });
    }
    // Only once no handler runs: the system holds its list of handlers while
    // one does, and taking ours out of it would wait for that handler.
    ::SetConsoleCtrlHandler(&Watch::onEvent, FALSE);
}

int QuitOnSignals::received() const
{
    return m_watch->received;
}

int QuitOnSignals::finish(int status)
{
    std::unique_lock<std::mutex> lock(Watch::mutex);
    m_watch->status = status;
    Watch::changed.notify_all();
    // A handler that holds a stop request ends the process with the status.
    if (m_watch->handling > 0)
        for (;;)
            Watch::changed.wait(lock);
    return status;
}
