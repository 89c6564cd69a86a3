// From the box's last frame byte on a pseudo-terminal to the five fields
// written, beside the floor: a bare QSerialPort receiving the same bytes on
// the same kind of pair.

#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QSerialPort>

#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// A box that never answers on its own: each iteration puts the frame on the
// line itself, so the clock starts when its last byte has been written.
box::Behaviour silentBox()
{
    box::Behaviour behaviour;
    behaviour.fault = box::Fault::Silent;
    return behaviour;
}

// Puts the frame on the line and runs the event loop until the receiver sets
// `done`; the time from the last byte written until then.
double secondsToReceive(box::SimulatedBox &device, const std::optional<Clock::time_point> &done)
{
    device.send(box::measurementFrame(box::valueRecord({}), mdlDecodeEncode::decodingKey));
    const Clock::time_point sent = Clock::now();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::chrono::duration<double>(*done - sent).count();
}

void BM_FrameToDisplay(benchmark::State &state)
{
    const TemporaryConfigHome configHome;
    box::SimulatedBox device(silentBox());
    Form1 form;
    Form1Access::start(form, QString::number(device.port()));
    // The phase angle is the last field written: the clock stops there, not
    // after the repaint that follows.
    std::optional<Clock::time_point> written;
    QObject::connect(form.findChild<QLineEdit *>(QStringLiteral("txtPhase")),
                     &QLineEdit::textChanged, &form, [&written](const QString &text) {
                         if (!text.isEmpty())
                             written = Clock::now();
                     });
    for (auto _ : state) {
        Form1Access::clearTextBox(form);
        Form1Access::emptyBuffer(form);
        written.reset();
        state.SetIterationTime(secondsToReceive(device, written));
    }
}
BENCHMARK(BM_FrameToDisplay)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_BareReadyRead(benchmark::State &state)
{
    const TemporaryConfigHome configHome;
    box::SimulatedBox device(silentBox());
    QSerialPort port(device.devicePath());
    if (!port.open(QIODevice::ReadWrite)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    const qint64 frameSize =
        box::measurementFrame(box::valueRecord({}), mdlDecodeEncode::decodingKey).size();
    qint64 received = 0;
    std::optional<Clock::time_point> all;
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        received += port.readAll().size();
        if (received >= frameSize)
            all = Clock::now();
    });
    for (auto _ : state) {
        received = 0;
        all.reset();
        state.SetIterationTime(secondsToReceive(device, all));
    }
}
BENCHMARK(BM_BareReadyRead)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
