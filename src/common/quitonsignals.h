#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <initializer_list>

// Turns the given signals (Ctrl-C, kill) into a normal quit of the event loop,
// so that everything is torn down as on any other exit: ports closed, output
// complete, links removed. The signals are blocked and read from a descriptor instead of
// interrupting the program. Construct it before any thread is started.
// Throws std::system_error when the signals cannot be taken over.
class QuitOnSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignals(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~QuitOnSignals() override;

private:
    void onSignal();

    int m_descriptor = -1;
    QSocketNotifier *m_notifier = nullptr;
};
