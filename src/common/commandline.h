#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// The command-line conventions all our programs share: --help and --version
// on standard output with status 0, a bad command line as one line plus a
// hint on standard error with status 2.
namespace commandline {

inline constexpr int exitBadUsage = 2;

// Adds --help and --version to the parser and parses the arguments (the
// program name first). Returns the status to exit with when the program has
// already answered or refused, and nothing when it should go on.
std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments,
                         const QString &program);

// Reports a bad command line the way parse() does; returns exitBadUsage.
int usageError(const QString &program, const QString &text);

} // namespace commandline
