#pragma once

#include <QByteArray>

// A 69-byte answer enciphered by an encoder written independently of this
// program, with key "593817" (shifts 73, 49, 25). It holds resistance 523,
// reactance 60, R-Hand 4321 and R-Foot -12 tenths.
inline QByteArray crossCheckFrame()
{
    return QByteArray::fromHex("3e3e96614979623969514e7b64396951396967496951397d644b7a51467961497a6"
                               "3549d63497b67467a6346796a"
                               "54b89c396951396951396951396951390d0a454e440d0a");
}
