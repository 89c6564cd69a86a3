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
// for a late answer to the command given up on to have come and gone.
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

    Conversation &conversation() { return m_conversation; }

signals:
    // The series has taken every measurement it was asked for, or cannot
    // write its records any more.
    void finished();

private:
    enum class Phase { Waiting, Settling, Measuring };

    void measure();
    void awaitQuiet();
    void send();
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
    // Measurements started, and those that have their record.
    int m_started = 0;
    int m_recorded = 0;
    int m_failed = 0;
    bool m_lastFailed = false;
    // Opens that failed one after the other: the device is gone.
    int m_unreachable = 0;
    bool m_sinkBroken = false;
};
