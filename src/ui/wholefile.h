#pragma once

#include <QByteArray>
#include <QString>

// Files the window writes for the user to keep (the report, the graph): a
// file appears whole or not at all.
namespace wholefile {

// Writes bytes beside path and renames them over it once they are all on
// the disk. False, with the system's reason in error, leaves path as it was
// and nothing beside it.
bool write(const QString &path, const QByteArray &bytes, QString *error);

} // namespace wholefile
