#include <QApplication>

#include <benchmark/benchmark.h>

// The benchmarks build real windows, so they need an application; offscreen,
// because nothing here is for a screen.
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
