#include "behaviour.h"

namespace box {

namespace {

// Printable noise without ">" in it, so that it never forms a marker.
constexpr char noise[] = "x7#q!kz0%w ";

struct FaultName
{
    const char *name;
    Fault fault;
    const char *help;
};

const FaultName faultNames[] = {
    {"no-marker", Fault::NoMarker, "the frame starts with \"<<\" instead of \">>\""},
    {"bad-value", Fault::BadValue, "the resistance field is not a number"},
    {"zero-resistance", Fault::ZeroResistance, "the resistance is 0"},
    {"garbage-first", Fault::GarbageFirst, "noise on the line before the frame"},
    {"hangup-after=K", Fault::HangUp, "the line goes dead after K bytes of the answer"},
    {"stream-garbage", Fault::StreamGarbage, "answers with noise that never ends"},
    {"silent", Fault::Silent, "never answers"},
};

} // namespace

std::optional<Behaviour> withFault(Behaviour behaviour, const QString &name)
{
    const QString hangUpPrefix = QStringLiteral("hangup-after=");
    if (name.startsWith(hangUpPrefix)) {
        bool ok = false;
        const int bytes = name.mid(hangUpPrefix.size()).toInt(&ok);
        if (!ok || bytes < 0)
            return std::nullopt;
        behaviour.fault = Fault::HangUp;
        behaviour.hangUpAfter = bytes;
        return behaviour;
    }
    for (const FaultName &known : faultNames) {
        if (known.fault != Fault::HangUp && name == QLatin1String(known.name)) {
            behaviour.fault = known.fault;
            return behaviour;
        }
    }
    return std::nullopt;
}

QString faultHelp()
{
    QString text;
    for (const FaultName &known : faultNames) {
        text += QStringLiteral("  ") + QString::fromLatin1(known.name).leftJustified(18) +
                QString::fromLatin1(known.help) + u'\n';
    }
    return text;
}

qint16 answerNumber(qint64 answer)
{
    return static_cast<qint16>((answer - 1) % 32767 + 1);
}

QByteArray answer(const Behaviour &behaviour, const QString &key)
{
    if (behaviour.fault == Fault::StreamGarbage)
        return noise;
    if (behaviour.fault == Fault::Silent)
        return {};
    Values values = behaviour.values;
    if (behaviour.fault == Fault::ZeroResistance)
        values.resistance = 0;
    QString record = valueRecord(values);
    if (behaviour.fault == Fault::BadValue)
        record.replace(5, 6, QStringLiteral("  5x23"));
    QByteArray frame = measurementFrame(record, key);
    switch (behaviour.fault) {
    case Fault::NoMarker:
        frame.replace(0, 2, "<<");
        return frame;
    case Fault::GarbageFirst:
        return QByteArray(noise) + frame;
    default:
        return frame;
    }
}

} // namespace box
