#pragma once

#include <QtGlobal>

// How a 9600-baud line, ten bit times a byte, carries an answer that the box
// hands over in chunks. Pacing from the time elapsed since the answer began,
// rather than from a timer per chunk, keeps timer rounding from adding up.
namespace box::pacing {

// Bytes the line has carried after elapsed nanoseconds.
qint64 bytesCarried(qint64 elapsedNs);

// The nanoseconds the line takes to carry that many bytes.
qint64 nanosecondsToCarry(qint64 bytes);

// How much of an answer of answerSize bytes has to have been handed over
// after elapsed nanoseconds: every chunk whose last byte the line has carried,
// and the short last chunk once the whole answer is carried.
qint64 bytesDue(qint64 elapsedNs, int chunk, qint64 answerSize);

// When, from the answer's start, the chunk after handedOver bytes falls due.
qint64 nextChunkDueNs(qint64 handedOver, int chunk, qint64 answerSize);

} // namespace box::pacing
