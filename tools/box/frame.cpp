#include "frame.h"

#include "decoder/mdlDecodeEncode.h"

namespace box {

namespace {

QString field(qint16 tenths)
{
    return QString::number(tenths).rightJustified(6, u' ');
}

} // namespace

QString valueRecord(const Values &values)
{
    const QString record = QStringLiteral("M0001") + field(values.resistance) + u' ' +
                           field(values.reactance) + u' ' + field(values.rHand) + u' ' +
                           field(values.rFoot) + QStringLiteral(";ok;");
    return record.leftJustified(mdlDecodeEncode::payloadLength, u' ', true);
}

QString encipher(const QString &plain, const QString &key)
{
    const mdlDecodeEncode::Shifts shifts = mdlDecodeEncode::positionShifts(key);
    QString out(plain.size(), QChar(0));
    for (qsizetype i = 0; i < plain.size(); ++i)
        out[i] = QChar(plain[i].unicode() + shifts[i % 3]);
    return out;
}

QByteArray measurementFrame(const QString &plain, const QString &key)
{
    return QByteArrayLiteral(">>") + encipher(plain, key).toLatin1() +
           QByteArrayLiteral("\r\nEND\r\n");
}

} // namespace box
