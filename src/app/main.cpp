#include "common/commandline.h"
#include "common/standardstreams.h"
#include "common/version.h"
#include "ui/form1.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    // Arguments come from a command line, which expects its answer there.
    if (argc > 1)
        standardstreams::useParentConsole();
    // Else the connection to the display could take a closed standard
    // error's number, and Qt's warnings would go down it.
    standardstreams::openClosedOnNullDevice();
    // QApplication first: it takes Qt's own options (-platform and the like)
    // out of the arguments before ours are looked at.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velumet Display"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velumet Display"));
    QApplication::setApplicationVersion(velumet::version);
    // Lets the desktop match the window to its installed launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velumet.Display"));

    const QString program = QStringLiteral("velumet-display");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Takes one measurement from the measuring box on a serial port and shows it:\n"
        "resistance, reactance, R-Hand, R-Foot and the phase angle. Type the port\n"
        "number into the Com-Port field and press Start; Clear empties the display\n"
        "and closes the port. Ctrl+B opens the analysis of the measurement for the\n"
        "person measured: the BIVA graph, the phase angle against healthy people,\n"
        "body composition, and a one-page PDF report (Ctrl+P). The window takes no\n"
        "options of its own."));
    if (const std::optional<int> status =
            commandline::parse(parser, QApplication::arguments(), program))
        return *status;
    if (!parser.positionalArguments().isEmpty())
        return commandline::usageError(program, QStringLiteral("unexpected argument ") +
                                                    parser.positionalArguments().first());

    Form1 window;
    window.show();
    return QApplication::exec();
}
