// In-process figures of the receive path: what one received chunk costs
// and what memory streaming leaves behind, after little and after much has
// arrived since Start.

#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString frame()
{
    return QString::fromLatin1(
        box::measurementFrame(box::valueRecord({}), mdlDecodeEncode::decodingKey()));
}

// One frame, then `streamed` bytes of what a device might keep sending, in
// the chunk size a 9600-baud line delivers at a time; then the cost of each
// further chunk. Peak RSS is recorded after streaming: run the small case
// first, so that the large case's figure shows only what streaming added.
void BM_ChunkAfterStreamed(benchmark::State &state)
{
    const qint64 streamed = state.range(0);
    Form1 form;
    Form1Access::receive(form, frame());
    const QString garbage(4096, u'x');
    for (qint64 sent = 0; sent < streamed; sent += garbage.size())
        Form1Access::receive(
            form, QStringView(garbage).left(qMin<qint64>(garbage.size(), streamed - sent)));
    state.counters["peak_rss_kb"] = double(peakRssKb());

    const QString chunk(16, u'y');
    for (auto _ : state)
        Form1Access::receive(form, chunk);
    if (Form1Access::display(form).first().isEmpty())
        state.SkipWithError("the frame was not shown");
}
BENCHMARK(BM_ChunkAfterStreamed)->Arg(1 << 10)->Arg(64 << 20)->Unit(benchmark::kMicrosecond);

void BM_Decode(benchmark::State &state)
{
    const QString received = frame();
    for (auto _ : state) {
        QString copy = received;
        benchmark::DoNotOptimize(
            mdlDecodeEncode::fcEncodeString(copy, mdlDecodeEncode::decodingKey()));
    }
}
BENCHMARK(BM_Decode);

} // namespace
