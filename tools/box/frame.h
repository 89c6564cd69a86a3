#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// How the measuring box builds its answer: the inverse of the program's decoder.
namespace box {

struct Values
{
    qint16 resistance = 5230; // tenths
    qint16 reactance = 600;
    qint16 rHand = 4321;
    qint16 rFoot = -12;
};

// A 60-character plain record: the four values as six-character fields at
// 1-based positions 6, 13, 20 and 27, then ";"-separated trailing fields.
QString valueRecord(const Values &values);

// Shifts each character up by its position's shift; the inverse of
// mdlDecodeEncode::fcEncodeString without the marker.
QString encipher(const QString &plain, const QString &key);

// ">>", the enciphered record and the box's trailer, as the bytes on the line.
QByteArray measurementFrame(const QString &plain, const QString &key);

} // namespace box
