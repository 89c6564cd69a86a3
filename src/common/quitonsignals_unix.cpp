#include "common/quitonsignals.h"

#include <QCoreApplication>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// How long the program has to end in order once it is asked to stop.
constexpr int graceMs = 1000;

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

[[noreturn]] void throwSystemError(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

// Signals are blocked and read on a thread of their own, so that they reach
// the program however busy its event loop is.
struct QuitOnSignals::Watch
{
    std::function<int(int)> statusIfStuck;
    sigset_t set;
    int signalDescriptor = -1;
    // Written when the program has ended in order; the watcher then ends.
    int ended = -1;
    std::atomic<int> received{0};
    std::thread watcher;

    void watch()
    {
        pollfd waiting[2] = {{signalDescriptor, POLLIN, 0}, {ended, POLLIN, 0}};
        while (::poll(waiting, 2, -1) < 0) {
            if (errno != EINTR)
                return;
        }
        if (waiting[1].revents != 0)
            return;
        signalfd_siginfo info{};
        if (::read(signalDescriptor, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
            return;
        const int signal = static_cast<int>(info.ssi_signo);
        received = signal;
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
        pollfd end{ended, POLLIN, 0};
        int ready = 0;
        while ((ready = ::poll(&end, 1, graceMs)) < 0 && errno == EINTR) {
        }
        if (ready == 0)
            std::_Exit(statusIfStuck(signal));
    }
};

QuitOnSignals::QuitOnSignals(std::function<int(int)> statusIfStuck, QObject *parent)
    : QObject(parent), m_watch(std::make_unique<Watch>())
{
    m_watch->statusIfStuck = std::move(statusIfStuck);
    sigemptyset(&m_watch->set);
    for (const int signal : stopSignals) {
        struct sigaction current = {};
        if (::sigaction(signal, nullptr, &current) != 0)
            throwSystemError("cannot look at a signal");
        // Blocked, an ignored signal would be queued and read all the same.
        if (current.sa_handler != SIG_IGN)
            sigaddset(&m_watch->set, signal);
    }
    if (::sigprocmask(SIG_BLOCK, &m_watch->set, nullptr) != 0)
        throwSystemError("cannot block signals");
    m_watch->signalDescriptor = ::signalfd(-1, &m_watch->set, SFD_CLOEXEC);
    if (m_watch->signalDescriptor < 0)
        throwSystemError("cannot watch signals");
    m_watch->ended = ::eventfd(0, EFD_CLOEXEC);
    if (m_watch->ended < 0) {
        const int error = errno;
        ::close(m_watch->signalDescriptor);
        errno = error;
        throwSystemError("cannot watch signals");
    }
    m_watch->watcher = std::thread(&Watch::watch, m_watch.get());
}

QuitOnSignals::~QuitOnSignals()
{
    const std::uint64_t one = 1;
    while (::write(m_watch->ended, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_watch->watcher.join();
    ::close(m_watch->ended);
    ::close(m_watch->signalDescriptor);
    // Signals that came since stay pending and would end the program at the
    // first unblocking; the program is ending anyway, so they stay blocked.
}

int QuitOnSignals::received() const
{
    return m_watch->received;
}

int QuitOnSignals::finish(int status)
{
    // A signal leaves the program to end on its own: main returns status.
    return status;
}
