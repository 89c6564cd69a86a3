// The floor for velumet-measure: the plainest command-line client of the box.
// It opens the port the way the program finds it, writes the start command,
// reads the 68 characters the program evaluates, and exits; 0 when they came.
//
//   measure_floor --port N

#include "decoder/mdlDecodeEncode.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QStandardPaths>

#include <cstdio>

namespace {

// The characters of the answer the program evaluates.
constexpr qint64 answerLength = 68;
// Far beyond a paced answer.
constexpr int timeoutMilliseconds = 2000;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 || args.at(1) != QLatin1String("--port")) {
        std::fprintf(stderr, "usage: measure_floor --port N\n");
        return 2;
    }
    QSerialPort port(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     QStringLiteral("/velumet-display/ports/com") + args.at(2));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "measure_floor: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    port.write("B" + mdlDecodeEncode::decodingKey().toLatin1());
    QByteArray answer;
    while (answer.size() < answerLength && port.waitForReadyRead(timeoutMilliseconds))
        answer += port.readAll();
    return answer.size() >= answerLength ? 0 : 1;
}
