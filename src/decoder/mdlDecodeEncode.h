#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The box enciphers its answer by shifting each character down by one of
// three amounts, chosen by position and derived from the six-digit key that
// the start command sends it. Pure text in, text out: no widgets, no port.
namespace mdlDecodeEncode {

// Positions 1, 4, 7, ... use shift 0; 2, 5, 8, ... shift 1; 3, 6, 9, ... shift 2.
using Shifts = std::array<int, 3>;

// The key the start command sends and the decoder derives its shifts from.
inline QString decodingKey()
{
    return QStringLiteral("593817");
}

// Characters of the frame after its two marker characters that carry the record.
constexpr int payloadLength = 60;

// Derives the three position shifts from a six-digit key. Throws Failure 13
// when a key pair is not a number (a short key leaves a pair empty).
Shifts positionShifts(const QString &key);

// Drops the first two characters of frame (in place: callers pass a copy) and
// deciphers the next 60 into a 60-character text; a zero byte stays inside it.
// Throws Failure 5 when fewer than 62 characters arrived, 6 when a character
// lies below its shift.
QString fcEncodeString(QString &frame, const QString &key);

// Sum of the digits among the first two characters of n's decimal text.
qint16 Quersumme(qint16 n);

} // namespace mdlDecodeEncode
