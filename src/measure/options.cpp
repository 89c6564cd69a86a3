#include "measure/options.h"

#include "common/commandline.h"
#include "common/failure.h"
#include "common/numbertext.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QTextStream>

#include <optional>

namespace {

// A day: longer waits belong to a scheduler, and the event loop's timers
// count milliseconds in an int.
constexpr double maxSeconds = 86400;
// A whole answer takes 0.07 s on a 9600-baud line; a shorter wait could
// never be met.
constexpr double minTimeoutSeconds = 0.1;

QString description()
{
    return QStringLiteral(
        "Takes measurements from the measuring box on serial port N and writes one record per\n"
        "measurement to standard output (or --output FILE): resistance, reactance, phase angle,\n"
        "R-Hand and R-Foot, with the time and the port. Messages go to standard error.\n"
        "\n"
        "Port N is the device the link comN in ~/.config/velumet-display/ports/ points to,\n"
        "else /dev/ttyS<N-1>, the same as in the Velumet Display window. The port stays open for\n"
        "the whole series.\n"
        "\n"
        "Measurements start on the beats of the interval, counted from the first. One that\n"
        "overruns its beat (a slow answer, a timeout) is followed at the next beat still ahead:\n"
        "missed beats are skipped, never made up. Before each start command the line must be\n"
        "quiet for 0.05 s, and for the timeout after a failed measurement, so that a late answer\n"
        "is never taken for the next one's; a line that does not fall quiet fails that\n"
        "measurement. A device that cannot be opened is tried again after a growing pause, up\n"
        "to 5 s or the interval, whichever is longer.\n"
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
        // What the subject options add: analysisDescription().
        "%1"
        "\n"
        "Each record is on the disk (or handed to the reader) before the next measurement\n"
        "starts; a record that cannot be written whole is not written at all, and ends the\n"
        "series. Several runs may append to one file: each record goes in whole, under the\n"
        "file's lock. A FIFO as FILE needs its reader running first.\n"
        "\n"
        "Ctrl-C, kill (SIGTERM) and a hang-up (SIGHUP) end a series after its last finished\n"
        "record; the measurement in flight gives none. A signal ignored when the program\n"
        "started (nohup) stays ignored.\n"
        "\n"
        "Exit status:\n"
        "  0    every measurement gave a record without error\n"
        "  1    at least one measurement failed (no answer in time, a bad frame, data lost,\n"
        "       the line lost); each failure is a record with an error, and the series goes on;\n"
        "       or a record could not be written\n"
        "  2    wrong usage, an --output FILE that cannot be opened or whose CSV header has\n"
        "       other columns, or a --reference-file that cannot be used\n"
        "  3    the port could not be opened at the start\n"
        "  128+N  a signal N ended the series before its --count was reached (130 for Ctrl-C);\n"
        "       a --count 0 series ends with 0 or 1 by its records\n"
        "\n"
        "Examples:\n"
        "  velumet-measure --port 3 --format json\n"
        "        one measurement as a JSON line\n"
        "  velumet-measure --port 3 --count 0 --interval 60 --format csv --output log.csv\n"
        "        a measurement every minute, appended to log.csv, until Ctrl-C\n"
        "  velumet-measure --list-ports\n"
        "        the port numbers that lead to a serial device");
}

// A number of seconds (or centimetres, kilograms), written with a point in
// every locale or with the locale's own decimal separator ("0,5" in German).
// Digit grouping is refused: "1,000" would be a thousand seconds to one
// reader and one second to another.
std::optional<double> decimal(const QString &text)
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

// What the subject options add to the records, and what it rests on: a
// paragraph of the description, after the formats.
QString analysisDescription()
{
    return QStringLiteral(
        "\n"
        "What the measurement means (--sex, --age, --height, --weight):\n"
        "Given any of them, every record also carries the subject and an analysis, after r_foot\n"
        "and before error: sex,age,height,weight,bmi,r_h,xc_h,biva_reference,biva_distance,\n"
        "biva_ellipse,phase_angle_z,phase_angle_class,ffm,fm,fat_percent,tbw,analysis_note\n"
        "(in text, lines under the measurement). Whatever an equation or a reference cannot\n"
        "give (an input missing, an age or BMI outside the population it was made for, a failed\n"
        "measurement, a resistance of 0) is empty or null, and analysis_note says why; nothing\n"
        "is extrapolated. H is the height in cm, W the weight in kg, R and Xc in ohms; men 1,\n"
        "women 0.\n"
        "  bmi            W / (H/100)^2\n"
        "  r_h, xc_h      R and Xc over the height in metres, ohm/m\n"
        "  biva_*         BIVA, Piccoli et al. 1994: the distance of (R/H, Xc/H) from the mean\n"
        "                 of the reference population of the same sex, in its standard units,\n"
        "                 and the smallest tolerance ellipse that holds it: 50%, 75%, 95% or\n"
        "                 outside; a note when the age is outside the reference's\n"
        "  phase_angle_*  z of the phase angle against healthy adults of the same sex and age\n"
        "                 band, and below_p5, p5_p95 or above_p95: Barbosa-Silva et al. 2005,\n"
        "                 ages 18 and over\n"
        "  ffm            fat-free mass, Kyle et al. 2001, ages 20-94 and BMI 17.0-33.8:\n"
        "                 -4.104 + 0.518 H^2/R + 0.231 W + 0.130 Xc + 4.229 sex; fm = W - ffm,\n"
        "                 fat_percent = fm / W 100\n"
        "  tbw            total body water in litres, Sun et al. 2003, ages 12-94:\n"
        "                 men 1.20 + 0.45 H^2/R + 0.18 W, women 3.75 + 0.45 H^2/R + 0.11 W\n"
        "bmi, r_h, xc_h, ffm, fm, fat_percent and tbw are rounded to 0.1, biva_distance and\n"
        "phase_angle_z to 0.01. The equations assume whole-body resistance and reactance at\n"
        "50 kHz, hand to foot, measured lying down (supine); R-Hand and R-Foot take no part.\n"
        "The results are population estimates for healthy adults, not a diagnosis.\n"
        "\n"
        "A lab's own BIVA reference (--reference-file) is JSON: {\"name\", \"citation\",\n"
        "\"male\" and \"female\": {\"n\" (3 or more), \"r_h_mean\", \"r_h_sd\", \"xc_h_mean\",\n"
        "\"xc_h_sd\" (SDs above 0), \"r\" (between -1 and 1)}, and optionally \"age_min\" and\n"
        "\"age_max\"}; a file that is not this is refused with status 2 and the reason.\n"
        "--reference and --reference-file need a subject option; give one of them, not both.\n"
        "\n"
        "A CSV file keeps the columns of its header: records with an analysis never go into a\n"
        "file of records without one, nor the other way round; such a file is refused with\n"
        "status 2 before anything is measured, and stays as it was. For instance,\n"
        "velumet-measure --port 3 --sex male --age 40 --height 175 --weight 70 --format json\n"
        "takes one measurement with what it means for a man of 40, 175 cm and 70 kg.\n");
}

// A reference file that cannot be used is no wrong usage of the command
// line: refused with its status, without the hint at --help.
int referenceFileError(const QString &path, const analysis::ReferenceFileError &error)
{
    QTextStream(stderr) << "velumet-measure: cannot use the reference in " << path << ": "
                        << analysis::describe(error) << '\n';
    return commandline::exitBadUsage;
}

} // namespace

std::variant<Options, int> parseOptions(const QStringList &arguments)
{
    const QString program = QStringLiteral("velumet-measure");
    const auto usageError = [&program](const QString &text) {
        return commandline::usageError(program, text);
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(description().arg(analysisDescription()));
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
    const QCommandLineOption sex(
        QStringLiteral("sex"),
        QStringLiteral("The subject's sex: female or male (f or m; any case). This and the "
                       "next three add the analysis described above to every record."),
        QStringLiteral("SEX"));
    const QCommandLineOption age(QStringLiteral("age"),
                                 QStringLiteral("The subject's age in whole years, 1 to 120."),
                                 QStringLiteral("YEARS"));
    const QCommandLineOption height(
        QStringLiteral("height"),
        QStringLiteral("The subject's height in centimetres, 30 to 250 (fractions as for "
                       "seconds)."),
        QStringLiteral("CM"));
    const QCommandLineOption weight(
        QStringLiteral("weight"),
        QStringLiteral("The subject's weight in kilograms, 1 to 400 (fractions as for seconds)."),
        QStringLiteral("KG"));
    const QStringList referenceNames = [] {
        QStringList names;
        for (const analysis::BivaReference &builtIn : analysis::builtInReferences())
            names << builtIn.name;
        return names;
    }();
    const QCommandLineOption reference(
        QStringLiteral("reference"),
        QStringLiteral("Compare the impedance vector with the built-in BIVA reference NAME: %1 "
                       "(default %2; see --list-references).")
            .arg(referenceNames.join(QStringLiteral(", ")), analysis::defaultReferenceName()),
        QStringLiteral("NAME"));
    const QCommandLineOption referenceFile(
        QStringLiteral("reference-file"),
        QStringLiteral("Compare it with a lab's own BIVA reference from the JSON file FILE "
                       "instead (see above); not together with --reference."),
        QStringLiteral("FILE"));
    const QCommandLineOption listReferences(
        QStringLiteral("list-references"),
        QStringLiteral("List the built-in BIVA references, each with its source, then exit."));
    parser.addOptions({port, count, interval, timeout, format, output, listPorts, sex, age, height,
                       weight, reference, referenceFile, listReferences});
    if (const std::optional<int> status = commandline::parse(parser, arguments, program))
        return *status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    Options options;
    if (parser.isSet(listPorts)) {
        for (const QCommandLineOption &measuring :
             {port, count, interval, timeout, format, output, sex, age, height, weight, reference,
              referenceFile, listReferences})
            if (parser.isSet(measuring))
                return usageError(QStringLiteral("--list-ports takes no other option"));
        options.listPorts = true;
        return options;
    }
    if (parser.isSet(listReferences)) {
        for (const QString &name : parser.optionNames())
            if (name != QLatin1String("list-references"))
                return usageError(QStringLiteral("--list-references takes no other option"));
        options.listReferences = true;
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
        const std::optional<double> s = decimal(parser.value(interval));
        if (!s || *s < 0 || *s > maxSeconds)
            return usageError(QStringLiteral("--interval takes seconds from 0 to 86400, not '%1'")
                                  .arg(parser.value(interval)));
        options.intervalSeconds = *s;
    }
    if (parser.isSet(timeout)) {
        const std::optional<double> s = decimal(parser.value(timeout));
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

    if (parser.isSet(sex)) {
        options.subject.sex = analysis::sexFromText(parser.value(sex));
        if (!options.subject.sex)
            return usageError(QStringLiteral("--sex takes female or male (or f, m), not '%1'")
                                  .arg(parser.value(sex)));
    }
    using Limits = analysis::SubjectLimits;
    if (parser.isSet(age)) {
        const std::optional<int> years = wholeNumber(parser.value(age));
        if (!years || *years < Limits::ageMin || *years > Limits::ageMax)
            return usageError(QStringLiteral("--age takes whole years from %1 to %2, not '%3'")
                                  .arg(Limits::ageMin)
                                  .arg(Limits::ageMax)
                                  .arg(parser.value(age)));
        options.subject.age = years;
    }
    if (parser.isSet(height)) {
        const std::optional<double> cm = decimal(parser.value(height));
        if (!cm || *cm < Limits::heightMinCm || *cm > Limits::heightMaxCm)
            return usageError(QStringLiteral("--height takes centimetres from %1 to %2, not '%3'")
                                  .arg(Limits::heightMinCm)
                                  .arg(Limits::heightMaxCm)
                                  .arg(parser.value(height)));
        options.subject.heightCm = cm;
    }
    if (parser.isSet(weight)) {
        const std::optional<double> kg = decimal(parser.value(weight));
        if (!kg || *kg < Limits::weightMinKg || *kg > Limits::weightMaxKg)
            return usageError(QStringLiteral("--weight takes kilograms from %1 to %2, not '%3'")
                                  .arg(Limits::weightMinKg)
                                  .arg(Limits::weightMaxKg)
                                  .arg(parser.value(weight)));
        options.subject.weightKg = kg;
    }
    // Two references would leave it to the order of the options which one
    // the records name.
    if (parser.isSet(reference) && parser.isSet(referenceFile))
        return usageError(QStringLiteral("--reference and --reference-file each name the "
                                         "reference; give one of them"));
    // A reference without a subject would be silently unused.
    if ((parser.isSet(reference) || parser.isSet(referenceFile)) && !options.analyses())
        return usageError(QStringLiteral("a reference needs a subject: --sex, --age, --height "
                                         "or --weight"));
    if (parser.isSet(reference)) {
        const std::optional<analysis::BivaReference> builtIn =
            analysis::builtInReference(parser.value(reference));
        if (!builtIn)
            return usageError(
                QStringLiteral("--reference takes %1, not '%2'")
                    .arg(referenceNames.join(QStringLiteral(", ")), parser.value(reference)));
        options.reference = *builtIn;
    }
    if (parser.isSet(referenceFile)) {
        const QString path = parser.value(referenceFile);
        if (path.isEmpty())
            return usageError(QStringLiteral("--reference-file takes a file name"));
        auto loaded = analysis::referenceFromFile(path);
        if (const auto *error = std::get_if<analysis::ReferenceFileError>(&loaded))
            return referenceFileError(path, *error);
        options.reference = std::get<analysis::BivaReference>(std::move(loaded));
    }
    return options;
}
