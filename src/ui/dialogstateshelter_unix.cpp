#include "ui/dialogstateshelter.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

struct DialogStateShelter::Kept
{
    QTemporaryDir dir;
};

DialogStateShelter::DialogStateShelter() : m_kept(std::make_unique<Kept>())
{
    // Without temporary space, nowhere at all: a directory below the
    // program's own file cannot be made, not even by root.
    const QString path = m_kept->dir.isValid() ? m_kept->dir.path()
                                               : QCoreApplication::applicationFilePath() +
                                                     QStringLiteral("/settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
}

DialogStateShelter::~DialogStateShelter()
{
    // Where Qt looks by default; nothing else in this program keeps settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}
