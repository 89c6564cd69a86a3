#include "simulatedbox.h"

#include "portlink.h"
#include "pseudoterminal.h"

#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace box {

namespace {

// A byte at 9600 baud with start and stop bit takes ten bit times.
constexpr double millisecondsPerByte = 10.0 * 1000.0 / 9600.0;
constexpr int keyDigits = 6;

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
    m_behaviour.chunk = qMax(1, m_behaviour.chunk);
    m_readable = new QSocketNotifier(m_pty->master(), QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SimulatedBox::onReadable);
    m_pacer.setTimerType(Qt::PreciseTimer);
    m_pacer.setInterval(static_cast<int>(std::ceil(m_behaviour.chunk * millisecondsPerByte)));
    connect(&m_pacer, &QTimer::timeout, this, &SimulatedBox::sendNextChunk);
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
    emit commandReceived(key);
    if (m_behaviour.fault == Fault::Silent)
        return;
    // A new start command starts the answer over, as the box would.
    m_outgoing = answer(m_behaviour, key);
    if (m_behaviour.fault == Fault::HangUp && m_answerBytesSent >= m_behaviour.hangUpAfter) {
        hangUp();
        return;
    }
    if (m_behaviour.fast && m_behaviour.fault != Fault::StreamGarbage) {
        while (!m_outgoing.isEmpty() && m_pty)
            sendNextChunk();
        return;
    }
    m_pacer.start();
}

void SimulatedBox::sendNextChunk()
{
    if (m_outgoing.isEmpty() && m_behaviour.fault == Fault::StreamGarbage)
        m_outgoing = answer(m_behaviour, QString());
    qsizetype size = m_behaviour.fast ? m_outgoing.size() : m_behaviour.chunk;
    if (m_behaviour.fault == Fault::HangUp)
        size = qMin<qsizetype>(size, m_behaviour.hangUpAfter - m_answerBytesSent);
    write(m_outgoing.left(size));
    m_answerBytesSent += qMin(size, m_outgoing.size());
    m_outgoing.remove(0, size);
    if (m_behaviour.fault == Fault::HangUp && m_answerBytesSent >= m_behaviour.hangUpAfter)
        hangUp();
    else if (m_outgoing.isEmpty() && m_behaviour.fault != Fault::StreamGarbage)
        m_pacer.stop();
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
