#include "common/quitonsignals.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

QuitOnSignals::QuitOnSignals(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent)
{
    sigset_t set;
    sigemptyset(&set);
    for (const int number : signalNumbers)
        sigaddset(&set, number);
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot block signals");
    m_descriptor = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_descriptor < 0)
        throw std::system_error(errno, std::generic_category(), "cannot watch signals");
    m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignals::onSignal);
}

QuitOnSignals::~QuitOnSignals()
{
    delete m_notifier;
    ::close(m_descriptor);
}

void QuitOnSignals::onSignal()
{
    signalfd_siginfo info;
    while (::read(m_descriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    QCoreApplication::quit();
}
