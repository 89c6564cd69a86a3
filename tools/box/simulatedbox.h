#pragma once

#include "behaviour.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace box {

class PortLink;
class PseudoTerminal;

// The measuring box on a pseudo-terminal, published as a port number: it
// waits for "B" and six key digits and answers with a measurement frame
// enciphered with that key, the way its behaviour says. Event-driven on the
// thread it lives in, so tests can run it beside the program in one process.
class SimulatedBox : public QObject
{
    Q_OBJECT

public:
    // port 0: the lowest free number from 9 up. Throws BoxError.
    explicit SimulatedBox(const Behaviour &behaviour, int port = 0, QObject *parent = nullptr);
    ~SimulatedBox() override;

    int port() const { return m_port; }
    QString devicePath() const;
    // Every byte the program has sent.
    const QByteArray &received() const { return m_received; }
    bool isHungUp() const { return !m_pty; }

    // Puts bytes on the line at once, outside any answer.
    void send(const QByteArray &bytes);
    // The line goes dead: the device closes and its port link goes.
    void hangUp();

signals:
    void commandReceived(const QString &key);
    void lineHungUp();

private:
    void onReadable();
    void startAnswer(const QString &key);
    void handOverDue();
    void handOver(qint64 count);
    // The hang-up fault: the line dies once the reader has taken what was
    // sent, since the system discards what it has not read at a hang-up.
    void hangUpOnceRead();
    void write(QByteArray bytes);

    Behaviour m_behaviour;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<PortLink> m_link;
    int m_port = 0;
    QString m_devicePath;
    QPointer<QSocketNotifier> m_readable;
    QTimer m_pacer;
    QElapsedTimer m_answerClock;
    QTimer m_hangUpWait;
    QDeadlineTimer m_hangUpDeadline;
    QByteArray m_received;
    QByteArray m_unparsed;
    QByteArray m_outgoing;
    // Of the answer being sent; endless for noise that never ends.
    qint64 m_answerSize = 0;
    qint64 m_handedOver = 0;
    // Over all answers, for the hang-up fault.
    qint64 m_answerBytesSent = 0;
    qint64 m_answersGiven = 0;
};

} // namespace box
