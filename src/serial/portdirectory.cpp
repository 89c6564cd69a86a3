#include "serial/portdirectory.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace portdirectory {

QString directory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/velumet-display/ports");
}

QString linkPath(int port)
{
    return directory() + QStringLiteral("/com") + QString::number(port);
}

QString deviceForPort(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(port);
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
    return QStringLiteral("/dev/ttyS") + QString::number(port - 1);
#endif
}

} // namespace portdirectory
