#pragma once

#include <QtGlobal>

// When a series' next measurement starts. Measurements start on the beats of
// the interval, counted in milliseconds from the first; a beat that passed
// while a measurement overran is skipped, not made up. A device that could
// not be opened is tried again on the first beat at least a pause after the
// last try started: 0.25 s after the first failed open, twice as long after
// each further one, never more than 5 s. At an interval of 5 s or more that
// is every beat: the pause never costs a beat the series could have made.
namespace beats {

// intervalMs: 0 for "at once"; lastStartMs: when the last measurement (or
// try to open the device) started; unreachable: the failed opens in a row.
qint64 nextStart(qint64 intervalMs, qint64 lastStartMs, qint64 nowMs, int unreachable);

} // namespace beats
