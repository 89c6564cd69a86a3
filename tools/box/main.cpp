#include "behaviour.h"
#include "common/commandline.h"
#include "common/quitonsignals.h"
#include "common/standardstreams.h"
#include "common/version.h"
#include "simulatedbox.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <exception>

namespace {

QString description()
{
    // Examples last: help2man makes a section of them, and the faults would
    // otherwise end up inside it.
    return QStringLiteral(
               "Plays the measuring box for Velumet Display, so that the program can be used\n"
               "without the hardware. The box appears as a numbered serial port: start it,\n"
               "type the number it prints into the Com-Port field of Velumet Display and press\n"
               "Start. Each Start gets a measurement frame with the values of --values, paced\n"
               "like a 9600-baud line; a start command that comes while an answer is on its\n"
               "way starts the answer over. The box runs until Ctrl-C and then takes its port\n"
               "number away again.\n"
               "\n"
               "Faults (--fault NAME):\n") +
           box::faultHelp() +
           QStringLiteral("\n"
                          "Examples:\n"
                          "  velumet-box           answer as port 9 (or the next free one)\n"
                          "  velumet-box --port 3 --values 4800,-240,4000,3900\n"
                          "                        answer as port 3 with 480, -24, 400 and 390\n"
                          "  velumet-box --fault hangup-after=30\n"
                          "                        the line dies in the middle of a frame\n"
                          "  velumet-box --numbered --fault late-first=1500\n"
                          "                        the first answer comes 1.5 s late, and R-Foot\n"
                          "                        tells which start command each record answers");
}

bool parseValues(const QString &text, box::Values &values)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return false;
    qint16 numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toShort(&ok);
        if (!ok)
            return false;
    }
    values = {numbers[0], numbers[1], numbers[2], numbers[3]};
    return true;
}

int usageError(const QString &text)
{
    return commandline::usageError(QStringLiteral("velumet-box"), text);
}

} // namespace

int main(int argc, char *argv[])
{
    // Closed at start, standard output would be the number the pseudo-terminal
    // gets, and the box's messages would go down the line to the program.
    standardstreams::openClosedOnNullDevice();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velumet-box"));
    QCoreApplication::setApplicationVersion(velumet::version);

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Port number to appear as (default: the lowest free one from 9 up)."),
        QStringLiteral("N"));
    const QCommandLineOption valuesOption(
        QStringLiteral("values"),
        QStringLiteral("Resistance, reactance, R-Hand and R-Foot in tenths, as whole numbers "
                       "(default: 5230,600,4321,-12, shown as 523, 60, 432.1, -1.2)."),
        QStringLiteral("R,XC,RH,RF"));
    const QCommandLineOption fastOption(QStringLiteral("fast"),
                                        QStringLiteral("Answer at once instead of at 9600 baud."));
    const QCommandLineOption chunkOption(
        QStringLiteral("chunk"),
        QStringLiteral("Bytes handed over together, 1 to 4096 (default: 8)."), QStringLiteral("N"));
    const QCommandLineOption numberedOption(
        QStringLiteral("numbered"),
        QStringLiteral("Give each answer its number as R-Foot, in tenths (the first shows 0.1, "
                       "the second 0.2; after 3276.7 it starts at 0.1 again), so that a record "
                       "shows which start command it answers. Start commands the box does not "
                       "answer get no number."));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"), QStringLiteral("Misbehave in one of the ways listed above."),
        QStringLiteral("NAME"));
    parser.addOptions(
        {portOption, valuesOption, fastOption, chunkOption, numberedOption, faultOption});
    if (const std::optional<int> status = commandline::parse(parser, QCoreApplication::arguments(),
                                                             QStringLiteral("velumet-box")))
        return *status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument ") +
                          parser.positionalArguments().first());

    box::Behaviour behaviour;
    int port = 0;
    if (parser.isSet(portOption)) {
        bool ok = false;
        port = parser.value(portOption).toInt(&ok);
        if (!ok || port < 1 || port > 32767)
            return usageError(QStringLiteral("--port takes a number from 1 to 32767"));
    }
    if (parser.isSet(valuesOption) && !parseValues(parser.value(valuesOption), behaviour.values))
        return usageError(QStringLiteral(
            "--values takes four whole numbers from -32768 to 32767, such as 5230,600,4321,-12"));
    behaviour.fast = parser.isSet(fastOption);
    behaviour.numbered = parser.isSet(numberedOption);
    if (parser.isSet(chunkOption)) {
        bool ok = false;
        behaviour.chunk = parser.value(chunkOption).toInt(&ok);
        if (!ok || behaviour.chunk < 1 || behaviour.chunk > box::Behaviour::maxChunk)
            return usageError(QStringLiteral("--chunk takes a number of bytes from 1 to ") +
                              QString::number(box::Behaviour::maxChunk));
    }
    if (parser.isSet(faultOption)) {
        const std::optional<box::Behaviour> faulty =
            box::withFault(behaviour, parser.value(faultOption));
        if (!faulty)
            return usageError(QStringLiteral("unknown fault ") + parser.value(faultOption));
        behaviour = *faulty;
    }

    // Its messages are for whoever watches; a closed standard output (velumet-box
    // | head -n 1) must cost them, not the program on the port.
    standardstreams::letWritesFail();
    QTextStream out(stdout);
    try {
        const QuitOnSignals quitOnSignals([](int signal) { return 128 + signal; });
        box::SimulatedBox simulated(behaviour, port);
        QObject::connect(&simulated, &box::SimulatedBox::commandReceived, &app,
                         [&out](const QString &key, bool answered) {
                             out << "Start command received (key " << key << "), "
                                 << (answered ? "answering." : "not answering.") << Qt::endl;
                         });
        QObject::connect(&simulated, &box::SimulatedBox::lineHungUp, &app, [&out] {
            out << "The line is hung up; the box is gone." << Qt::endl;
            QCoreApplication::quit();
        });
        out << "Measuring box ready: type " << simulated.port()
            << " into the Com-Port field and press Start (device " << simulated.devicePath()
            << "; Ctrl-C ends the box)." << Qt::endl;
        return QCoreApplication::exec();
    } catch (const std::exception &error) {
        // The box's own BoxError, or the signals it could not take over.
        QTextStream(stderr) << "velumet-box: " << error.what() << "\n";
        return 1;
    }
}
