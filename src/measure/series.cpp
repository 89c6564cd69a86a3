#include "measure/series.h"

#include "common/failure.h"
#include "measure/exitstatus.h"
#include "serial/commcontrol.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

// The quiet an answer must be followed by before the next start command. An
// answer's last byte follows its frame by a character time (about 1 ms at
// 9600 baud), but a USB serial adapter holds received bytes back until its
// latency timer runs out: 16 ms by default on the common FTDI chips, and
// some adapters wait longer. Three such timers are a margin that costs a lab
// nothing at the intervals it measures at.
constexpr qint64 quietGuardMs = 50;

// A device that cannot be opened is tried again later each time, up to this
// (or the interval, whichever is longer), rather than as fast as the opens fail.
constexpr qint64 firstRetryMs = 250;
constexpr qint64 retryLimitMs = 5000;

void message(const QString &text)
{
    QTextStream(stderr) << "velumet-measure: " << text << Qt::endl;
}

qint64 milliseconds(double seconds)
{
    return std::llround(seconds * 1000.0);
}

QString secondsText(qint64 ms)
{
    return QString::number(double(ms) / 1000.0);
}

} // namespace

Series::Series(const Options &options, RecordSink &sink, QObject *parent)
    : QObject(parent), m_options(options), m_sink(sink)
{
    for (QTimer *timer : {&m_timeout, &m_nextStart, &m_quietCheck}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // Something came, but never a frame: a box on the wrong speed, a
        // different device, noise. Worth telling apart from silence.
        const QString what = m_conversation.buffer().length() == 0
                                 ? QStringLiteral("no answer")
                                 : QStringLiteral("no complete frame");
        fail(QStringLiteral("%1 within %2 s").arg(what, QString::number(m_options.timeoutSeconds)));
    });
    connect(&m_nextStart, &QTimer::timeout, this, &Series::measure);
    connect(&m_quietCheck, &QTimer::timeout, this, &Series::awaitQuiet);
    connect(&m_conversation, &Conversation::bufferChanged, this, &Series::onBufferChanged);
    connect(&m_conversation, &Conversation::dataLost, this, [this] {
        // Losses while waiting for quiet concern what is about to be dropped.
        if (m_phase == Phase::Measuring)
            fail(QStringLiteral("data lost"));
    });
    connect(&m_conversation, &Conversation::lineLost, this,
            [this] { fail(QStringLiteral("line lost")); });
}

bool Series::begin()
{
    const QString port = QString::number(m_options.port);
    try {
        m_conversation.start(port);
    } catch (const Failure &failure) {
        const CommControl &comm = m_conversation.comm();
        if (comm.openError().isEmpty()) {
            message(QStringLiteral("cannot open port %1: %2").arg(port, failure.description()));
            return false;
        }
        QString text = QStringLiteral("cannot open port %1 (%2): %3")
                           .arg(port, comm.device(), comm.openError());
        if (!comm.openHint().isEmpty())
            text += u'\n' + comm.openHint();
        message(text);
        return false;
    }
    m_clock.start();
    m_started = 1;
    m_phase = Phase::Measuring;
    m_timeout.start(milliseconds(m_options.timeoutSeconds));
    return true;
}

int Series::status() const
{
    return m_failed > 0 || m_sinkBroken ? exitstatus::measurementFailed : exitstatus::ok;
}

bool Series::isComplete() const
{
    return m_options.count != 0 && m_recorded >= m_options.count;
}

void Series::measure()
{
    ++m_started;
    if (m_conversation.isOpen()) {
        // After a failure the answer to the command given up on may still
        // come; it must have come and gone before the next command goes out.
        m_quietNeededMs = m_lastFailed ? milliseconds(m_options.timeoutSeconds) : quietGuardMs;
        m_quietDeadline.setRemainingTime(m_quietNeededMs + milliseconds(m_options.timeoutSeconds));
        m_phase = Phase::Settling;
        awaitQuiet();
        return;
    }
    // A fresh open drops whatever was waiting: nothing of ours is in flight.
    m_phase = Phase::Measuring;
    try {
        m_conversation.start(QString::number(m_options.port));
    } catch (const Failure &failure) {
        ++m_unreachable;
        const CommControl &comm = m_conversation.comm();
        fail(QStringLiteral("cannot open port: ") +
             (comm.openError().isEmpty() ? failure.description() : comm.openError()));
        return;
    }
    m_unreachable = 0;
    m_timeout.start(milliseconds(m_options.timeoutSeconds));
}

void Series::awaitQuiet()
{
    if (m_phase != Phase::Settling)
        return;
    const qint64 quiet = m_conversation.quietMs();
    if (quiet >= m_quietNeededMs) {
        send();
        return;
    }
    if (m_quietDeadline.hasExpired()) {
        fail(QStringLiteral("the line did not fall quiet for %1 s within %2 s; no start command "
                            "was sent")
                 .arg(secondsText(m_quietNeededMs),
                      secondsText(m_quietNeededMs + milliseconds(m_options.timeoutSeconds))));
        return;
    }
    m_quietCheck.start(int(
        std::min(m_quietNeededMs - quiet, std::max<qint64>(0, m_quietDeadline.remainingTime()))));
}

void Series::send()
{
    m_phase = Phase::Measuring;
    m_conversation.startAgain();
    m_timeout.start(milliseconds(m_options.timeoutSeconds));
}

void Series::onBufferChanged()
{
    if (m_phase == Phase::Settling) {
        // Whatever came answers an earlier command: the quiet starts over.
        awaitQuiet();
        return;
    }
    const std::optional<Measurement> &measurement = m_conversation.measurement();
    if (m_phase != Phase::Measuring || !measurement)
        return;
    if (measurement->failure) {
        fail(recordformat::badFrame(*measurement->failure), measurement);
        return;
    }
    m_lastFailed = false;
    finishMeasurement(recordOf(*measurement, QString()));
}

void Series::fail(const QString &error, std::optional<Measurement> measurement)
{
    if (m_phase == Phase::Waiting)
        return;
    message(QStringLiteral("port %1: %2").arg(QString::number(m_options.port), error));
    ++m_failed;
    m_lastFailed = true;
    m_conversation.restartQuiet();
    finishMeasurement(recordOf(measurement.value_or(Measurement()), error));
}

Record Series::recordOf(const Measurement &measurement, const QString &error) const
{
    Record record{QDateTime::currentDateTime(), m_options.port, measurement, error, std::nullopt};
    // A failed measurement's record carries the subject too, and the note
    // that nothing could be analysed.
    if (m_options.analyses())
        record.analysis = analysis::analyse(m_options.subject, measurement, m_options.reference);
    return record;
}

void Series::finishMeasurement(const Record &record)
{
    m_phase = Phase::Waiting;
    m_timeout.stop();
    m_quietCheck.stop();
    if (!m_sink.write(record)) {
        message(QStringLiteral("cannot write the record: ") + m_sink.errorString());
        m_sinkBroken = true;
        emit finished();
        return;
    }
    ++m_recorded;
    if (isComplete()) {
        emit finished();
        return;
    }
    scheduleNext();
}

void Series::scheduleNext()
{
    const qint64 interval = milliseconds(m_options.intervalSeconds);
    const qint64 now = m_clock.elapsed();
    qint64 earliest = now;
    if (m_unreachable > 0) {
        const qint64 limit = std::max(interval, retryLimitMs);
        earliest += std::min(limit, firstRetryMs << std::min(m_unreachable - 1, 16));
    }
    // A beat that passed while a measurement overran is skipped, not made up.
    const qint64 due = interval == 0 ? earliest : (earliest + interval - 1) / interval * interval;
    m_nextStart.start(int(due - now));
}
