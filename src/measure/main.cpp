#include "common/quitonsignals.h"
#include "measure/exitstatus.h"
#include "measure/options.h"
#include "measure/portlist.h"
#include "measure/recordsink.h"
#include "measure/series.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <system_error>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velumet-measure"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELUMET_VERSION));
    QTextStream err(stderr);
    // A reader that goes away (| head) ends the series with a message and
    // status 1, like any other place the records cannot go.
    std::signal(SIGPIPE, SIG_IGN);

    const std::variant<Options, Answer, UsageError> parsed =
        parseOptions(QCoreApplication::arguments());
    if (const auto *usage = std::get_if<UsageError>(&parsed)) {
        err << "velumet-measure: " << usage->text << "\n"
            << "Try 'velumet-measure --help' for more information.\n";
        return exitstatus::usage;
    }
    if (const auto *answer = std::get_if<Answer>(&parsed)) {
        QTextStream(stdout) << answer->text;
        return answer->status;
    }
    const Options &options = std::get<Options>(parsed);
    if (options.listPorts)
        return printPortList();

    RecordSink sink(options.format);
    if (!sink.open(options.output)) {
        err << "velumet-measure: cannot write to " << options.output << ": " << sink.errorString()
            << "\n";
        return exitstatus::usage;
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
