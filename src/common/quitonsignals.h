#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Ends the program in order when it is asked to stop (Ctrl-C, kill, a hang-up
// of its terminal): the event loop quits, so everything is torn down as on
// any other exit: ports closed, records complete, links removed. A signal
// that was ignored when the program started (nohup, a shell's background job)
// stays ignored, as in every other tool.
//
// A program that does not get back to its event loop within a second, for
// it hangs in a write that a stalled disk or a reader that never reads holds
// up, ends at once with statusIfStuck(signal) instead: a stop request is
// never left waiting. Nothing of a record is written after that: the write
// in progress either finishes or never starts.
//
// Construct it before any thread is started and before the event loop runs;
// once the event loop has returned and everything is torn down, hand it the
// status the program ends with (finish), then destroy it. Throws
// std::system_error when the signals cannot be taken over.
class QuitOnSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignals(std::function<int(int signal)> statusIfStuck, QObject *parent = nullptr);
    ~QuitOnSignals() override;

    // The signal that asked the program to stop; 0 while none has.
    int received() const;

    // Returns status, for main to return. Where the system would end the
    // program with a status of its own once told of a stop request (Windows,
    // whose console is closing), a program that was asked to stop ends here
    // instead, with status.
    int finish(int status);

private:
    struct Watch;
    std::unique_ptr<Watch> m_watch;
};
