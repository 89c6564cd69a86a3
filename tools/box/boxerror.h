#pragma once

#include <QString>

#include <stdexcept>

namespace box {

// The box cannot play its part (no pseudo-terminal, port number taken); the
// text is meant for the person who started it.
class BoxError : public std::runtime_error
{
public:
    explicit BoxError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

} // namespace box
