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

#include <optional>
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
        std::optional<Series> series(std::in_place, options, sink);
        QObject::connect(&*series, &Series::finished, &app, &QCoreApplication::quit);
        QObject::connect(&*series, &Series::lineReleased, &app, &QCoreApplication::quit);
        // The series, and with it the port, is gone before the status is
        // handed on.
        const auto end = [&](QuitOnSignals &quitOnSignals, int signal) {
            const int status = signal != 0 && !untilStopped && !series->isComplete()
                                   ? 128 + signal
                                   : series->status();
            series.reset();
            return quitOnSignals.finish(status);
        };
        int signal = 0;
        {
            QuitOnSignals quitOnSignals(stoppedStatus);
            if (!series->begin()) {
                series.reset();
                return quitOnSignals.finish(exitstatus::portUnavailable);
            }
            QCoreApplication::exec();
            signal = quitOnSignals.received();
            if (!series->holdLine())
                return end(quitOnSignals, signal);
        }
        // The answer to the last command may still be on its way; the run
        // keeps the port until it cannot reach the next one. Watched anew,
        // since the first stop request has used up its grace: another one
        // ends the wait.
        QuitOnSignals quitOnSignals(stoppedStatus);
        QCoreApplication::exec();
        return end(quitOnSignals, signal);
    } catch (const std::system_error &error) {
        err << "velumet-measure: " << error.what() << "\n";
        return exitstatus::measurementFailed;
    }
}
