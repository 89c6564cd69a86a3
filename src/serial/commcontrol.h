#pragma once

#include "serial/linesettings.h"
#include "serial/overruncounter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

// The serial port object a conversation with the box talks through: a port
// number, line settings, thresholds, an open state, a receive queue of its
// own and one notification signal whose cause is read from commEvent().
// Setters throw Failure, never into Qt's event loop: they are only called
// from the conversation's own routines.
//
// Notifications are delivered from the event loop, not from inside the serial
// port's own signals: a handler may open a modal box, and the serial port would
// not report new data while its readyRead is still on the stack.
class CommControl : public QObject
{
    Q_OBJECT

public:
    // Event codes.
    static constexpr qint16 comEvSend = 1;
    static constexpr qint16 comEvReceive = 2;
    static constexpr qint16 comEventOverrun = 1006;
    static constexpr qint16 comEventRxOver = 1008;

    static constexpr int defaultInBufferSize = 4096;

    explicit CommControl(QObject *parent = nullptr);
    ~CommControl() override;

    // Throws 8005 while open, 380 below 1.
    void setCommPort(qint16 port);
    qint16 commPort() const { return m_commPort; }

    // Throws 380 for a text LineSettings cannot parse; applies at once when open.
    void setSettings(const QString &settings);
    QString settings() const { return m_settingsText; }

    // Characters waiting before a receive notification; 0: none. Throws 380 below 0.
    void setRThreshold(qint16 threshold);

    // Non-zero: a send notification whenever the transmit queue has emptied.
    // Throws 380 below 0.
    void setSThreshold(qint16 threshold);

    // Size of the receive queue; characters that find it full are lost and
    // reported once (comEventRxOver) until the queue is read. Throws 380 below
    // 1, 8005 while open.
    void setInBufferSize(int size);

    // true opens the port, discarding whatever was waiting on the device:
    // throws 8005 when already open, 8002 when the device cannot be opened for
    // any reason. false closes it and drops the receive queue and any
    // notification not yet delivered.
    void setPortOpen(bool open);
    bool portOpen() const { return m_open; }

    // The device the last open tried (empty when the number led nowhere);
    // why it could not be opened, in words for a person (empty after a good
    // open); and what may help, when that can be told.
    const QString &device() const { return m_device; }
    const QString &openError() const { return m_openError; }
    const QString &openHint() const { return m_openHint; }

    // Drops every character received so far, on the device and in the
    // receive queue, and any losses among them. Characters still on their
    // way (the rest of an answer, what a USB adapter holds back) arrive
    // afterwards all the same: only a quiet line tells that an answer is over.
    void discardInput();

    // Queues the text's bytes (Latin-1) for sending, nothing appended. Throws
    // 8018 while closed.
    void setOutput(const QString &text);

    // Every waiting character (Latin-1), emptying the receive queue; empty
    // while closed.
    QString input();

    // How long the device has sent nothing: since the last character read
    // from it, handed on or not (a notification may still be on its way, or
    // the queue full), or since this object was made.
    qint64 quietMs() const { return m_lastArrival.elapsed(); }

    // Characters waiting in the receive queue.
    int inBufferCount() const { return static_cast<int>(m_queue.size()); }

    // The code of the notification being delivered.
    qint16 commEvent() const { return m_commEvent; }

    // Where lost characters are counted; the driver's counters by default.
    void setOverrunCounter(OverrunCounter counter) { m_overrunCounter = std::move(counter); }

signals:
    void OnComm();
    // The device went away, or the port failed in a way that leaves it
    // unable to receive; the port has been closed.
    void linkLost();

private:
    void onReadyRead();
    void onBytesWritten();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool overrunSinceLastLook();
    void postNotifications();
    void deliverNotifications();
    void notifyIf(bool &pending, qint16 code);
    void closePort();

    QSerialPort m_port;
    qint16 m_commPort = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_settings;
    qint16 m_rThreshold = 0;
    qint16 m_sThreshold = 0;
    int m_inBufferSize = defaultInBufferSize;
    // Our own state: the serial port's error codes say too little about it.
    bool m_open = false;
    QByteArray m_queue;
    QElapsedTimer m_lastArrival;
    // Set when characters were lost to a full queue, until it is read again.
    bool m_overflowing = false;
    OverrunCounter m_overrunCounter = driverOverrunCounter();
    bool m_countingOverruns = false;
    quint64 m_overruns = 0;
    bool m_linkLost = false;
    // Counts opens, so that work posted for one conversation never touches
    // the next.
    quint64 m_conversation = 0;
    QString m_device;
    QString m_openError;
    QString m_openHint;
    qint16 m_commEvent = 0;
    bool m_deliveryPosted = false;
    bool m_pendingOverrun = false;
    bool m_pendingRxOver = false;
    bool m_pendingReceive = false;
    bool m_pendingSend = false;
};
