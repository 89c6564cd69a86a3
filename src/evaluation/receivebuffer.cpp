#include "evaluation/receivebuffer.h"

void ReceiveBuffer::clear()
{
    *this = ReceiveBuffer();
}

void ReceiveBuffer::append(QStringView chunk)
{
    if (chunk.isEmpty())
        return;
    if (m_head.size() < frameLength)
        m_head += chunk.left(frameLength - m_head.size());
    if (!m_containsMarker) {
        m_containsMarker =
            chunk.contains(marker) || (m_last == marker[0] && chunk.front() == marker[1]);
    }
    m_last = chunk.back();
    m_length += chunk.size();
}
