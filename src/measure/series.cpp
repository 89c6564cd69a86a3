#include "measure/series.h"

#include "common/failure.h"
#include "measure/beats.h"
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
// How long a run that has its frame waits for the answer's line end before it
// lets the port go: longer than the longest latency timer a USB serial
// adapter can be set to (255 ms), since the next run would receive the line
// end ahead of its own answer. A healthy answer's line end comes with its
// last characters, so this costs a run nothing.
constexpr qint64 lineEndWaitMs = 500;

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
    connect(&m_conversation, &Conversation::lineLost, this, [this] {
        // Nothing can reach a later run through a line that is gone.
        if (m_phase == Phase::Releasing)
            release();
        else
            fail(QStringLiteral("line lost"));
    });
}

bool Series::begin()
{
    const QString port = QString::number(m_options.port);
    try {
        m_conversation.open(port);
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
    // A run before this one held the line until its answers were over, so
    // the first command goes out at once.
    send();
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
        settle(m_lastFailed ? milliseconds(m_options.timeoutSeconds) : quietGuardMs);
        return;
    }
    try {
        m_conversation.open(QString::number(m_options.port));
    } catch (const Failure &failure) {
        m_phase = Phase::Measuring;
        ++m_unreachable;
        const CommControl &comm = m_conversation.comm();
        fail(QStringLiteral("cannot open port: ") +
             (comm.openError().isEmpty() ? failure.description() : comm.openError()));
        return;
    }
    m_unreachable = 0;
    // The open dropped whatever was waiting, but the device may come back
    // with the answer to the command the lost line cut off still on its way
    // (the box kept it, or the adapter did).
    if (m_conversation.mayCarryEarlierAnswer())
        settle(milliseconds(m_options.timeoutSeconds));
    else
        send();
}

void Series::settle(qint64 quietNeededMs)
{
    m_quietNeededMs = quietNeededMs;
    m_quietDeadline.setRemainingTime(m_quietNeededMs + milliseconds(m_options.timeoutSeconds));
    m_phase = Phase::Settling;
    awaitQuiet();
}

void Series::awaitQuiet()
{
    if (m_phase != Phase::Settling && m_phase != Phase::Releasing)
        return;
    const bool releasing = m_phase == Phase::Releasing;
    const qint64 quiet = m_conversation.quietMs();
    if (releasing && m_conversation.answerOver()) {
        release();
        return;
    }
    if (quiet >= m_quietNeededMs) {
        if (releasing)
            release();
        else
            send();
        return;
    }
    if (m_quietDeadline.hasExpired()) {
        const QString notQuiet =
            QStringLiteral("the line did not fall quiet for %1 s within %2 s")
                .arg(secondsText(m_quietNeededMs),
                     secondsText(m_quietNeededMs + milliseconds(m_options.timeoutSeconds)));
        if (releasing) {
            message(QStringLiteral("port %1: %2; whoever opens it next may receive the rest")
                        .arg(QString::number(m_options.port), notQuiet));
            release();
        } else {
            fail(notQuiet + QStringLiteral("; no start command was sent"));
        }
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
    if (m_phase == Phase::Settling || m_phase == Phase::Releasing) {
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
    if (m_phase == Phase::Waiting || m_phase == Phase::Releasing)
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
    const qint64 now = m_clock.elapsed();
    m_lastStartMs = beats::nextStart(milliseconds(m_options.intervalSeconds), m_lastStartMs, now,
                                     m_unreachable);
    m_nextStart.start(int(m_lastStartMs - now));
}

bool Series::holdLine()
{
    const bool cutOff = m_phase == Phase::Measuring;
    m_phase = Phase::Waiting;
    m_timeout.stop();
    m_nextStart.stop();
    m_quietCheck.stop();
    if (!m_conversation.isOpen() || m_conversation.answerOver())
        return false;
    // Our frame came, so only its line end is still on its way; otherwise
    // the answer was given up on, and a late one begins within a timeout.
    const bool frameCame = m_conversation.buffer().holdsFrame();
    if (cutOff && !frameCame)
        m_conversation.restartQuiet();
    m_quietNeededMs = frameCame ? lineEndWaitMs : milliseconds(m_options.timeoutSeconds);
    m_quietDeadline.setRemainingTime(m_quietNeededMs + milliseconds(m_options.timeoutSeconds));
    if (!frameCame)
        message(QStringLiteral("port %1: waiting until the line has been quiet for %2 s, so that "
                               "an answer still on its way reaches no later run")
                    .arg(QString::number(m_options.port), secondsText(m_quietNeededMs)));
    m_phase = Phase::Releasing;
    awaitQuiet();
    return m_phase == Phase::Releasing;
}

void Series::release()
{
    m_phase = Phase::Waiting;
    m_quietCheck.stop();
    m_conversation.close();
    emit lineReleased();
}
