#pragma once

#include <QString>

#include <optional>
#include <vector>

// Which port numbers lead to which serial devices right now, for a person
// choosing a number.
namespace portlisting {

struct Entry
{
    // Nothing when no number leads to the device.
    std::optional<int> port;
    QString device;
    // False for a link whose device is gone, and for a number that leads
    // nowhere.
    bool present = false;
    // Why the number leads nowhere (an entry that is no link, a port
    // directory that cannot be read); empty when it leads to device.
    QString problem;
    // What the system knows of the device; empty where it knows nothing.
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// Every number that leads somewhere (each link in the port directory, each
// built-in port without one) and every serial device no number leads to,
// sorted by number, those without one last.
std::vector<Entry> listPorts();

// The lowest number no entry has: one a new link can take without replacing
// a link or hiding a built-in port.
int freePort(const std::vector<Entry> &entries);

} // namespace portlisting
