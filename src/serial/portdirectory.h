#pragma once

#include <QString>

#include <optional>

// Port numbers the way users of COM-port programs know them. On Linux, port N
// is the device a link named "comN" in the port directory points to (so a USB
// adapter can be given any number), else /dev/ttyS<N-1>; on Windows it is COMN.
namespace portdirectory {

// "velumet-display/ports" under the user's config location.
QString directory();

// Where the link for port N lives, whether or not it exists.
QString linkPath(int port);

// Where port N leads: a device, or nowhere and why.
struct Destination
{
    QString device;
    // Empty when the port leads to device.
    QString problem;
};

// The device to open for port N. A link is resolved to the real device path,
// because the serial port names its lock file after the path it is given and a
// link path would slip past another program's lock on the same device. A link
// whose device is gone resolves to its missing target, so opening fails.
// Only when there is no "comN" at all does port N mean the built-in port; an
// entry that is no link, or a port directory that cannot be read, leads
// nowhere, since whoever set it up meant some device, and not that one.
Destination deviceForPort(int port);

// The port number a file name in the port directory stands for ("com3": 3).
std::optional<int> portOfLink(const QString &fileName);

// The number a built-in port has without a link (/dev/ttyS0: 1); nothing for
// any other device.
std::optional<int> builtInPort(const QString &device);

} // namespace portdirectory
