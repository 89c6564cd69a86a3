#include "behaviour.h"

#include <QList>
#include <QStringView>

#include <array>

namespace box {

namespace {

// Printable noise without ">" in it, so that it never forms a marker.
constexpr char noise[] = "x7#q!kz0%w ";

// A fault's name takes one number for each field it names after "=".
struct FaultName
{
    const char *name;
    Fault fault;
    const char *help;
    std::array<int Behaviour::*, 2> numbers;
};

const FaultName faultNames[] = {
    {"no-marker", Fault::NoMarker, "the frame starts with \"<<\" instead of \">>\"", {}},
    {"bad-value", Fault::BadValue, "the resistance field is not a number", {}},
    {"zero-resistance", Fault::ZeroResistance, "the resistance is 0", {}},
    {"garbage-first", Fault::GarbageFirst, "noise on the line before the frame", {}},
    {"hangup-after=K",
     Fault::HangUp,
     "the line goes dead after K bytes of the answer",
     {&Behaviour::hangUpAfter}},
    {"stream-garbage", Fault::StreamGarbage, "answers with noise that never ends", {}},
    {"silent", Fault::Silent, "never answers", {}},
    {"late-first=MS",
     Fault::LateFirst,
     "the first answer comes MS milliseconds after its command,\n"
     "and nothing cuts it off: start commands that come\n"
     "meanwhile are answered after it, in order",
     {&Behaviour::delayMs}},
    {"tail-after=MS",
     Fault::TailAfter,
     "the last byte of each answer comes MS milliseconds after\n"
     "the rest, even when a start command came meanwhile; the\n"
     "new answer follows it",
     {&Behaviour::delayMs}},
    {"pause=K,MS",
     Fault::Pause,
     "answers K start commands, then ignores every start\n"
     "command for MS milliseconds from the first it ignores\n"
     "(sending nothing), then answers again",
     {&Behaviour::pauseAfter, &Behaviour::delayMs}},
};

// The name up to and with its "=", or all of it.
QStringView stem(QStringView name)
{
    const qsizetype equals = name.indexOf(u'=');
    return equals < 0 ? name : name.left(equals + 1);
}

// Digits only: no sign, no spaces, nothing a timer cannot wait for.
bool plainNumber(QStringView text, int &number)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    number = text.toInt(&ok);
    return ok;
}

} // namespace

std::optional<Behaviour> withFault(Behaviour behaviour, const QString &name)
{
    for (const FaultName &known : faultNames) {
        const QString knownName = QString::fromLatin1(known.name);
        if (stem(name) != stem(knownName))
            continue;
        const qsizetype fields = knownName.count(u',') + (knownName.contains(u'=') ? 1 : 0);
        const QList<QStringView> texts = fields == 0
                                             ? QList<QStringView>()
                                             : QStringView(name).mid(stem(name).size()).split(u',');
        if (texts.size() != fields)
            return std::nullopt;
        for (qsizetype i = 0; i < fields; ++i) {
            if (!plainNumber(texts[i], behaviour.*known.numbers[i]))
                return std::nullopt;
        }
        behaviour.fault = known.fault;
        return behaviour;
    }
    return std::nullopt;
}

QString faultHelp()
{
    constexpr int nameWidth = 18;
    QString text;
    for (const FaultName &known : faultNames) {
        QString help = QString::fromLatin1(known.help);
        help.replace(u'\n', u'\n' + QString(nameWidth + 2, u' '));
        text += QStringLiteral("  ") + QString::fromLatin1(known.name).leftJustified(nameWidth) +
                help + u'\n';
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
