// From the box's last frame byte on a pseudo-terminal to the five fields
// written, beside the floor: a bare QSerialPort on the same kind of pair that
// writes the same five texts into five line edits, in the same process.
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

// The floor: the plainest receiver that does the same necessary work. Five
// line edits with the window's value font, emptied between frames as Start
// empties the window's, get the texts the window shows for this frame once
// the frame's last byte is in.
class BareFiveFields
{
public:
    BareFiveFields(Line &line, const QStringList &texts) : m_line(line), m_texts(texts)
    {
        QFont valueFont;
        valueFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
        valueFont.setStyleHint(QFont::SansSerif);
        valueFont.setPointSize(12);
        valueFont.setBold(true);
        // The window's field heights, in the order the fields are written.
        const int heights[] = {24, 24, 28, 24, 28};
        for (int i = 0; i < m_texts.size(); ++i) {
            auto *field = new QLineEdit(&m_window);
            field->setGeometry(388, 24 + 32 * i, 177, heights[i]);
            field->setFont(valueFont);
            m_fields.push_back(field);
        }
        QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] {
            m_received += m_port.readAll().size();
            if (m_received < m_line.frameSize())
                return;
            for (std::size_t i = 0; i < m_fields.size(); ++i)
                m_fields[i]->setText(m_texts[int(i)]);
            m_written = Clock::now();
        });
    }

    bool open() { return m_port.open(QIODevice::ReadWrite); }

    double secondsToReceive()
    {
        for (QLineEdit *field : m_fields)
            field->clear();
        m_received = 0;
        m_written.reset();
        return m_line.secondsToReceive(m_written);
    }

private:
    Line &m_line;
    const QStringList m_texts;
    QWidget m_window;
    std::vector<QLineEdit *> m_fields;
    QSerialPort m_port{m_line.device()};
    qint64 m_received = 0;
    std::optional<Clock::time_point> m_written;
};

// The program and its floor take turns frame by frame, each on a pair of its
// own, so that whatever else the machine is doing falls on both alike. The
// program's time is the benchmark's; the floor's is the counter floor_us.
void BM_FrameToDisplay(benchmark::State &state)
{
    Line floorLine;
    // Made last, so that its port is the one the window finds.
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
    QStringList texts;
    {
        Form1 reference;
        Form1Access::receive(reference, QString::fromLatin1(line.frame()));
        texts = Form1Access::display(reference);
    }
    BareFiveFields bare(floorLine, texts);
    if (!Form1Access::comm(form).portOpen() || !bare.open()) {
        state.SkipWithError("cannot open the pseudo-terminals");
        return;
    }

    double floorSeconds = 0.0;
    for (auto _ : state) {
        Form1Access::emptyBuffer(form);
        written.reset();
        state.SetIterationTime(line.secondsToReceive(written));
        floorSeconds += bare.secondsToReceive();
    }
    state.counters["floor_us"] = floorSeconds * 1e6 / double(state.iterations());
}
BENCHMARK(BM_FrameToDisplay)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
