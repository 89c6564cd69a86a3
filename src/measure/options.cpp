#include "measure/options.h"

#include "common/commandline.h"
#include "common/failure.h"
#include "common/numbertext.h"
#include "measure/platformhelp.h"

#include <QCommandLineParser>
#include <QLocale>

#include <optional>

namespace {

// A day: longer waits belong to a scheduler, and the event loop's timers
// count milliseconds in an int.
constexpr double maxSeconds = 86400;
// A whole answer takes 0.07 s on a 9600-baud line; a shorter wait could
// never be met.
constexpr double minTimeoutSeconds = 0.1;

// With holes for what differs between systems.
QString description()
{
    const QString text = QStringLiteral(
        "Takes measurements from the measuring box on serial port N and writes one record per\n"
        "measurement to standard output (or --output FILE): resistance, reactance, phase angle,\n"
        "R-Hand and R-Foot, with the time and the port. Messages go to standard error.\n"
        "\n"
        "%1\n"
        "\n"
        "Measurements start on the beats of the interval, counted from the first. One that\n"
        "overruns its beat (a slow answer, a timeout) is followed at the next beat still ahead:\n"
        "missed beats are skipped, never made up. Before each start command the line must be\n"
        "quiet for 0.05 s, and for the timeout after a failed measurement, so that a late answer\n"
        "is never taken for the next one's; a line that does not fall quiet fails that\n"
        "measurement. A device that cannot be opened is tried again on the first beat a growing\n"
        "pause after the last try started (0.25 s, doubling up to 5 s): at an interval of 5 s or\n"
        "more, on every beat.\n"
        "\n"
        "Formats:\n"
        "  text  for people: the window's captions, the locale's decimal separator\n"
        "  csv   RFC 4180 with the header time,port,resistance,reactance,phase_angle,r_hand,\n"
        "        r_foot,error (written once into a new or empty file)\n"
        "  json  JSON Lines: one object a line with the same keys; \"error\" only when the\n"
        "        measurement failed; a value the measurement could not give is null\n"
        "csv and json write '.' as the decimal separator in every locale, and the time as\n"
        "ISO 8601 with milliseconds and the UTC offset of the local time zone (TZ sets it). A\n"
        "resistance of 0 is no failure: its phase angle is missing. Seconds on the command line\n"
        "take '.' or the locale's decimal separator (0.5 or, in German, 0,5), never grouping.\n"
        "\n"
        "Each record is on the disk (or handed to the reader) before the next measurement\n"
        "starts; a record that cannot be written whole is not written at all, and ends the\n"
        "series. Several runs may append to one file: each record goes in whole, under the\n"
        "file's lock. A FIFO as FILE needs its reader running first.\n"
        "\n"
        "%2\n"
        "\n"
        "Exit status:\n"
        "  0    every measurement gave a record without error\n"
        "  1    at least one measurement failed (no answer in time, a bad frame, data lost,\n"
        "       the line lost); each failure is a record with an error, and the series goes on;\n"
        "       or a record could not be written\n"
        "  2    wrong usage, or an --output FILE that cannot be opened\n"
        "  3    the port could not be opened at the start\n"
        "%3\n"
        "\n"
        "Examples:\n"
        "  velumet-measure --port 3 --format json\n"
        "        one measurement as a JSON line\n"
        "  velumet-measure --port 3 --count 0 --interval 60 --format csv --output log.csv\n"
        "        a measurement every minute, appended to log.csv, until Ctrl-C\n"
        "  velumet-measure --list-ports\n"
        "        the port numbers that lead to a serial device");
    return text.arg(platformhelp::ports(), platformhelp::stopping(), platformhelp::stoppedStatus());
}

// A number of seconds, written with a point in every locale or with the
// locale's own decimal separator ("0,5" in German). Digit grouping is
// refused: "1,000" would be a thousand seconds to one reader and one second
// to another.
std::optional<double> seconds(const QString &text)
{
    const QString separators[] = {QStringLiteral("."), QLocale().decimalPoint()};
    for (const QString &separator : separators) {
        try {
            return numbertext::toDouble(text, separator);
        } catch (const Failure &) {
        }
    }
    return std::nullopt;
}

std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

std::variant<Options, int> parseOptions(const QStringList &arguments)
{
    const QString program = QStringLiteral("velumet-measure");
    const auto usageError = [&program](const QString &text) {
        return commandline::usageError(program, text);
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Measure on port N (1 to 32767); required."),
                                  QStringLiteral("N"));
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("Take K measurements (default 1); 0 takes them until interrupted."),
        QStringLiteral("K"));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Start one measurement every SECONDS (default 1; fractions allowed)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Wait up to SECONDS for each answer (default 2; fractions allowed; at "
                       "least 0.1)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("Write records as text, csv or json "
                                                   "(default text)."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption output(
        QStringLiteral("output"),
        QStringLiteral("Append the records to FILE, creating it if needed; each record reaches "
                       "the disk before the next measurement starts."),
        QStringLiteral("FILE"));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("List the port numbers that lead to a serial device, and the devices "
                       "no number leads to, then exit."));
    parser.addOptions({port, count, interval, timeout, format, output, listPorts});
    if (const std::optional<int> status = commandline::parse(parser, arguments, program))
        return *status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    Options options;
    if (parser.isSet(listPorts)) {
        for (const QCommandLineOption &measuring : {port, count, interval, timeout, format, output})
            if (parser.isSet(measuring))
                return usageError(QStringLiteral("--list-ports takes no other option"));
        options.listPorts = true;
        return options;
    }

    if (!parser.isSet(port))
        return usageError(QStringLiteral("--port N is required"));
    const std::optional<int> portNumber = wholeNumber(parser.value(port));
    if (!portNumber || *portNumber < 1 || *portNumber > 32767)
        return usageError(QStringLiteral("--port takes a number from 1 to 32767, not '%1'")
                              .arg(parser.value(port)));
    options.port = *portNumber;

    if (parser.isSet(count)) {
        const std::optional<int> k = wholeNumber(parser.value(count));
        if (!k || *k < 0)
            return usageError(QStringLiteral("--count takes a whole number, 0 or more, not '%1'")
                                  .arg(parser.value(count)));
        options.count = *k;
    }
    if (parser.isSet(interval)) {
        const std::optional<double> s = seconds(parser.value(interval));
        if (!s || *s < 0 || *s > maxSeconds)
            return usageError(QStringLiteral("--interval takes seconds from 0 to 86400, not '%1'")
                                  .arg(parser.value(interval)));
        options.intervalSeconds = *s;
    }
    if (parser.isSet(timeout)) {
        const std::optional<double> s = seconds(parser.value(timeout));
        if (!s || *s < minTimeoutSeconds || *s > maxSeconds)
            return usageError(QStringLiteral("--timeout takes seconds from 0.1 (an answer takes "
                                             "0.07 s on the line) to 86400, not '%1'")
                                  .arg(parser.value(timeout)));
        options.timeoutSeconds = *s;
    }
    if (parser.isSet(format)) {
        const QString name = parser.value(format);
        if (name == QLatin1String("text"))
            options.format = Options::Format::Text;
        else if (name == QLatin1String("csv"))
            options.format = Options::Format::Csv;
        else if (name == QLatin1String("json"))
            options.format = Options::Format::Json;
        else
            return usageError(
                QStringLiteral("--format takes text, csv or json, not '%1'").arg(name));
    }
    if (parser.isSet(output)) {
        options.output = parser.value(output);
        if (options.output.isEmpty())
            return usageError(QStringLiteral("--output takes a file name"));
    }
    return options;
}
