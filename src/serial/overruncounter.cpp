#include "serial/overruncounter.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

std::optional<quint64> driverOverruns(qintptr handle)
{
#ifdef Q_OS_LINUX
    serial_icounter_struct counters{};
    if (::ioctl(static_cast<int>(handle), TIOCGICOUNT, &counters) != 0)
        return std::nullopt;
    return static_cast<quint64>(static_cast<unsigned>(counters.overrun)) +
           static_cast<unsigned>(counters.buf_overrun);
#else
    Q_UNUSED(handle);
    return std::nullopt;
#endif
}
