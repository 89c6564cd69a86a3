#pragma once

#include "behaviour.h"
#include "stretch.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

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
    // Every start command, and whether the box answers it.
    void commandReceived(const QString &key, bool answered);
    void lineHungUp();

private:
    void onReadable();
    void startAnswer(const QString &key);
    // Whether a start command that comes now gets an answer; the first one the
    // pause fault ignores starts the pause.
    bool answers();
    void handOverDue();
    // Of the stretch in front.
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
    QTimer m_hangUpWait;
    QDeadlineTimer m_hangUpDeadline;
    QByteArray m_received;
    QByteArray m_unparsed;
    // What is still to go, in order; the front one is going.
    std::deque<Stretch> m_outgoing;
    // Since the front stretch came to the front.
    QElapsedTimer m_stretchClock;
    qint64 m_handedOver = 0;
    // Over all answers, for the hang-up fault.
    qint64 m_answerBytesSent = 0;
    qint64 m_answersGiven = 0;
    // Set by the first start command the pause fault ignores.
    std::optional<QDeadlineTimer> m_pauseEnd;
};

} // namespace box
