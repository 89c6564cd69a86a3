#include "serial/openfailure.h"

#include <QFile>
#include <QList>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString userName(uid_t user)
{
    const passwd *entry = ::getpwuid(user);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(user);
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

bool inGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    QList<gid_t> groups(qMax(0, ::getgroups(0, nullptr)));
    groups.resize(qMax(0, ::getgroups(int(groups.size()), groups.data())));
    return groups.contains(group);
}

// "crw-rw----", as ls shows it.
QString modeText(mode_t mode)
{
    QString text = S_ISCHR(mode) ? QStringLiteral("c") : QStringLiteral("-");
    const char letters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += (mode & (1u << bit)) ? QLatin1Char(letters[(8 - bit) % 3]) : QLatin1Char('-');
    return text;
}

// Joining the device's group helps only when that group may read and write
// it, and joining root is no advice to give.
QString permissionHint(const QString &device)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(device).constData(), &status) != 0)
        return QString();
    const mode_t groupAccess = S_IRGRP | S_IWGRP;
    const QString group = groupName(status.st_gid);
    if ((status.st_mode & groupAccess) != groupAccess || status.st_gid == 0) {
        return QStringLiteral("  %1 belongs to the user '%2' and the group '%3' (%4), which gives\n"
                              "  no group of users read and write access to it: ask whoever looks\n"
                              "  after this computer to give you access.")
            .arg(device, userName(status.st_uid), group, modeText(status.st_mode));
    }
    if (inGroup(status.st_gid)) {
        return QStringLiteral("  You are in the group '%1', which may use %2, but this session\n"
                              "  started before you joined it: log out and in again.")
            .arg(group, device);
    }
    return QStringLiteral("  %1 belongs to the group '%2'. To use it, join that group:\n"
                          "    sudo usermod -aG %2 \"$USER\"\n"
                          "  then log out and in again.")
        .arg(device, group);
}

} // namespace

OpenFailure describeOpenFailure(const QString &device, QSerialPort::SerialPortError error,
                                const QString &systemText)
{
    if (error != QSerialPort::PermissionError)
        return {systemText, QString()};
    // The serial port reports a lock or an exclusive open held by another
    // program as a permission error too; with the rights to the device, it
    // can only be that.
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0)
        return {QStringLiteral("the port is in use by another program"), QString()};
    return {systemText, permissionHint(device)};
}
