#pragma once

#include <QSerialPort>
#include <QString>

// The line settings text the comm control has always taken: "baud,parity,
// data bits,stop bits", for instance "9600,N,8,1".
struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Parity is one of N, E, O, M, S; data bits 5 to 8; stop bits 1 or 2.
    // Anything else, blanks included, throws Failure 380: a setting the port
    // cannot take must not be half applied.
    static LineSettings parse(const QString &text);

    // Applies all four to the port, open or not.
    void applyTo(QSerialPort &port) const;
};
