#include "ui/wholefile.h"

#include <QSaveFile>

namespace wholefile {

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, in one piece: a write that fails part-way (a full disk, a
    // file size limit) fails here. Buffered, QSaveFile would flush the rest
    // while closing and commit what it got.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace wholefile
