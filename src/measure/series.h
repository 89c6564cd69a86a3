#pragma once

#include "measure/options.h"
#include "record/record.h"
#include "record/recordsink.h"
#include "serial/conversation.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

// A series of measurements on one port: each sends the start command and
// gives exactly one record, when its frame completes or when it fails, and
// the next starts on the interval's beat. The port stays open from the first
// measurement to the last; after a lost line each measurement tries to open
// it again.
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

    Conversation &conversation() { return m_conversation; }

signals:
    // The series has taken every measurement it was asked for, or cannot
    // write its records any more.
    void finished();

private:
    void measure();
    bool openPort();
    void onBufferChanged();
    void fail(const QString &error, std::optional<Measurement> measurement = std::nullopt);
    void finishMeasurement(Record record);

    const Options m_options;
    RecordSink &m_sink;
    Conversation m_conversation;
    QTimer m_timeout;
    QTimer m_nextStart;
    QElapsedTimer m_clock;
    // Measurements started; each one gives its record before the next starts.
    int m_started = 0;
    int m_failed = 0;
    bool m_measuring = false;
    bool m_sinkBroken = false;
};
