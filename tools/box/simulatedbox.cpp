#include "simulatedbox.h"

#include "pacing.h"
#include "portlink.h"
#include "pseudoterminal.h"

#include <cerrno>
#include <unistd.h>

namespace box {

namespace {

constexpr int keyDigits = 6;
constexpr qint64 nanosecondsPerMs = 1'000'000;
// How often a box about to hang up looks whether the reader has taken the
// rest, and how long it waits for a reader that may never come.
constexpr int hangUpPollMs = 5;
constexpr int hangUpWaitLimitMs = 2000;

bool allDigits(const QByteArray &text)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

SimulatedBox::SimulatedBox(const Behaviour &behaviour, int port, QObject *parent)
    : QObject(parent), m_behaviour(behaviour), m_pty(std::make_unique<PseudoTerminal>()),
      m_link(std::make_unique<PortLink>(port, m_pty->slavePath())), m_port(m_link->port()),
      m_devicePath(m_pty->slavePath())
{
    m_behaviour.chunk = qBound(1, m_behaviour.chunk, Behaviour::maxChunk);
    m_readable = new QSocketNotifier(m_pty->master(), QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SimulatedBox::onReadable);
    m_pacer.setTimerType(Qt::PreciseTimer);
    m_pacer.setSingleShot(true);
    connect(&m_pacer, &QTimer::timeout, this, &SimulatedBox::handOverDue);
    m_hangUpWait.setInterval(hangUpPollMs);
    connect(&m_hangUpWait, &QTimer::timeout, this, &SimulatedBox::hangUpOnceRead);
}

SimulatedBox::~SimulatedBox() = default;

QString SimulatedBox::devicePath() const
{
    return m_devicePath;
}

void SimulatedBox::send(const QByteArray &bytes)
{
    write(bytes);
}

void SimulatedBox::hangUp()
{
    if (!m_pty)
        return;
    m_pacer.stop();
    m_hangUpWait.stop();
    // Deleted later: this may run inside the notifier's own signal.
    m_readable->setEnabled(false);
    m_readable->deleteLater();
    m_link.reset();
    m_pty.reset();
    emit lineHungUp();
}

void SimulatedBox::onReadable()
{
    char bytes[256];
    ssize_t count = 0;
    while ((count = ::read(m_pty->master(), bytes, sizeof bytes)) > 0) {
        m_received.append(bytes, count);
        m_unparsed.append(bytes, count);
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR)
        m_readable->setEnabled(false);

    // A start command is "B" and six digits; anything else on the line is
    // ignored, as is a "B" whose digits are broken off.
    while (true) {
        const qsizetype b = m_unparsed.indexOf('B');
        if (b < 0) {
            m_unparsed.clear();
            return;
        }
        m_unparsed.remove(0, b);
        const QByteArray digits = m_unparsed.mid(1, keyDigits);
        if (!allDigits(digits)) {
            m_unparsed.remove(0, 1);
            continue;
        }
        if (digits.size() < keyDigits)
            return;
        m_unparsed.remove(0, 1 + keyDigits);
        startAnswer(QString::fromLatin1(digits));
        if (!m_pty)
            return;
    }
}

void SimulatedBox::startAnswer(const QString &key)
{
    const bool answered = answers();
    emit commandReceived(key, answered);
    if (!answered)
        return;
    ++m_answersGiven;
    // Starts the answer over, unless what is going may not be cut.
    if (!m_outgoing.empty() && m_outgoing.front().mayBeCut) {
        m_outgoing.clear();
        m_pacer.stop();
    }
    const bool idle = m_outgoing.empty();
    if (m_behaviour.fault == Fault::HangUp && m_answerBytesSent >= m_behaviour.hangUpAfter) {
        hangUpOnceRead();
        return;
    }
    Behaviour now = m_behaviour;
    if (now.numbered)
        now.values.rFoot = answerNumber(m_answersGiven);
    for (Stretch &stretch : stretchesOf(now, answer(now, key), m_answersGiven == 1, idle))
        m_outgoing.push_back(std::move(stretch));
    if (idle) {
        m_handedOver = 0;
        m_stretchClock.start();
        handOverDue();
    }
}

bool SimulatedBox::answers()
{
    // A line about to die takes no new answer.
    if (m_behaviour.fault == Fault::Silent || m_hangUpWait.isActive())
        return false;
    if (m_behaviour.fault != Fault::Pause || m_answersGiven < m_behaviour.pauseAfter)
        return true;
    if (!m_pauseEnd)
        m_pauseEnd = QDeadlineTimer(m_behaviour.delayMs, Qt::PreciseTimer);
    return m_pauseEnd->hasExpired();
}

void SimulatedBox::handOverDue()
{
    const int chunk = m_behaviour.chunk;
    while (m_pty && !m_hangUpWait.isActive() && !m_outgoing.empty()) {
        const Stretch &front = m_outgoing.front();
        const qint64 sinceStart = m_stretchClock.nsecsElapsed() - front.delayMs * nanosecondsPerMs;
        if (sinceStart >= 0) {
            // Noise that never ends keeps the line's pace.
            const bool atOnce = m_behaviour.fast && front.size != Stretch::endless;
            handOver((atOnce ? front.size : pacing::bytesDue(sinceStart, chunk, front.size)) -
                     m_handedOver);
            if (!m_pty || m_hangUpWait.isActive())
                return;
        }
        if (m_handedOver < front.size) {
            const qint64 waitNs =
                sinceStart < 0
                    ? -sinceStart
                    : pacing::nextChunkDueNs(m_handedOver, chunk, front.size) - sinceStart;
            // Rounded up: a timer that fires early would find nothing due.
            m_pacer.start(static_cast<int>(
                qMax<qint64>(0, (waitNs + nanosecondsPerMs - 1) / nanosecondsPerMs)));
            return;
        }
        m_outgoing.pop_front();
        m_handedOver = 0;
        m_stretchClock.start();
    }
}

void SimulatedBox::handOver(qint64 count)
{
    Stretch &front = m_outgoing.front();
    while (count > 0 && m_pty) {
        if (front.bytes.isEmpty() && front.size == Stretch::endless)
            front.bytes = answer(m_behaviour, QString());
        qint64 size = qMin<qint64>(count, front.bytes.size());
        if (m_behaviour.fault == Fault::HangUp)
            size = qMin(size, m_behaviour.hangUpAfter - m_answerBytesSent);
        if (size <= 0)
            return;
        write(front.bytes.left(size));
        front.bytes.remove(0, size);
        m_handedOver += size;
        m_answerBytesSent += size;
        count -= size;
        if (m_behaviour.fault == Fault::HangUp && m_answerBytesSent >= m_behaviour.hangUpAfter) {
            hangUpOnceRead();
            return;
        }
    }
}

void SimulatedBox::hangUpOnceRead()
{
    if (!m_pty)
        return;
    if (!m_hangUpWait.isActive()) {
        m_pacer.stop();
        m_hangUpDeadline.setRemainingTime(hangUpWaitLimitMs);
        m_hangUpWait.start();
    }
    if (m_pty->unreadBytes() == 0 || m_hangUpDeadline.hasExpired())
        hangUp();
}

void SimulatedBox::write(QByteArray bytes)
{
    // Nobody may be listening; like a real line, what does not fit is lost.
    while (m_pty && !bytes.isEmpty()) {
        const ssize_t written = ::write(m_pty->master(), bytes.constData(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        bytes.remove(0, written);
    }
}

} // namespace box
