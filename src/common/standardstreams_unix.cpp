#include "common/standardstreams.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace standardstreams {

void openClosedOnNullDevice()
{
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is the closed one.
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != stream) {
            ::dup2(null, stream);
            ::close(null);
        }
    }
}

void useParentConsole() {}

void letWritesFail()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace standardstreams
