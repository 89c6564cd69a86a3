// Starts like the program does, shows a window and exits as soon as its
// first frame has been painted, printing the peak RSS in KiB. Timed from
// outside as a whole process.
//   startup_probe form1         the program's window
//   startup_probe children      prints how many widgets the window holds
//   startup_probe empty N       a bare window with N plain child widgets

#include "ui/form1.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace {

// Quits once the watched window has handled its first paint.
class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);

    std::unique_ptr<QWidget> window;
    if (mode == QLatin1String("form1") || mode == QLatin1String("children")) {
        window = std::make_unique<Form1>();
        if (mode == QLatin1String("children")) {
            std::printf("%lld\n", static_cast<long long>(window->findChildren<QWidget *>().size()));
            return 0;
        }
    } else if (mode == QLatin1String("empty")) {
        window = std::make_unique<QWidget>();
        const int children = args.value(2).toInt();
        for (int i = 0; i < children; ++i)
            new QWidget(window.get());
    } else {
        std::fprintf(stderr, "usage: startup_probe form1 | children | empty N\n");
        return 2;
    }

    FirstPaint firstPaint;
    window->installEventFilter(&firstPaint);
    window->show();
    const int rc = QApplication::exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return rc;
}
