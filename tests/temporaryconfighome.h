#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

// Points the user's config location (where port links live) at a fresh
// directory while it exists, so tests never touch the real user's links.
// Child processes inherit it.
class TemporaryConfigHome
{
public:
    TemporaryConfigHome() : m_previous(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    }
    ~TemporaryConfigHome()
    {
        if (m_previous.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_previous);
    }
    TemporaryConfigHome(const TemporaryConfigHome &) = delete;
    TemporaryConfigHome &operator=(const TemporaryConfigHome &) = delete;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
