#pragma once

#include <QSerialPort>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <utility>

// What QSerialPort::handle() gives: a descriptor on POSIX, a HANDLE on
// Windows (Qt keeps the name of the type to itself).
using PortHandle = decltype(std::declval<const QSerialPort &>().handle());

// Reads how often received characters have been lost so far, for the device
// behind an open port's handle; nothing when the driver tells no such thing.
// A std::function so that tests can stand in for the driver.
using OverrunCounter = std::function<std::optional<quint64>(PortHandle handle)>;

// What the driver tells. Linux keeps counts of hardware and buffer overruns
// (8250 UARTs, ftdi_sio, cdc_acm; other drivers keep none); on Windows the
// serial port's own reads clear the driver's overrun flags before anyone
// else sees them, so nothing is told there.
OverrunCounter driverOverrunCounter();
