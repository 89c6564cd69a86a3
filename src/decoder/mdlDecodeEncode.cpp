#include "decoder/mdlDecodeEncode.h"

#include "common/failure.h"
#include "common/numbertext.h"

namespace mdlDecodeEncode {

namespace {

// Only a key pair reading "00" has digit sum 0; these stand in for it then.
constexpr qint16 fallbackPair1 = 37;
constexpr qint16 fallbackPairs2And3 = 58;

int shiftFor(QStringView pair, qint16 fallback)
{
    const qint16 value = numbertext::toInt16(pair);
    const qint16 digitSum = Quersumme(value);
    const int base = digitSum != 0 ? digitSum : Quersumme(fallback) + fallback;
    return value + base;
}

} // namespace

Shifts positionShifts(const QString &key)
{
    const QStringView pairs(key);
    return {shiftFor(pairs.left(2), fallbackPair1), shiftFor(pairs.mid(2, 2), fallbackPairs2And3),
            shiftFor(pairs.right(2), fallbackPairs2And3)};
}

QString fcEncodeString(QString &frame, const QString &key)
{
    if (frame.size() < 2)
        throw Failure::invalidCall();
    frame.remove(0, 2);
    const Shifts shifts = positionShifts(key);
    if (frame.size() < payloadLength)
        throw Failure::invalidCall();

    QString decoded(payloadLength, QChar(0));
    QChar *out = decoded.data();
    for (int i = 0; i < payloadLength; ++i) {
        const int code = frame.at(i).unicode() - shifts[i % 3];
        if (code < 0 || code > 255)
            throw Failure::overflow();
        out[i] = QChar(code);
    }
    return decoded;
}

qint16 Quersumme(qint16 n)
{
    // Nothing here can fail: two digits sum to at most 18, and a character
    // that is not a digit ("-") counts 0.
    const QString text = QString::number(n);
    qint16 sum = 0;
    for (int i = 0; i < 2 && i < text.size(); ++i) {
        if (text[i].isDigit())
            sum += static_cast<qint16>(text[i].digitValue());
    }
    return sum;
}

} // namespace mdlDecodeEncode
