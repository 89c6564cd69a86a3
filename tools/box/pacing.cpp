#include "pacing.h"

namespace box::pacing {

namespace {

constexpr qint64 bytesPerSecond = 9600 / 10;
constexpr qint64 nanosecondsPerSecond = 1'000'000'000;

} // namespace

// Whole seconds and the rest apart, so that an endless answer does not
// overflow in any time a box runs.
qint64 bytesCarried(qint64 elapsedNs)
{
    return elapsedNs / nanosecondsPerSecond * bytesPerSecond +
           elapsedNs % nanosecondsPerSecond * bytesPerSecond / nanosecondsPerSecond;
}

qint64 nanosecondsToCarry(qint64 bytes)
{
    const qint64 rest = bytes % bytesPerSecond * nanosecondsPerSecond;
    return bytes / bytesPerSecond * nanosecondsPerSecond +
           (rest + bytesPerSecond - 1) / bytesPerSecond;
}

qint64 bytesDue(qint64 elapsedNs, int chunk, qint64 answerSize)
{
    const qint64 carried = bytesCarried(elapsedNs);
    if (carried >= answerSize)
        return answerSize;
    return carried / chunk * chunk;
}

qint64 nextChunkDueNs(qint64 handedOver, int chunk, qint64 answerSize)
{
    const qint64 end = qMin(answerSize - handedOver, qint64(chunk)) + handedOver;
    return nanosecondsToCarry(end);
}

} // namespace box::pacing
