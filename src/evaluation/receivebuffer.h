#pragma once

#include <QString>
#include <QStringView>

// What the window keeps of everything received since Start. A device may
// stream without end, so the text itself is not kept: the display depends
// only on the first frame's characters, the length so far and whether the
// marker has occurred, and that is all this holds. Its size stays fixed and
// an append costs the same after a megabyte as after a byte.
class ReceiveBuffer
{
public:
    // The two marker characters that announce a measurement frame.
    static constexpr QStringView marker = u">>";
    // Characters a frame occupies: the marker and the enciphered payload.
    static constexpr qsizetype frameLength = 62;
    // Length the buffer must reach before it is evaluated.
    static constexpr qsizetype triggerLength = 68;

    void clear();
    void append(QStringView chunk);

    qint64 length() const { return m_length; }
    bool containsMarker() const { return m_containsMarker; }
    // The first frameLength characters received (fewer while fewer arrived).
    const QString &head() const { return m_head; }
    // True once the buffer holds a complete frame and should be evaluated.
    bool holdsFrame() const { return m_containsMarker && m_length >= triggerLength; }

private:
    QString m_head;
    qint64 m_length = 0;
    bool m_containsMarker = false;
    // A marker may straddle two chunks; the last character bridges them.
    QChar m_last;
};
