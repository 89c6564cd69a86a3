#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial device could not be opened, for the person who asked for it,
// and what may help where that can be told: the same refusal means a port in
// use to one system and missing rights to another.
struct OpenFailure
{
    QString reason;
    // Lines of advice, each indented by two blanks; empty when there is none.
    QString hint;
};

OpenFailure describeOpenFailure(const QString &device, QSerialPort::SerialPortError error,
                                const QString &systemText);
