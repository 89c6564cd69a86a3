#include "portlink.h"

#include "boxerror.h"
#include "serial/portdirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace box {

namespace {

QString lockPath(const QString &linkPath)
{
    return linkPath + QStringLiteral(".lock");
}

// The locked file is still the one under its name: a box that was ending may
// have removed it between our open and our lock.
bool stillNamed(int descriptor, const QByteArray &name)
{
    struct stat held
    {
    };
    struct stat named
    {
    };
    return ::fstat(descriptor, &held) == 0 && ::stat(name.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

QByteArray readAll(int descriptor)
{
    QByteArray text;
    char bytes[256];
    ssize_t count = 0;
    while ((count = ::pread(descriptor, bytes, sizeof bytes, text.size())) > 0)
        text.append(bytes, count);
    return text;
}

bool replaceContent(int descriptor, const QByteArray &text)
{
    return ::ftruncate(descriptor, 0) == 0 &&
           ::pwrite(descriptor, text.constData(), text.size(), 0) == text.size();
}

} // namespace

PortLink::PortLink(int port, const QString &device) : m_device(QFileInfo(device).absoluteFilePath())
{
    if (!QDir().mkpath(portdirectory::directory()))
        throw BoxError(QStringLiteral("cannot create the port directory ") +
                       portdirectory::directory());
    if (port > 0) {
        const QString taken = tryLink(port);
        if (!taken.isEmpty())
            throw BoxError(QStringLiteral("port ") + QString::number(port) +
                           QStringLiteral(" is taken: ") + taken);
        return;
    }
    for (int candidate = firstAutomaticPort; candidate <= 32767; ++candidate) {
        if (tryLink(candidate).isEmpty())
            return;
    }
    throw BoxError(QStringLiteral("no free port number in ") + portdirectory::directory());
}

PortLink::~PortLink()
{
    // A user may have pointed the number elsewhere meanwhile; that link stays.
    if (QFileInfo(m_path).symLinkTarget() == m_device)
        QFile::remove(m_path);
    // Removed while still locked, so that no other box locks a file that is
    // about to go.
    ::unlink(QFile::encodeName(lockPath(m_path)).constData());
    ::close(m_lock);
}

QString PortLink::tryLink(int port)
{
    const QString path = portdirectory::linkPath(port);
    const QByteArray lockName = QFile::encodeName(lockPath(path));
    int lock = -1;
    while (true) {
        lock = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock < 0)
            throw BoxError(QStringLiteral("cannot create ") + lockPath(path) +
                           QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(lock);
            return path + QStringLiteral(" belongs to a velumet-box that is running");
        }
        if (stillNamed(lock, lockName))
            break;
        ::close(lock);
    }

    // With the lock held no other box looks at this number, so checking,
    // removing and linking are one step to them. A link whose device is gone
    // is no sign of a box: a user's link to an adapter dangles whenever the
    // adapter is unplugged.
    const QFileInfo existing(path);
    const bool leftByABox =
        existing.isSymLink() && QFile::encodeName(existing.symLinkTarget()) == readAll(lock);
    const bool vacant = !existing.exists() && !existing.isSymLink();
    QString taken;
    if (existing.isSymLink() && !leftByABox) {
        taken = path + QStringLiteral(" is a link to ") + existing.symLinkTarget() +
                (existing.exists() ? QString() : QStringLiteral(" (not there now)")) +
                QStringLiteral(" that no velumet-box made");
    } else if (!vacant && !existing.isSymLink()) {
        taken = path + QStringLiteral(" already exists and is not a link");
    } else if (!vacant && !QFile::remove(path)) {
        taken = QStringLiteral("cannot remove the stale link ") + path;
    } else if (!replaceContent(lock, QFile::encodeName(m_device))) {
        taken = QStringLiteral("cannot write ") + lockPath(path);
    } else if (!QFile::link(m_device, path)) {
        taken = QStringLiteral("cannot make the link ") + path;
    }
    if (!taken.isEmpty()) {
        // Nobody else holds it, so it belongs to no live box.
        ::unlink(lockName.constData());
        ::close(lock);
        return taken;
    }
    m_lock = lock;
    m_port = port;
    m_path = path;
    return {};
}

} // namespace box
