#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// Reads how many received characters the driver has lost so far, for the
// device behind an open port's handle; nothing when the driver keeps no such
// count. A std::function so that tests can stand in for the driver.
using OverrunCounter = std::function<std::optional<quint64>(qintptr handle)>;

// The driver's own counters (hardware and buffer overruns) where Linux has them
// (8250 UARTs, ftdi_sio, cdc_acm); nothing on other drivers and systems.
std::optional<quint64> driverOverruns(qintptr handle);
