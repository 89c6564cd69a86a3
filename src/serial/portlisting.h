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
    // False for a link whose device is gone, or an entry in the port
    // directory that is no link at all.
    bool present = false;
    // What the system knows of the device; empty where it knows nothing.
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// Every number that leads somewhere (each link in the port directory, each
// built-in port without one) and every serial device no number leads to,
// sorted by number, those without one last.
std::vector<Entry> listPorts();

} // namespace portlisting
