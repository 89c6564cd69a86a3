#include "common/quitonsignals.h"

#include <QCoreApplication>

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <system_error>

namespace {

// How long the program has to end in order once it is asked to stop.
constexpr std::chrono::milliseconds grace{1000};

// A hang-up of the terminal on POSIX; Windows's headers have no number for it.
constexpr int hangUp = 1;

// What a console event stands for, as a signal would on POSIX.
int signalFor(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return SIGINT;
    case CTRL_CLOSE_EVENT:
        return hangUp;
    default: // logoff, shutdown
        return SIGTERM;
    }
}

} // namespace

// The system calls a console handler on a thread of its own, with nothing
// but the event: the live object can only be found through a pointer kept
// for it, under a lock that the object's end takes too. A program started
// with Ctrl-C disabled (a new process group) is never called for Ctrl-C, so
// an ignored Ctrl-C stays ignored by itself.
struct QuitOnSignals::Watch
{
    std::function<int(int)> statusIfStuck;
    std::atomic<int> received{0};
    bool ended = false;
    // Handlers still running, which the object must outlive.
    int handling = 0;

    static std::mutex mutex;
    static std::condition_variable changed;
    static Watch *current;

    static BOOL WINAPI onEvent(DWORD event)
    {
        std::unique_lock<std::mutex> lock(mutex);
        Watch *watch = current;
        if (!watch)
            return FALSE;
        const int signal = signalFor(event);
        int none = 0;
        if (!watch->received.compare_exchange_strong(none, signal))
            return TRUE;
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
        ++watch->handling;
        if (!changed.wait_for(lock, grace, [watch] { return watch->ended; }))
            std::_Exit(watch->statusIfStuck(signal));
        --watch->handling;
        changed.notify_all();
        // Returning lets the system end a program whose console is closing;
        // the program has ended in order by then.
        return TRUE;
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
