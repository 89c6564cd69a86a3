#include "serial/commcontrol.h"

#include "common/failure.h"
#include "serial/openfailure.h"
#include "serial/portdirectory.h"

CommControl::CommControl(QObject *parent) : QObject(parent)
{
    // A child, so that tests can reach the device's own signals.
    m_port.setParent(this);
    m_lastArrival.start();
    connect(&m_port, &QSerialPort::readyRead, this, &CommControl::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &CommControl::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommControl::onErrorOccurred);
}

CommControl::~CommControl()
{
    closePort();
}

void CommControl::setCommPort(qint16 port)
{
    // An open port refuses any number, so that Start on an open port always
    // ends the conversation, whatever the port field holds.
    if (m_open)
        throw Failure::portAlreadyOpen();
    if (port < 1)
        throw Failure::invalidPropertyValue();
    m_commPort = port;
}

void CommControl::setSettings(const QString &settings)
{
    m_settings = LineSettings::parse(settings);
    m_settingsText = settings;
    if (m_open)
        m_settings.applyTo(m_port);
}

void CommControl::setRThreshold(qint16 threshold)
{
    if (threshold < 0)
        throw Failure::invalidPropertyValue();
    m_rThreshold = threshold;
}

void CommControl::setSThreshold(qint16 threshold)
{
    if (threshold < 0)
        throw Failure::invalidPropertyValue();
    m_sThreshold = threshold;
}

void CommControl::setInBufferSize(int size)
{
    if (size < 1)
        throw Failure::invalidPropertyValue();
    if (m_open)
        throw Failure::portAlreadyOpen();
    m_inBufferSize = size;
}

void CommControl::setPortOpen(bool open)
{
    if (!open) {
        closePort();
        return;
    }
    if (m_open)
        throw Failure::portAlreadyOpen();
    // What is said about a failed open concerns this attempt alone.
    m_openHint.clear();
    const portdirectory::Destination destination = portdirectory::deviceForPort(m_commPort);
    m_device = destination.device;
    m_openError = destination.problem;
    if (!m_openError.isEmpty())
        throw Failure::invalidPortNumber();
    m_port.setPortName(m_device);
    m_settings.applyTo(m_port);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const OpenFailure failure =
            describeOpenFailure(m_device, m_port.error(), m_port.errorString());
        m_openError = failure.reason;
        m_openHint = failure.hint;
        throw Failure::invalidPortNumber();
    }
    // The device may hold characters from before this conversation; the
    // receive buffer must only ever see the answer to our own start command.
    m_port.clear(QSerialPort::Input);
    m_open = true;
    ++m_conversation;
    m_countingOverruns = true;
    m_overruns = 0;
    overrunSinceLastLook();
}

void CommControl::setOutput(const QString &text)
{
    if (!m_open)
        throw Failure::portNotOpen();
    m_port.write(text.toLatin1());
}

void CommControl::discardInput()
{
    if (!m_open)
        return;
    m_port.clear(QSerialPort::Input);
    m_queue.clear();
    m_overflowing = false;
    // Losses among the discarded characters are no loss to what follows.
    overrunSinceLastLook();
    m_pendingOverrun = m_pendingRxOver = m_pendingReceive = false;
}

QString CommControl::input()
{
    const QString text = QString::fromLatin1(m_queue);
    m_queue.clear();
    m_overflowing = false;
    return text;
}

void CommControl::onReadyRead()
{
    if (!m_open)
        return;
    // Everything leaves the serial port's buffer at once, so that the only
    // limit on what is kept is the queue's own.
    const QByteArray data = m_port.readAll();
    if (!data.isEmpty())
        m_lastArrival.restart();
    const qsizetype room = qMax<qsizetype>(0, m_inBufferSize - m_queue.size());
    m_queue.append(data.left(room));
    if (data.size() > room && !m_overflowing) {
        m_overflowing = true;
        m_pendingRxOver = true;
    }
    if (overrunSinceLastLook())
        m_pendingOverrun = true;
    if (m_rThreshold > 0 && m_queue.size() >= m_rThreshold)
        m_pendingReceive = true;
    postNotifications();
}

void CommControl::onBytesWritten()
{
    if (m_open && m_sThreshold > 0 && m_port.bytesToWrite() == 0) {
        m_pendingSend = true;
        postNotifications();
    }
}

void CommControl::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // NoError follows every good open, modem-line calls on a device without
    // modem lines report UnsupportedOperationError, and TimeoutError comes
    // only from the blocking waits we never use: none of them says anything
    // about the line. Every other error on an open port does, on every
    // platform: after a failed read or wait notification (the system's
    // "access denied", "file not found", "device not connected" or "general
    // failure", as Windows' serial drivers give them when an adapter goes)
    // the serial port starts no new read, and an open port that never
    // receives again would answer every later measurement with silence.
    // Closing it lets the next measurement open the device afresh.
    if (!m_open || m_linkLost || error == QSerialPort::NoError ||
        error == QSerialPort::TimeoutError || error == QSerialPort::UnsupportedOperationError)
        return;
    // The device is gone: its descriptor stays readable forever, so the port
    // must close or the event loop would spin. Closing waits for the loop,
    // after any notification already posted, and outside the serial port's
    // own call. By then the user may have closed this port and opened another
    // one: the closure belongs to the conversation it was posted for.
    m_linkLost = true;
    const quint64 conversation = m_conversation;
    QMetaObject::invokeMethod(
        this,
        [this, conversation] {
            if (conversation != m_conversation)
                return;
            // The dead device goes first, so that a handler running a nested
            // event loop (a message box) does not spin on it; what arrived
            // before the link went is still handed over.
            m_port.close();
            deliverNotifications();
            // A handler may have ended the conversation meanwhile (Clear in a
            // message box); then there is nothing left to close.
            if (m_linkLost) {
                closePort();
                emit linkLost();
            }
        },
        Qt::QueuedConnection);
}

bool CommControl::overrunSinceLastLook()
{
    if (!m_countingOverruns || !m_overrunCounter)
        return false;
    const std::optional<quint64> overruns = m_overrunCounter(m_port.handle());
    if (!overruns) {
        // The driver keeps no count; it will not start to.
        m_countingOverruns = false;
        return false;
    }
    const bool lost = *overruns != m_overruns;
    m_overruns = *overruns;
    return lost;
}

void CommControl::postNotifications()
{
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &CommControl::deliverNotifications, Qt::QueuedConnection);
}

void CommControl::deliverNotifications()
{
    m_deliveryPosted = false;
    // Losses first: they happened before the characters now waiting were read.
    notifyIf(m_pendingOverrun, comEventOverrun);
    notifyIf(m_pendingRxOver, comEventRxOver);
    // A handler running a nested event loop may have read the queue meanwhile.
    m_pendingReceive = m_pendingReceive && m_rThreshold > 0 && m_queue.size() >= m_rThreshold;
    notifyIf(m_pendingReceive, comEvReceive);
    notifyIf(m_pendingSend, comEvSend);
}

void CommControl::notifyIf(bool &pending, qint16 code)
{
    if (!pending || !m_open)
        return;
    pending = false;
    m_commEvent = code;
    emit OnComm();
}

void CommControl::closePort()
{
    if (m_port.isOpen())
        m_port.close();
    m_open = false;
    m_linkLost = false;
    m_countingOverruns = false;
    m_queue.clear();
    m_overflowing = false;
    m_pendingOverrun = m_pendingRxOver = m_pendingReceive = m_pendingSend = false;
}
