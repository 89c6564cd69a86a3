#include "common/commandline.h"
#include "common/quitonsignals.h"
#include "common/standardstreams.h"
#include "common/version.h"
#include "measure/exitstatus.h"
#include "measure/options.h"
#include "measure/portlist.h"
#include "measure/referencelist.h"
#include "measure/series.h"
#include "record/recordsink.h"

#include <QCoreApplication>
#include <QTextStream>

#include <system_error>

int main(int argc, char *argv[])
{
    standardstreams::openClosedOnNullDevice();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velumet-measure"));
    QCoreApplication::setApplicationVersion(velumet::version);
    QTextStream err(stderr);
    standardstreams::letWritesFail();

    const std::variant<Options, int> parsed = parseOptions(QCoreApplication::arguments());
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const Options &options = std::get<Options>(parsed);
    if (options.listPorts)
        return printPortList();
    if (options.listReferences)
        return printReferenceList();

    RecordSink sink(options.format, options.analyses());
    if (!sink.open(options.output)) {
        // Wrong usage by its status, but no hint at --help: the command line
        // was right, the file is not.
        const QString file =
            options.output.isEmpty() ? QStringLiteral("standard output") : options.output;
        err << "velumet-measure: cannot write to " << file << ": " << sink.errorString() << "\n";
        if (sink.openError() == RecordSink::OpenError::ColumnsDiffer)
            err << "velumet-measure: records with and without an analysis (--sex, --age, "
                   "--height, --weight) go into files of their own\n";
        return commandline::exitBadUsage;
    }
    try {
        // A series stopped before its count gives the status a shell gives a
        // program a signal ended; one meant to run until stopped ends by the
        // rule of its records, for stopping it is how it ends.
        const bool untilStopped = options.count == 0;
        const auto stoppedStatus = [untilStopped](int signal) {
            return untilStopped ? exitstatus::measurementFailed : 128 + signal;
        };
        const QuitOnSignals quitOnSignals(stoppedStatus);
        Series series(options, sink);
        QObject::connect(&series, &Series::finished, &app, &QCoreApplication::quit);
        if (!series.begin())
            return exitstatus::portUnavailable;
        QCoreApplication::exec();
        const int signal = quitOnSignals.received();
        if (signal != 0 && !untilStopped && !series.isComplete())
            return 128 + signal;
        return series.status();
    } catch (const std::system_error &error) {
        err << "velumet-measure: " << error.what() << "\n";
        return exitstatus::measurementFailed;
    }
}
