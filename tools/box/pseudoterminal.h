#pragma once

#include <QString>

namespace box {

// A pseudo-terminal pair in raw mode: the box holds the master, the program
// opens the slave like any serial device. The box keeps a slave descriptor of
// its own open, so the master neither hangs up nor spins while no program has
// the port open.
class PseudoTerminal
{
public:
    // Throws BoxError.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Non-blocking.
    int master() const { return m_master; }
    const QString &slavePath() const { return m_slavePath; }
    // Bytes written to the master that no reader of the device has taken yet.
    int unreadBytes() const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

} // namespace box
