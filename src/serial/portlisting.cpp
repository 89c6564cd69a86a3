#include "serial/portlisting.h"

#include "serial/portdirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace portlisting {

namespace {

// present: whether the device is there now; a port the system lists is.
Entry describe(std::optional<int> port, const QString &device, const QSerialPortInfo &info,
               bool present = true)
{
    return {port,
            device,
            present,
            QString(),
            info.description(),
            info.manufacturer(),
            info.serialNumber()};
}

// The name a device goes by beside port numbers: on POSIX the path a link
// resolves to, so that a link and the system's list meet on one name; on
// Windows the port's own name (COM3), which is its number.
QString systemName(const QSerialPortInfo &info)
{
#ifdef Q_OS_WIN
    return info.portName();
#else
    const QString canonical = QFileInfo(info.systemLocation()).canonicalFilePath();
    return canonical.isEmpty() ? info.systemLocation() : canonical;
#endif
}

} // namespace

std::vector<Entry> listPorts()
{
    QHash<QString, QSerialPortInfo> system;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        system.insert(systemName(info), info);

    std::vector<Entry> entries;
    QSet<int> numbered;
    QSet<QString> reached;
    const QDir directory(portdirectory::directory());
    for (const QFileInfo &link :
         directory.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const std::optional<int> port = portdirectory::portOfLink(link.fileName());
        if (!port)
            continue;
        numbered.insert(*port);
        const portdirectory::Destination destination = portdirectory::deviceForPort(*port);
        if (!destination.problem.isEmpty()) {
            // Not a link: it blocks the number and leads nowhere.
            entries.push_back({port, link.filePath(), false, destination.problem, {}, {}, {}});
            continue;
        }
        reached.insert(destination.device);
        entries.push_back(describe(port, destination.device, system.value(destination.device),
                                   QFileInfo::exists(destination.device)));
    }

    for (auto it = system.cbegin(); it != system.cend(); ++it) {
        const std::optional<int> port = portdirectory::builtInPort(it.key());
        if (!port)
            continue;
        if (numbered.contains(*port))
            continue;
        reached.insert(it.key());
        // With the port directory unreadable, no number is known to lead
        // to its built-in port: a link may be hiding there.
        const portdirectory::Destination destination = portdirectory::deviceForPort(*port);
        if (!destination.problem.isEmpty()) {
            entries.push_back({port, it.key(), false, destination.problem, {}, {}, {}});
            continue;
        }
        entries.push_back(describe(port, it.key(), it.value()));
    }

    for (auto it = system.cbegin(); it != system.cend(); ++it) {
        if (!reached.contains(it.key()))
            entries.push_back(describe(std::nullopt, it.key(), it.value()));
    }

    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.port.has_value() != b.port.has_value())
            return a.port.has_value();
        if (a.port != b.port)
            return a.port < b.port;
        return a.device < b.device;
    });
    return entries;
}

int freePort(const std::vector<Entry> &entries)
{
    QSet<int> taken;
    for (const Entry &entry : entries) {
        if (entry.port)
            taken.insert(*entry.port);
    }
    int port = 1;
    while (taken.contains(port))
        ++port;
    return port;
}

} // namespace portlisting
