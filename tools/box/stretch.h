#pragma once

#include "behaviour.h"

#include <QByteArray>
#include <QtGlobal>

#include <limits>
#include <vector>

namespace box {

// A stretch of an answer that the box hands over at the line's pace (or at
// once), starting delayMs after the stretch before it has gone.
struct Stretch
{
    static constexpr qint64 endless = std::numeric_limits<qint64>::max();

    QByteArray bytes;
    // Of the whole stretch; for endless noise the bytes are its next piece.
    qint64 size = 0;
    int delayMs = 0;
    // A new start command starts the answer over, as the box does, but bytes
    // already on their way to a real line, in a UART or an adapter's buffer,
    // still arrive: those may not be cut, nor whatever waits behind them.
    bool mayBeCut = true;
};

// The stretches of an answer the box gives: with the late-first fault the
// first answer comes late and whole, with tail-after each answer's last byte
// comes on its own after a delay. mayBeCut says whether a new start command
// may still cut the answer off.
std::vector<Stretch> stretchesOf(const Behaviour &behaviour, QByteArray answer, bool first,
                                 bool mayBeCut);

} // namespace box
