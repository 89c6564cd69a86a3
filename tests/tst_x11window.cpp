#include "ui/form1.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QTest>

// The window on a real X server (Xvfb): it maps at its size and draws
// something, which the offscreen platform of the other tests cannot show.
class TestX11Window : public QObject
{
    Q_OBJECT

private slots:
    void mapsAndDraws();
};

namespace {

int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

} // namespace

void TestX11Window::mapsAndDraws()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(718, 476));
    // A blank or unpainted window grabs as one or two colours; the title,
    // banner, panel and fields give many.
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = form.screen()->grabWindow(form.winId()).toImage(), distinctColours(shot) > 16),
        10000);
    QVERIFY(shot.width() >= 718 && shot.height() >= 476);
}

QTEST_MAIN(TestX11Window)
#include "tst_x11window.moc"
