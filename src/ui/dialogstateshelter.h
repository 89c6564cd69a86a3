#pragma once

#include <QString>
#include <QTemporaryDir>

// Qt's file dialog keeps its state (the last folder, the history) among the
// user's settings: it reads them when it opens and writes them when it
// goes, even when cancelled. The window reads and writes no settings of its
// own accord, so while a shelter lives, those settings are kept in a
// directory of its own that goes with it.
//
// On Windows Qt keeps them in the registry, which no path redirects: there
// the dialog leaves its state in the registry as it does for any Qt program.
class DialogStateShelter
{
public:
    DialogStateShelter();
    ~DialogStateShelter();
    DialogStateShelter(const DialogStateShelter &) = delete;
    DialogStateShelter &operator=(const DialogStateShelter &) = delete;

private:
    QTemporaryDir m_dir;
};
