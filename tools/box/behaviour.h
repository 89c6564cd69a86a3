#pragma once

#include "frame.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace box {

// Ways in which the box can misbehave, for tests and demonstrations.
enum class Fault {
    None,
    NoMarker,       // the frame lacks its ">>"
    BadValue,       // the resistance field is not a number
    ZeroResistance, // a resistance of 0
    GarbageFirst,   // noise on the line before the frame
    HangUp,         // the line goes dead after hangUpAfter bytes of the answer
    StreamGarbage,  // answers with noise that never ends
    Silent,         // never answers
    LateFirst,      // the first answer comes delayMs late, and nothing cuts it off
    TailAfter,      // the last byte of each answer comes delayMs after the rest
    Pause,          // after pauseAfter answers, start commands go unanswered for delayMs
};

struct Behaviour
{
    Values values;
    // Hand the answer over at once instead of at 9600 baud; noise that never
    // ends keeps the line's pace.
    bool fast = false;
    // Bytes handed over together, from 1 to maxChunk.
    int chunk = 8;
    // A pseudo-terminal's input queue holds 4096 bytes, so no reader ever
    // gets more at once.
    static constexpr int maxChunk = 4096;
    Fault fault = Fault::None;
    int hangUpAfter = 0;
    int pauseAfter = 0;
    // Milliseconds, for the faults that take time.
    int delayMs = 0;
    // R-Foot carries the answer's number instead of its value.
    bool numbered = false;
};

// The fault a name on the command line stands for, with the numbers it takes
// ("hangup-after=K", "pause=K,MS"); nothing for a name it does not know or
// numbers that are not plain whole numbers.
std::optional<Behaviour> withFault(Behaviour behaviour, const QString &name);

// The fault names and what they do, one per line, for --help.
QString faultHelp();

// The R-Foot a numbered box gives its answer-th answer, counting from 1: the
// number itself, round from 1 to 32767 again, so that it fits the field.
qint16 answerNumber(qint64 answer);

// The bytes the box answers a start command carrying key with. For noise that
// never ends this is its first stretch, which repeats; for silence, nothing.
QByteArray answer(const Behaviour &behaviour, const QString &key);

} // namespace box
