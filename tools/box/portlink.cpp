#include "portlink.h"

#include "boxerror.h"
#include "serial/portdirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace box {

PortLink::PortLink(int port, const QString &device) : m_device(device)
{
    if (!QDir().mkpath(portdirectory::directory()))
        throw BoxError(QStringLiteral("cannot create the port directory ") +
                       portdirectory::directory());
    if (port > 0) {
        if (!tryLink(port))
            throw BoxError(QStringLiteral("port ") + QString::number(port) +
                           QStringLiteral(" is taken: ") + portdirectory::linkPath(port) +
                           QStringLiteral(" already points to a device"));
        return;
    }
    for (int candidate = firstAutomaticPort; candidate <= 32767; ++candidate) {
        if (tryLink(candidate))
            return;
    }
    throw BoxError(QStringLiteral("no free port number in ") + portdirectory::directory());
}

PortLink::~PortLink()
{
    // Another box may have taken the number over after ours went stale.
    if (QFileInfo(m_path).symLinkTarget() == QFileInfo(m_device).absoluteFilePath())
        QFile::remove(m_path);
}

bool PortLink::tryLink(int port)
{
    const QString path = portdirectory::linkPath(port);
    const QFileInfo existing(path);
    if (existing.isSymLink() && !existing.exists())
        QFile::remove(path);
    // Making a link fails when the name exists, so two boxes never share one.
    if (!QFile::link(m_device, path))
        return false;
    m_port = port;
    m_path = path;
    return true;
}

} // namespace box
