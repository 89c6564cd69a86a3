#pragma once

#include "analysis/reference.h"
#include "analysis/subject.h"
#include "record/record.h"

#include <QString>
#include <QStringList>

#include <variant>

// What a run of velumet-measure was asked to do.
struct Options
{
    using Format = recordformat::Format;

    bool listPorts = false;
    bool listReferences = false;
    int port = 0;
    // 0: until interrupted.
    int count = 1;
    double intervalSeconds = 1.0;
    double timeoutSeconds = 2.0;
    Format format = Format::Text;
    // Empty: standard output.
    QString output;

    // The person measured, as far as the options told; with none of them,
    // records carry no analysis and are as they always were.
    analysis::Subject subject;
    // What the impedance vector is compared with: a built-in reference, or
    // a lab's own from --reference-file.
    analysis::BivaReference reference =
        *analysis::builtInReference(analysis::defaultReferenceName());

    bool analyses() const { return !subject.isEmpty(); }
};

// Answers --help and --version and refuses a wrong command line itself,
// returning the exit status then; otherwise what the run is to do.
std::variant<Options, int> parseOptions(const QStringList &arguments);
