#include "serial/overruncounter.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

OverrunCounter driverOverrunCounter()
{
    return [](PortHandle handle) -> std::optional<quint64> {
#ifdef Q_OS_LINUX
        serial_icounter_struct counters{};
        if (::ioctl(handle, TIOCGICOUNT, &counters) != 0)
            return std::nullopt;
        return static_cast<quint64>(static_cast<unsigned>(counters.overrun)) +
               static_cast<unsigned>(counters.buf_overrun);
#else
        Q_UNUSED(handle);
        return std::nullopt;
#endif
    };
}
