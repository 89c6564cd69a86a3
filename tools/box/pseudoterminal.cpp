#include "pseudoterminal.h"

#include "boxerror.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace box {

namespace {

QString systemError(const char *what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        throw BoxError(systemError("cannot open a pseudo-terminal"));
    const char *name = ::ptsname(m_master);
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || name == nullptr) {
        const QString text = systemError("cannot unlock the pseudo-terminal");
        ::close(m_master);
        throw BoxError(text);
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &raw) != 0) {
        const QString text = systemError("cannot open the pseudo-terminal's device");
        if (m_slave >= 0)
            ::close(m_slave);
        ::close(m_master);
        throw BoxError(text);
    }
    // A cooked line would echo the start command back and hold bytes until a
    // newline; a serial line does neither.
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    ::tcsetattr(m_slave, TCSANOW, &raw);
}

int PseudoTerminal::unreadBytes() const
{
    // A write reaches the device's input queue through a work queue, so the
    // count alone can miss bytes just written; polling pushes them through.
    pollfd slave{m_slave, POLLIN, 0};
    ::poll(&slave, 1, 0);
    int count = 0;
    if (::ioctl(m_slave, FIONREAD, &count) != 0)
        return 0;
    return count;
}

PseudoTerminal::~PseudoTerminal()
{
    ::close(m_slave);
    ::close(m_master);
}

} // namespace box
