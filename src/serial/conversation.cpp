#include "serial/conversation.h"

#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/evaluation.h"
#include "serial/commcontrol.h"

#include <algorithm>

Conversation::Conversation(QObject *parent) : QObject(parent), m_comm(new CommControl(this))
{
    connect(m_comm, &CommControl::OnComm, this, &Conversation::onComm);
    connect(m_comm, &CommControl::linkLost, this, &Conversation::lineLost);
    m_quiet.start();
}

void Conversation::start(const QString &portText)
{
    emptyBuffer();
    m_comm->setSThreshold(1);
    m_comm->setRThreshold(1);
    m_comm->setCommPort(numbertext::toInt16(portText));
    m_comm->setSettings(QStringLiteral("9600,N,8,1"));
    m_comm->setPortOpen(true);
    sendStartCommand();
}

void Conversation::startAgain()
{
    emptyBuffer();
    m_comm->discardInput();
    sendStartCommand();
}

void Conversation::close()
{
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
    m_buffer.append(chunk);
    if (!settled)
        m_measurement = evaluation::evaluate(m_buffer);
    emit bufferChanged();
}

qint64 Conversation::quietMs() const
{
    return std::min(m_quiet.elapsed(), m_comm->quietMs());
}

void Conversation::onComm()
{
    const qint16 event = m_comm->commEvent();
    if (event == CommControl::comEventOverrun || event == CommControl::comEventRxOver)
        emit dataLost();
    else if (event == CommControl::comEvReceive)
        receive(m_comm->input());
}

void Conversation::sendStartCommand()
{
    // "B" and the key the answer will be enciphered with; nothing after it.
    m_comm->setOutput(u'B' + mdlDecodeEncode::decodingKey());
}
