#include "serial/overruncounter.h"

#include <windows.h>

OverrunCounter driverOverrunCounter()
{
    return [seen = quint64(0)](PortHandle handle) mutable -> std::optional<quint64> {
        DWORD errors = 0;
        if (!::ClearCommError(handle, &errors, nullptr))
            return std::nullopt;
        // The UART's overrun and the driver's full input buffer.
        if (errors & (CE_OVERRUN | CE_RXOVER))
            ++seen;
        return seen;
    };
}
