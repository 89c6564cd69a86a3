#include "measure/beats.h"

#include <algorithm>

namespace {

// Rather than as fast as the opens fail: a log that a device left for an
// hour keeps its lines readable.
constexpr qint64 firstRetryMs = 250;
constexpr qint64 retryLimitMs = 5000;

} // namespace

qint64 beats::nextStart(qint64 intervalMs, qint64 lastStartMs, qint64 nowMs, int unreachable)
{
    qint64 earliest = nowMs;
    if (unreachable > 0) {
        // Counted from the last try's start, so that the pause and the beats
        // run on one clock.
        const qint64 pause = std::min(retryLimitMs, firstRetryMs << std::min(unreachable - 1, 16));
        earliest = std::max(nowMs, lastStartMs + pause);
    }
    if (intervalMs == 0)
        return earliest;
    return (earliest + intervalMs - 1) / intervalMs * intervalMs;
}
