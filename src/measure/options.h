#pragma once

#include "record/record.h"

#include <QString>
#include <QStringList>

#include <variant>

// What a run of velumet-measure was asked to do.
struct Options
{
    using Format = recordformat::Format;

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

// Answers --help and --version and refuses a wrong command line itself,
// returning the exit status then; otherwise what the run is to do.
std::variant<Options, int> parseOptions(const QStringList &arguments);
