#include "serial/conversation.h"

#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/evaluation.h"
#include "serial/commcontrol.h"

#include <algorithm>

Conversation::Conversation(QObject *parent) : QObject(parent), m_comm(new CommControl(this))
{
    connect(m_comm, &CommControl::OnComm, this, &Conversation::onComm);
    connect(m_comm, &CommControl::linkLost, this, [this] {
        stopHolding();
        m_owedToLostLine = !m_owedDevice.isEmpty();
        emit lineLost();
    });
    m_quiet.start();
    m_holdCheck.setSingleShot(true);
    m_holdCheck.setTimerType(Qt::PreciseTimer);
    connect(&m_holdCheck, &QTimer::timeout, this, &Conversation::sendWhenQuiet);
}

void Conversation::start(const QString &portText)
{
    open(portText);
    // A device that went away took with it what an adapter held, and by the
    // time it is back and Start is pressed, a box's answer (70 ms on the
    // line) is long over. Only a conversation the window ended itself may
    // leave an answer on its way to the next Start.
    if (!m_earlierAnswerMayCome || m_owedToLostLine) {
        sendStartCommand();
        return;
    }
    m_holding = true;
    sendWhenQuiet();
}

void Conversation::open(const QString &portText)
{
    emptyBuffer();
    m_comm->setSThreshold(1);
    m_comm->setRThreshold(1);
    m_comm->setCommPort(numbertext::toInt16(portText));
    m_comm->setSettings(QStringLiteral("9600,N,8,1"));
    m_comm->setPortOpen(true);
    // Nothing was heard while the port was closed: the quiet counts from now.
    m_quiet.restart();
    m_earlierAnswerMayCome = !m_owedDevice.isEmpty() && m_owedDevice == m_comm->device();
}

void Conversation::startAgain()
{
    stopHolding();
    emptyBuffer();
    m_comm->discardInput();
    sendStartCommand();
}

void Conversation::close()
{
    stopHolding();
    if (m_comm->portOpen())
        m_comm->setPortOpen(false);
}

bool Conversation::isOpen() const
{
    return m_comm->portOpen();
}

void Conversation::emptyBuffer()
{
    m_buffer.clear();
    m_measurement.reset();
    emit bufferChanged();
}

void Conversation::receive(QStringView chunk)
{
    // Once a frame is complete, later characters change nothing the
    // evaluation reads (it deciphers the first 62 only): what it gave then
    // stands, and a device that streams on costs no deciphering per chunk.
    if (!chunk.isEmpty())
        m_quiet.restart();
    const bool settled = m_buffer.holdsFrame();
    const qint64 before = m_buffer.length();
    m_buffer.append(chunk);
    if (!settled)
        m_measurement = evaluation::evaluate(m_buffer);
    // The frame is read at its 68th character; the line end after it is the
    // last of the answer, and may come a latency timer later. Found by its
    // place, not by where a chunk ends: what a device sends after it may
    // come in the same chunk.
    const qint64 lineEnd = ReceiveBuffer::triggerLength - before;
    if (m_buffer.holdsFrame() && lineEnd < chunk.size() &&
        chunk.indexOf(u'\n', std::max<qint64>(0, lineEnd)) >= 0)
        m_owedDevice.clear();
    emit bufferChanged();
}

qint64 Conversation::quietMs() const
{
    return std::min(m_quiet.elapsed(), m_comm->quietMs());
}

void Conversation::onComm()
{
    const qint16 event = m_comm->commEvent();
    if (m_holding) {
        // An earlier command's answer, or part of it: dropped, and the
        // arrival restarts the quiet the held command waits for. Losses
        // among it are no loss to the answer to come.
        if (event == CommControl::comEvReceive)
            m_comm->input();
        sendWhenQuiet();
        return;
    }
    if (event == CommControl::comEventOverrun || event == CommControl::comEventRxOver)
        emit dataLost();
    else if (event == CommControl::comEvReceive)
        receive(m_comm->input());
}

void Conversation::sendStartCommand()
{
    // "B" and the key the answer will be enciphered with; nothing after it.
    m_comm->setOutput(u'B' + mdlDecodeEncode::decodingKey());
    m_owedDevice = m_comm->device();
    m_earlierAnswerMayCome = false;
    m_owedToLostLine = false;
}

void Conversation::sendWhenQuiet()
{
    if (!m_holding)
        return;
    const qint64 quiet = quietMs();
    if (quiet < lateAnswerQuietMs) {
        m_holdCheck.start(int(lateAnswerQuietMs - quiet));
        return;
    }
    stopHolding();
    m_comm->discardInput();
    sendStartCommand();
}

void Conversation::stopHolding()
{
    m_holding = false;
    m_holdCheck.stop();
}
