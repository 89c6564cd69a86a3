#include "common/commandline.h"

#include "common/version.h"

#include <QTextStream>

namespace commandline {

std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments,
                         const QString &program)
{
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    // parse(), not process(): process() exits with 1 on a bad option, and
    // scripts tell a usage error by status 2.
    if (!parser.parse(arguments))
        return usageError(program, parser.errorText());
    if (parser.isSet(helpOption)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    // Only a GUI application has --help-all, with Qt's own options, and only
    // process() can print those; the line has parsed, so it prints and exits 0.
    if (parser.optionNames().contains(QStringLiteral("help-all")))
        parser.process(arguments);
    if (parser.isSet(versionOption)) {
        QTextStream(stdout) << program << ' ' << velumet::version << '\n'
                            << "Copyright (C) the Velumet Display developers.\n"
                            << "License MIT: <https://opensource.org/licenses/MIT>.\n";
        return 0;
    }
    return std::nullopt;
}

int usageError(const QString &program, const QString &text)
{
    QTextStream(stderr) << program << ": " << text << '\n'
                        << "Try '" << program << " --help' for more information.\n";
    return exitBadUsage;
}

} // namespace commandline
