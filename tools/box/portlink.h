#pragma once

#include <QString>

namespace box {

// Publishes a device as port N: the link "comN" in the program's port
// directory. The claim on N is an flock held on "comN.lock" beside the link
// for as long as this object lives, so it ends with the box however the box
// ends, and two boxes never claim one number. The lock file names the device
// the box linked; that is how a box's link is told from a user's own.
class PortLink
{
public:
    // port 0 takes the lowest free number from 9 up. Free is a number with no
    // link, or the link of a box that no longer runs (its lock file is there,
    // names the link's device, and nobody holds it). Any other link is its
    // user's and stays, even one whose device is gone. Throws BoxError when
    // the number is taken or the link cannot be made.
    PortLink(int port, const QString &device);
    // Removes the link (if it is still ours) and the lock file.
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    int port() const { return m_port; }

    static constexpr int firstAutomaticPort = 9;

private:
    // Empty when the number is now ours, else why it is taken.
    QString tryLink(int port);

    QString m_device;
    int m_port = 0;
    QString m_path;
    int m_lock = -1;
};

} // namespace box
