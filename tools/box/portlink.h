#pragma once

#include <QString>

namespace box {

// Publishes a device as port N: the link "comN" in the program's port
// directory, removed again when this object goes (if it is still ours).
class PortLink
{
public:
    // port 0 takes the lowest free number from 9 up. A link whose device is gone
    // (left by a box that was killed) counts as free. Throws BoxError when the
    // number is taken or the link cannot be made.
    PortLink(int port, const QString &device);
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    int port() const { return m_port; }

    static constexpr int firstAutomaticPort = 9;

private:
    bool tryLink(int port);

    QString m_device;
    int m_port = 0;
    QString m_path;
};

} // namespace box
