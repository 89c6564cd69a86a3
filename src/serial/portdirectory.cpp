#include "serial/portdirectory.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace portdirectory {

namespace {

// The system's own ports: /dev/ttyS0 is port 1 on Linux, COM1 port 1 on Windows.
#ifdef Q_OS_WIN
constexpr QLatin1String builtInPrefix("COM");
constexpr int indexOfPortOne = 1;
#else
constexpr QLatin1String builtInPrefix("/dev/ttyS");
constexpr int indexOfPortOne = 0;
#endif

constexpr QLatin1String linkPrefix("com");

QString linkName(int port)
{
    return linkPrefix + QString::number(port);
}

// The number at the end of name after prefix, if name is exactly what
// nameFor gives for it: "com3" and "/dev/ttyS2", not "com03".
template <typename NameFor>
std::optional<int> numberIn(const QString &name, QLatin1String prefix, int offset, NameFor nameFor)
{
    if (!name.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const int port = QStringView(name).mid(prefix.size()).toInt(&ok) + offset;
    if (!ok || port < 1 || port > 32767 || nameFor(port) != name)
        return std::nullopt;
    return port;
}

QString builtInDevice(int port)
{
    return builtInPrefix + QString::number(port - 1 + indexOfPortOne);
}

} // namespace

QString directory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/velumet-display/ports");
}

QString linkPath(int port)
{
    return directory() + u'/' + linkName(port);
}

QString deviceForPort(int port)
{
#ifdef Q_OS_WIN
    return builtInDevice(port);
#else
    const QFileInfo link(linkPath(port));
    if (link.isSymLink()) {
        const QString device = link.canonicalFilePath();
        return device.isEmpty() ? link.symLinkTarget() : device;
    }
    // Whoever put something else there (a copied ports folder, say) meant a
    // device, not the built-in port.
    if (link.exists())
        return QString();
    return builtInDevice(port);
#endif
}

std::optional<int> portOfLink(const QString &fileName)
{
    return numberIn(fileName, linkPrefix, 0, linkName);
}

std::optional<int> builtInPort(const QString &device)
{
    return numberIn(device, builtInPrefix, 1 - indexOfPortOne, builtInDevice);
}

} // namespace portdirectory
