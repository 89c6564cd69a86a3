#include "common/commandline.h"
#include "common/quitonsignals.h"
#include "common/version.h"
#include "measure/exitstatus.h"
#include "measure/options.h"
#include "measure/portlist.h"
#include "measure/series.h"
#include "record/recordsink.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <system_error>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velumet-measure"));
    QCoreApplication::setApplicationVersion(velumet::version);
    QTextStream err(stderr);
    // A reader that goes away (| head) ends the series with a message and
    // status 1, like any other place the records cannot go.
    std::signal(SIGPIPE, SIG_IGN);

    const std::variant<Options, int> parsed = parseOptions(QCoreApplication::arguments());
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const Options &options = std::get<Options>(parsed);
    if (options.listPorts)
        return printPortList();

    RecordSink sink(options.format);
    if (!sink.open(options.output)) {
        return commandline::usageError(QStringLiteral("velumet-measure"),
                                       QStringLiteral("cannot write to ") + options.output +
                                           QStringLiteral(": ") + sink.errorString());
    }
    try {
        // Ctrl-C and kill end the series like its last measurement would:
        // the port closes and every finished record stays complete.
        const QuitOnSignals quitOnSignals({SIGINT, SIGTERM, SIGHUP});
        Series series(options, sink);
        QObject::connect(&series, &Series::finished, &app, &QCoreApplication::quit);
        if (!series.begin())
            return exitstatus::portUnavailable;
        QCoreApplication::exec();
        return series.status();
    } catch (const std::system_error &error) {
        err << "velumet-measure: " << error.what() << "\n";
        return exitstatus::measurementFailed;
    }
}
