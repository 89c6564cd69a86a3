#pragma once

#include "measure/options.h"
#include "record/record.h"
#include "record/recordsink.h"
#include "serial/conversation.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

// A series of measurements on one port, each started on a beat of the
// interval. A measurement sends the start command and ends with one record,
// when its frame completes or when it fails; one that is still running when
// the series is stopped gives none. The port stays open from the first
// measurement to the last; after a lost line each measurement tries to open
// it again, less often while the device stays away.
//
// An answer is taken only for the command it answers: a start command goes
// out once the line has been quiet for a while, long enough after a failure
// for a late answer to the command given up on to have come and gone. The
// same holds across a reopen after a lost line, and across runs: a run lets
// the port go only once its last answer is over (holdLine()), so that the
// next run may send at once. The run that gave up on an answer pays for
// the wait, not every run.
class Series : public QObject
{
    Q_OBJECT

public:
    Series(const Options &options, RecordSink &sink, QObject *parent = nullptr);

    // Opens the port and starts the first measurement. False, with a message
    // on standard error, when the port cannot be opened.
    bool begin();

    // The exit status the records so far call for.
    int status() const;
    // Every measurement asked for has its record (never, for --count 0).
    bool isComplete() const;

    // Ends the series, whatever it was doing (a stop request), and keeps the
    // port until no answer of ours can still reach whoever opens it next:
    // false when it can go at once; else true, and lineReleased() follows.
    // A healthy answer is over with its line end; one whose frame came
    // but not its line end waits for that or a short quiet; one given up on
    // (failed, or cut off by the stop) waits until the line has been quiet
    // for a whole timeout. A line that never falls quiet is let go after
    // that quiet plus a timeout, with a message.
    bool holdLine();

    Conversation &conversation() { return m_conversation; }

signals:
    // The series has taken every measurement it was asked for, or cannot
    // write its records any more.
    void finished();
    // After holdLine(): the port may go.
    void lineReleased();

private:
    enum class Phase { Waiting, Settling, Measuring, Releasing };

    void measure();
    void awaitQuiet();
    void send();
    void settle(qint64 quietNeededMs);
    void release();
    void onBufferChanged();
    void fail(const QString &error, std::optional<Measurement> measurement = std::nullopt);
    // The record of a measurement that ended now, with its analysis when the
    // options give a subject.
    Record recordOf(const Measurement &measurement, const QString &error) const;
    void finishMeasurement(const Record &record);
    void scheduleNext();

    const Options m_options;
    RecordSink &m_sink;
    Conversation m_conversation;
    Phase m_phase = Phase::Waiting;
    QTimer m_timeout;
    QTimer m_nextStart;
    QTimer m_quietCheck;
    // The quiet the line must keep before the next start command, and how
    // long the measurement may wait for it.
    qint64 m_quietNeededMs = 0;
    QDeadlineTimer m_quietDeadline;
    QElapsedTimer m_clock;
    // When the last measurement started, on m_clock: its beat.
    qint64 m_lastStartMs = 0;
    // Measurements started, and those that have their record.
    int m_started = 0;
    int m_recorded = 0;
    int m_failed = 0;
    bool m_lastFailed = false;
    // Opens that failed one after the other: the device is gone.
    int m_unreachable = 0;
    bool m_sinkBroken = false;
};
