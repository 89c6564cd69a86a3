#include "serial/portlisting.h"

#include "serial/portdirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace portlisting {

namespace {

Entry describe(std::optional<int> port, const QString &device, const QSerialPortInfo &info)
{
    return {port,
            device,
            QFileInfo::exists(device),
            info.description(),
            info.manufacturer(),
            info.serialNumber()};
}

} // namespace

std::vector<Entry> listPorts()
{
    // Devices by the path a link resolves to, so that a link and the system's
    // list meet on the same name.
    QHash<QString, QSerialPortInfo> system;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString canonical = QFileInfo(info.systemLocation()).canonicalFilePath();
        system.insert(canonical.isEmpty() ? info.systemLocation() : canonical, info);
    }

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
        const QString device = portdirectory::deviceForPort(*port);
        if (device.isEmpty()) {
            // Not a link: it blocks the number and leads nowhere.
            entries.push_back({port, link.filePath(), false, {}, {}, {}});
            continue;
        }
        reached.insert(device);
        entries.push_back(describe(port, device, system.value(device)));
    }

    for (auto it = system.cbegin(); it != system.cend(); ++it) {
        const std::optional<int> port = portdirectory::builtInPort(it.key());
        if (!port)
            continue;
        if (numbered.contains(*port))
            continue;
        reached.insert(it.key());
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

} // namespace portlisting
