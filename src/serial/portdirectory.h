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

// The device to open for port N. A link is resolved to the real device path,
// because the serial port names its lock file after the path it is given and a
// link path would slip past another program's lock on the same device. A link
// whose device is gone resolves to its missing target, so opening fails.
// Empty when "comN" exists but is no link: such a port leads nowhere.
QString deviceForPort(int port);

// The port number a file name in the port directory stands for ("com3": 3).
std::optional<int> portOfLink(const QString &fileName);

// The number a built-in port has without a link (/dev/ttyS0: 1); nothing for
// any other device.
std::optional<int> builtInPort(const QString &device);

} // namespace portdirectory
