#include "serial/linesettings.h"

#include "common/failure.h"

#include <QStringList>

namespace {

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

qint32 parseBaudRate(const QString &text)
{
    bool ok = false;
    const qint32 baud = text.toInt(&ok);
    if (!allDigits(text) || !ok || baud < 1)
        throw Failure::invalidPropertyValue();
    return baud;
}

QSerialPort::Parity parseParity(const QString &text)
{
    if (text.size() != 1)
        throw Failure::invalidPropertyValue();
    switch (text.front().unicode()) {
    case u'N':
        return QSerialPort::NoParity;
    case u'E':
        return QSerialPort::EvenParity;
    case u'O':
        return QSerialPort::OddParity;
    case u'M':
        return QSerialPort::MarkParity;
    case u'S':
        return QSerialPort::SpaceParity;
    default:
        throw Failure::invalidPropertyValue();
    }
}

QSerialPort::DataBits parseDataBits(const QString &text)
{
    if (text == u"5")
        return QSerialPort::Data5;
    if (text == u"6")
        return QSerialPort::Data6;
    if (text == u"7")
        return QSerialPort::Data7;
    if (text == u"8")
        return QSerialPort::Data8;
    throw Failure::invalidPropertyValue();
}

QSerialPort::StopBits parseStopBits(const QString &text)
{
    if (text == u"1")
        return QSerialPort::OneStop;
    if (text == u"2")
        return QSerialPort::TwoStop;
    throw Failure::invalidPropertyValue();
}

} // namespace

LineSettings LineSettings::parse(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        throw Failure::invalidPropertyValue();
    return {parseBaudRate(parts[0]), parseParity(parts[1]), parseDataBits(parts[2]),
            parseStopBits(parts[3])};
}

void LineSettings::applyTo(QSerialPort &port) const
{
    port.setBaudRate(baudRate);
    port.setParity(parity);
    port.setDataBits(dataBits);
    port.setStopBits(stopBits);
}
