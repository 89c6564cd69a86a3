// Preloaded into Wine for the Windows tests. A pseudo-terminal has no modem
// lines, and Wine (10 at least) cancels a pending WaitCommEvent as soon as
// it cannot read them, whatever the event mask: a QSerialPort program on a
// pseudo-terminal gets "operation aborted" instead of its answer. A real
// serial port always has them, so for pseudo-terminals alone this answers
// TIOCMGET as the far end of a null-modem cable to a powered box would:
// DSR, CTS and DCD on. Every other call, and every other device, is left to
// the system.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdarg>

namespace {

using Ioctl = int (*)(int, unsigned long, ...);

// Unix98 pseudo-terminal slaves: majors 136 to 143.
bool isPseudoTerminal(int fd)
{
    struct stat status = {};
    return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) >= 136 &&
           major(status.st_rdev) <= 143;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    const auto system = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    const int result = system(fd, request, argument);
    if (result == -1 && errno == ENOTTY && request == TIOCMGET && isPseudoTerminal(fd)) {
        *static_cast<int *>(argument) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
        return 0;
    }
    return result;
}
