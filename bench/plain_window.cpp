// The floor for the program's start-up, first paint, memory and idle CPU:
// the same window written the plainest way, without any of the program's
// code. It has the same widgets in the same stacking order, places, captions,
// fonts, colours and pictures, so that it pays what showing that window
// costs (the font database, shaping every caption, decoding the pictures) and
// nothing our design adds.
//
//   plain_window PICTURES_DIR          shows the window until it is closed
//   plain_window PICTURES_DIR --idle   shows it for 10 s, then prints the CPU
//                                      milliseconds it took meanwhile

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int idleMilliseconds = 10000;

QFont windowFont(int pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

template <typename T> T *placed(T *widget, const QRect &geometry, const QFont &font)
{
    widget->setGeometry(geometry);
    widget->setFont(font);
    return widget;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: plain_window PICTURES_DIR [--idle]\n");
        return 2;
    }
    const QString pictures = args.at(1);
    const bool idle = args.value(2) == QLatin1String("--idle");

    const QFont small = windowFont(8, false);
    const QFont bold12 = windowFont(12, true);
    const QFont bold18 = windowFont(18, true);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Velumet Display"));
    window.setWindowIcon(QIcon(pictures + QStringLiteral("/icon.png")));
    window.setFont(small);
    window.setFixedSize(718, 476);
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    window.setPalette(white);
    window.setAutoFillBackground(true);

    auto *image = placed(new QLabel(&window), {520, 20, 184, 33}, small);
    // QIcon picks banner@2x.png beside it where the screen has the pixels for it.
    image->setPixmap(QIcon(pictures + QStringLiteral("/banner.png"))
                         .pixmap(QSize(320, 58), window.devicePixelRatioF()));
    image->setScaledContents(true);
    auto *title =
        placed(new QLabel(QStringLiteral("Velumet Display"), &window), {20, 16, 257, 33}, bold18);

    auto *frame = placed(new QFrame(&window), {8, 60, 689, 405}, small);
    QPalette panel = window.palette();
    panel.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Window));
    frame->setPalette(panel);
    frame->setAutoFillBackground(true);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    QList<QLabel *> labels{title};
    labels << placed(new QLabel(QStringLiteral("Com-Port"), frame), {196, 16, 105, 17}, bold12)
           << placed(new QLabel(QStringLiteral("Resistance"), frame), {192, 80, 109, 17}, bold12)
           << placed(new QLabel(QStringLiteral("Reactance"), frame), {192, 148, 85, 17}, bold12)
           << placed(new QLabel(QStringLiteral("R-Hand"), frame), {192, 256, 69, 17}, bold12)
           << placed(new QLabel(QStringLiteral("R-Foot"), frame), {192, 308, 57, 17}, bold12)
           << placed(new QLabel(QStringLiteral("Phase angle"), frame), {192, 204, 125, 21}, bold12);
    for (QLabel *label : labels) {
        label->setPalette(white);
        label->setAutoFillBackground(true);
    }
    placed(new QPushButton(QStringLiteral("Clear"), frame), {16, 360, 133, 25}, small);
    placed(new QLineEdit(frame), {380, 196, 177, 28}, bold12);

    auto *start =
        placed(new QPushButton(QStringLiteral("Start"), &window), {28, 96, 137, 29}, small);
    placed(new QLineEdit(&window), {388, 72, 173, 24}, bold12);
    placed(new QPushButton(QStringLiteral("Command2"), &window), {32, 184, 65, 17}, small)->hide();
    placed(new QPushButton(QStringLiteral("Command3"), &window), {572, 88, 25, 25}, small)->hide();
    placed(new QLineEdit(&window), {388, 136, 177, 24}, bold12);
    placed(new QLineEdit(&window), {388, 208, 177, 24}, bold12);
    placed(new QLineEdit(&window), {388, 316, 177, 28}, bold12);
    placed(new QLineEdit(&window), {388, 368, 177, 24}, bold12);
    start->setFocus();

    window.show();
    if (!idle)
        return QApplication::exec();
    const double before = cpuSeconds();
    QTimer::singleShot(idleMilliseconds, &app, &QCoreApplication::quit);
    const int rc = QApplication::exec();
    std::printf("%.1f\n", (cpuSeconds() - before) * 1000.0);
    return rc;
}
