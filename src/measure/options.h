#pragma once

#include <QString>
#include <QStringList>

#include <variant>

// What a run of velumet-measure was asked to do.
struct Options
{
    enum class Format { Text, Csv, Json };

    bool listPorts = false;
    int port = 0;
    // 0: until interrupted.
    int count = 1;
    double intervalSeconds = 1.0;
    double timeoutSeconds = 2.0;
    Format format = Format::Text;
    // Empty: standard output.
    QString output;
};

// Text for standard output, and the exit status once it is printed.
struct Answer
{
    QString text;
    int status = 0;
};

// An error in the command line, one line for standard error.
struct UsageError
{
    QString text;
};

// --help and --version are answered here; everything else becomes Options
// or the first thing wrong with the command line.
std::variant<Options, Answer, UsageError> parseOptions(const QStringList &arguments);
