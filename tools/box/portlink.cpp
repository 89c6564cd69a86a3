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
    return ::fstat(descriptor, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Why the open file cannot be a box's lock file, told after its name; empty
// when it can. Boxes make their lock files as plain files of their own user,
// and a box writes into its lock file what it linked.
QString notALockFile(int descriptor)
{
    struct stat opened
    {
    };
    if (::fstat(descriptor, &opened) != 0)
        return QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(opened.st_mode))
        return QStringLiteral(" is not a regular file, so not a lock file");
    if (opened.st_uid != ::geteuid())
        return QStringLiteral(" belongs to another user (uid ") + QString::number(opened.st_uid) +
               u')';
    return {};
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

// The lock file at name, opened and locked; -1 and why the number is not free
// when it cannot be. Throws BoxError when no lock file can be made there at all.
int lockedLockFile(const QString &name, QString &taken)
{
    const QByteArray encoded = QFile::encodeName(name);
    while (true) {
        // Never through a link, not even to create: whoever made the name a
        // link meant some file of theirs, which a box would overwrite.
        const int lock =
            ::open(encoded.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
        if (lock < 0) {
            const int error = errno;
            struct stat entry
            {
            };
            // Something of someone else's stands there: the number is not
            // free, but the next may be.
            if (error == ELOOP)
                taken = name + QStringLiteral(" is a symbolic link, not a lock file");
            else if (::lstat(encoded.constData(), &entry) == 0)
                taken = QStringLiteral("cannot open ") + name + QStringLiteral(": ") +
                        QString::fromLocal8Bit(std::strerror(error));
            else
                throw BoxError(QStringLiteral("cannot create ") + name + QStringLiteral(": ") +
                               QString::fromLocal8Bit(std::strerror(error)));
            return -1;
        }
        taken = notALockFile(lock);
        if (!taken.isEmpty()) {
            ::close(lock);
            taken.prepend(name);
            return -1;
        }
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(lock);
            taken = name + QStringLiteral(" is held by a velumet-box that is running");
            return -1;
        }
        if (stillNamed(lock, encoded))
            return lock;
        ::close(lock);
    }
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
    QString taken;
    const int lock = lockedLockFile(lockPath(path), taken);
    if (lock < 0)
        return taken;

    // With the lock held no other box looks at this number, so checking,
    // removing and linking are one step to them. A link whose device is gone
    // is no sign of a box: a user's link to an adapter dangles whenever the
    // adapter is unplugged.
    const QFileInfo existing(path);
    const bool leftByABox =
        existing.isSymLink() && QFile::encodeName(existing.symLinkTarget()) == readAll(lock);
    const bool vacant = !existing.exists() && !existing.isSymLink();
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
