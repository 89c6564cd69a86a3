#pragma once

#include <memory>

// Qt's file dialog keeps its state (the last folder, the history) among the
// user's settings: it reads them when it opens and writes them when it
// goes, even when cancelled. The window reads and writes no settings of its
// own accord, so while a shelter lives, those settings are kept apart and
// go with it.
//
// On Linux they are kept in a directory of the shelter's own. On Windows Qt
// keeps them in the registry, under HKEY_CURRENT_USER\Software\QtProject,
// which no path redirects and which every Qt program of the user shares:
// there the shelter puts that key back as it found it.
class DialogStateShelter
{
public:
    DialogStateShelter();
    ~DialogStateShelter();
    DialogStateShelter(const DialogStateShelter &) = delete;
    DialogStateShelter &operator=(const DialogStateShelter &) = delete;

private:
    struct Kept;
    std::unique_ptr<Kept> m_kept;
};
