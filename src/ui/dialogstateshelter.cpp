#include "ui/dialogstateshelter.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

DialogStateShelter::DialogStateShelter()
{
    // Without temporary space, nowhere at all: a directory below the
    // program's own file cannot be made, not even by root.
    const QString path =
        m_dir.isValid() ? m_dir.path()
                        : QCoreApplication::applicationFilePath() + QStringLiteral("/settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
}

DialogStateShelter::~DialogStateShelter()
{
    // Where Qt looks by default; nothing else in this program keeps settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}
