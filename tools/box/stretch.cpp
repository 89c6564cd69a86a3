#include "stretch.h"

namespace box {

std::vector<Stretch> stretchesOf(const Behaviour &behaviour, QByteArray answer, bool first,
                                 bool mayBeCut)
{
    const qint64 size =
        behaviour.fault == Fault::StreamGarbage ? Stretch::endless : qint64(answer.size());
    if (behaviour.fault == Fault::LateFirst && first)
        return {{std::move(answer), size, behaviour.delayMs, false}};
    if (behaviour.fault == Fault::TailAfter && answer.size() > 1) {
        QByteArray tail = answer.right(1);
        answer.chop(1);
        const qint64 restSize = answer.size();
        return {{std::move(answer), restSize, 0, mayBeCut},
                {std::move(tail), 1, behaviour.delayMs, false}};
    }
    return {{std::move(answer), size, 0, mayBeCut}};
}

} // namespace box
