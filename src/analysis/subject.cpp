#include "analysis/subject.h"

namespace analysis {

QString sexKey(Sex sex)
{
    return sex == Sex::Male ? QStringLiteral("male") : QStringLiteral("female");
}

std::optional<Sex> sexFromText(const QString &text)
{
    const QString key = text.toLower();
    if (key == QLatin1String("female") || key == QLatin1String("f"))
        return Sex::Female;
    if (key == QLatin1String("male") || key == QLatin1String("m"))
        return Sex::Male;
    return std::nullopt;
}

} // namespace analysis
