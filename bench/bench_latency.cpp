// From the box's last frame byte on a pseudo-terminal to the five fields
// written, beside the floor: a bare QSerialPort on the same kind of pair that
// writes the same five texts into five line edits.
//
// The box writes from a thread of its own, as velumet-box does from its own
// process, so that the program is asleep in its event loop when the bytes
// arrive and its wake-up counts, as it does in use.

#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"
#include "portlink.h"
#include "pseudoterminal.h"
#include "temporaryconfighome.h"

#include <QCoreApplication>
#include <QFont>
#include <QLineEdit>
#include <QSerialPort>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The box's side of the line.
class Line
{
public:
    int port() const { return m_link.port(); }
    const QString &device() const { return m_pty.slavePath(); }

    // Puts a frame on the line from another thread once the event loop had
    // time to fall asleep, and runs the loop until the receiver sets `done`;
    // the time from the last byte written until then.
    double secondsToReceive(const std::optional<Clock::time_point> &done)
    {
        std::future<Clock::time_point> written = std::async(std::launch::async, [this] {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            // The frame fits the pseudo-terminal's buffer; a short write would
            // leave the receiver waiting for ever, with nothing to measure.
            if (::write(m_pty.master(), m_frame.constData(), m_frame.size()) != m_frame.size())
                std::abort();
            return Clock::now();
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return std::chrono::duration<double>(*done - written.get()).count();
    }

    const QByteArray &frame() const { return m_frame; }
    qsizetype frameSize() const { return m_frame.size(); }

private:
    const TemporaryConfigHome m_configHome;
    box::PseudoTerminal m_pty;
    box::PortLink m_link{0, m_pty.slavePath()};
    const QByteArray m_frame =
        box::measurementFrame(box::valueRecord({}), mdlDecodeEncode::decodingKey());
};

void BM_FrameToDisplay(benchmark::State &state)
{
    Line line;
    Form1 form;
    Form1Access::start(form, QString::number(line.port()));
    // The phase angle is the last field written: the clock stops there, not
    // after the repaint that follows.
    std::optional<Clock::time_point> written;
    QObject::connect(form.findChild<QLineEdit *>(QStringLiteral("txtPhase")),
                     &QLineEdit::textChanged, &form, [&written](const QString &text) {
                         if (!text.isEmpty())
                             written = Clock::now();
                     });
    for (auto _ : state) {
        Form1Access::emptyBuffer(form);
        written.reset();
        state.SetIterationTime(line.secondsToReceive(written));
    }
}
BENCHMARK(BM_FrameToDisplay)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The floor: the plainest receiver that does the same necessary work. Five
// line edits with the window's value font, emptied between frames as Start
// empties the window's, get the texts the window shows for this frame once
// the frame's last byte is in.
void BM_BareFiveFields(benchmark::State &state)
{
    Line line;
    QStringList texts;
    {
        Form1 form;
        Form1Access::receive(form, QString::fromLatin1(line.frame()));
        texts = Form1Access::display(form);
    }
    QFont valueFont;
    valueFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    valueFont.setStyleHint(QFont::SansSerif);
    valueFont.setPointSize(12);
    valueFont.setBold(true);
    QWidget window;
    std::vector<QLineEdit *> fields;
    // The window's field heights, in the order the fields are written.
    const int heights[] = {24, 24, 28, 24, 28};
    for (int i = 0; i < texts.size(); ++i) {
        auto *field = new QLineEdit(&window);
        field->setGeometry(388, 24 + 32 * i, 177, heights[i]);
        field->setFont(valueFont);
        fields.push_back(field);
    }

    QSerialPort port(line.device());
    if (!port.open(QIODevice::ReadWrite)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    qint64 received = 0;
    std::optional<Clock::time_point> written;
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        received += port.readAll().size();
        if (received < line.frameSize())
            return;
        for (std::size_t i = 0; i < fields.size(); ++i)
            fields[i]->setText(texts[int(i)]);
        written = Clock::now();
    });
    for (auto _ : state) {
        for (QLineEdit *field : fields)
            field->clear();
        received = 0;
        written.reset();
        state.SetIterationTime(line.secondsToReceive(written));
    }
}
BENCHMARK(BM_BareFiveFields)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
