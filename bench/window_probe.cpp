// The program's window, shown offscreen, measured from inside:
//   window_probe idle            idles 10 s with its port open on a silent
//                                box, printing the CPU milliseconds it took
//   window_probe start PORT RUNS presses Start against the paced box already
//                                running as port PORT, RUNS times, and times
//                                it until the five fields are written. Each
//                                run alternates with the floor: a serial port
//                                that opens the same port, writes the start
//                                command and waits for the 68 characters the
//                                window evaluates. Prints "window MS" and
//                                "floor MS" per run.

#include "cputime.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/receivebuffer.h"
#include "form1access.h"
#include "serial/portdirectory.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int idleMilliseconds = 10000;
// Far beyond a paced answer; a run that takes longer found no box.
constexpr int answerTimeoutMilliseconds = 2000;
// Runs measured but not reported, so that both sides are warm.
constexpr int warmUpRuns = 3;

int usage()
{
    std::fprintf(stderr, "usage: window_probe idle | start PORT RUNS\n");
    return 2;
}

int idle()
{
    const TemporaryConfigHome configHome;
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox device(silent);
    Form1 form;
    Form1Access::start(form, QString::number(device.port()));
    form.show();
    const double before = processCpuSeconds();
    QTimer::singleShot(idleMilliseconds, qApp, &QCoreApplication::quit);
    const int rc = QApplication::exec();
    std::printf("%.1f\n", (processCpuSeconds() - before) * 1000.0);
    return rc;
}

// Runs the event loop from `begin` until `done` holds; the milliseconds it
// took, or a negative number after the timeout.
double millisecondsUntil(const std::function<void()> &begin, const bool &done)
{
    bool timedOut = false;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &timeout, [&timedOut] { timedOut = true; });
    timeout.start(answerTimeoutMilliseconds);
    QElapsedTimer clock;
    clock.start();
    begin();
    while (!done && !timedOut)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done ? clock.nsecsElapsed() / 1e6 : -1.0;
}

// Lets the box finish its answer and the window its repaint before the next run.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

int start(int port, int runs)
{
    Form1 form;
    form.show();
    Form1Access::portField(form)->setText(QString::number(port));
    auto *startButton = form.findChild<QPushButton *>(QStringLiteral("Command1"));
    bool written = false;
    QObject::connect(form.findChild<QLineEdit *>(QStringLiteral("txtPhase")),
                     &QLineEdit::textChanged, &form,
                     [&written](const QString &text) { written = !text.isEmpty(); });

    const QString device = portdirectory::linkPath(port);
    const QByteArray command = "B" + mdlDecodeEncode::decodingKey().toLatin1();
    for (int run = 0; run < warmUpRuns + runs; ++run) {
        written = false;
        const double window = millisecondsUntil([startButton] { startButton->click(); }, written);
        Form1Access::clear(form);
        settle();

        QSerialPort floorPort(device);
        qint64 received = 0;
        bool answered = false;
        QObject::connect(&floorPort, &QSerialPort::readyRead, &floorPort, [&] {
            received += floorPort.readAll().size();
            answered = received >= ReceiveBuffer::triggerLength;
        });
        const double floor = millisecondsUntil(
            [&] {
                if (floorPort.open(QIODevice::ReadWrite))
                    floorPort.write(command);
            },
            answered);
        floorPort.close();
        settle();

        if (window < 0 || floor < 0) {
            std::fprintf(stderr, "window_probe: no answer from port %d\n", port);
            return 1;
        }
        if (run >= warmUpRuns)
            std::printf("window %.3f\nfloor %.3f\n", window, floor);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("idle"))
        return idle();
    if (mode == QLatin1String("start")) {
        bool portOk = false;
        bool runsOk = false;
        const int port = args.value(2).toInt(&portOk);
        const int runs = args.value(3).toInt(&runsOk);
        if (portOk && runsOk && port > 0 && runs > 0)
            return start(port, runs);
    }
    return usage();
}
