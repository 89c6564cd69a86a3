#pragma once

#include "evaluation/measurement.h"
#include "evaluation/receivebuffer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringView>

#include <optional>

class CommControl;

// One conversation with the measuring box: Start opens the numbered port and
// sends the start command, everything the box sends goes into the receive
// buffer, and every change of the buffer is evaluated. Widget-free, so that
// the window and velumet-measure take their measurements the same way; each
// face decides what a failure means to its user.
class Conversation : public QObject
{
    Q_OBJECT

public:
    explicit Conversation(QObject *parent = nullptr);

    // Empties the receive buffer, then opens the port the text names at
    // 9600,N,8,1 and sends the start command. Throws Failure: 13 or 6 for a
    // text that is no 16-bit number, 380 for a number below 1, 8005 while a
    // port is open, 8002 when the device cannot be opened. A failure leaves
    // the steps after it undone.
    void start(const QString &portText);

    // The next measurement on the open port: empties the receive buffer,
    // drops what the device has sent so far, and sends the start command
    // again. What is still on its way is received after it, so the caller
    // waits for a quiet line first (quietMs()). Throws 8018 while the port
    // is closed.
    void startAgain();

    // Closes the port if it is open; the buffer keeps what it holds.
    void close();
    bool isOpen() const;

    // The two ways the receive buffer changes; each change is evaluated
    // once and announced with bufferChanged().
    void emptyBuffer();
    void receive(QStringView chunk);

    const ReceiveBuffer &buffer() const { return m_buffer; }
    // What the buffer gives now: nothing until it holds a complete frame.
    const std::optional<Measurement> &measurement() const { return m_measurement; }

    CommControl &comm() { return *m_comm; }

    // How long nothing has arrived: since the last character (read from the
    // port, even if not yet received here), or since restartQuiet(),
    // whichever came later. A line that is quiet now may still carry the rest
    // of an answer, so whoever sends the next command waits for quiet first.
    qint64 quietMs() const;
    // Counts the quiet from now: the answer to a command given up on may
    // still be on its way.
    void restartQuiet() { m_quiet.restart(); }

signals:
    void bufferChanged();
    // Characters were lost before they could be read; the buffer is as it was.
    void dataLost();
    // The device went away; the port is closed and the buffer as it was.
    void lineLost();

private:
    void onComm();
    void sendStartCommand();

    CommControl *m_comm;
    ReceiveBuffer m_buffer;
    std::optional<Measurement> m_measurement;
    QElapsedTimer m_quiet;
};
