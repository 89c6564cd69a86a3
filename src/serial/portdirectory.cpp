#include "serial/portdirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#endif

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
    // Bounded before the offset is added, which would overflow at the top
    // of the range a name can hold.
    const qint64 number = QStringView(name).mid(prefix.size()).toLongLong(&ok);
    if (!ok || number < 1 - offset || number > 32767 - offset)
        return std::nullopt;
    const int port = int(number + offset);
    if (nameFor(port) != name)
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

Destination deviceForPort(int port)
{
#ifdef Q_OS_WIN
    return {builtInDevice(port), QString()};
#else
    const QString path = linkPath(port);
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT)
            return {builtInDevice(port), QString()};
        return {QString(), QStringLiteral("cannot look up %1: %2")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    }
    if (!S_ISLNK(status.st_mode))
        return {QString(), QStringLiteral("not a link to a device: ") + path};
    const QFileInfo link(path);
    const QString device = link.canonicalFilePath();
    return {device.isEmpty() ? link.symLinkTarget() : device, QString()};
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
