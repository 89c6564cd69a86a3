// Windows to measure the program's against:
//   window_probe children          how many widgets the program's window holds
//   window_probe empty N           a bare window with N plain child widgets
//   window_probe idle form1        idles 10 s, printing the CPU milliseconds it
//   window_probe idle empty N      took: the program's window with its port
//                                  open on a silent box, or a bare window

#include "cputime.h"
#include "form1access.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr int idleMilliseconds = 10000;

std::unique_ptr<QWidget> emptyWindow(int children)
{
    auto window = std::make_unique<QWidget>();
    for (int i = 0; i < children; ++i)
        new QWidget(window.get());
    return window;
}

int usage()
{
    std::fprintf(stderr, "usage: window_probe children | empty N | idle form1 | idle empty N\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);

    if (mode == QLatin1String("children")) {
        const Form1 form;
        std::printf("%lld\n", static_cast<long long>(form.findChildren<QWidget *>().size()));
        return 0;
    }
    if (mode == QLatin1String("empty")) {
        const std::unique_ptr<QWidget> window = emptyWindow(args.value(2).toInt());
        window->show();
        return QApplication::exec();
    }
    if (mode != QLatin1String("idle"))
        return usage();

    std::unique_ptr<QWidget> window;
    std::optional<TemporaryConfigHome> configHome;
    std::unique_ptr<box::SimulatedBox> device;
    if (args.value(2) == QLatin1String("form1")) {
        configHome.emplace();
        box::Behaviour silent;
        silent.fault = box::Fault::Silent;
        device = std::make_unique<box::SimulatedBox>(silent);
        auto form = std::make_unique<Form1>();
        Form1Access::start(*form, QString::number(device->port()));
        window = std::move(form);
    } else if (args.value(2) == QLatin1String("empty")) {
        window = emptyWindow(args.value(3).toInt());
    } else {
        return usage();
    }
    window->show();
    const double before = processCpuSeconds();
    QTimer::singleShot(idleMilliseconds, qApp, &QCoreApplication::quit);
    const int rc = QApplication::exec();
    std::printf("%.1f\n", (processCpuSeconds() - before) * 1000.0);
    return rc;
}
