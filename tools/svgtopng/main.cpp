#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

// Build step: renders one of the program's SVG pictures to a PNG of a given
// size, so that the pictures are kept as editable sources and the program
// itself needs no SVG support.
int main(int argc, char *argv[])
{
    // Text in the pictures needs the font database, hence a GUI application.
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    bool widthOk = false;
    bool heightOk = false;
    const int width = args.size() == 5 ? args.at(3).toInt(&widthOk) : 0;
    const int height = args.size() == 5 ? args.at(4).toInt(&heightOk) : 0;
    if (!widthOk || !heightOk || width <= 0 || height <= 0) {
        std::fputs("usage: svgtopng IN.svg OUT.png WIDTH HEIGHT\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svgtopng: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(args.at(2), "PNG")) {
        std::fprintf(stderr, "svgtopng: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
