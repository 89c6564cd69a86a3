#include "serial/openfailure.h"

OpenFailure describeOpenFailure(const QString &, QSerialPort::SerialPortError error,
                                const QString &systemText)
{
    // Windows opens a serial port for one program at a time and refuses every
    // other with "access denied"; rights to a port are no question there.
    if (error == QSerialPort::PermissionError)
        return {QStringLiteral("the port is in use by another program"), QString()};
    return {systemText, QString()};
}
