#include "ui/form1.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QToolTip>

// The window on a real X server (Xvfb): it maps at its size and draws
// something, which the offscreen platform of the other tests cannot show.
class TestX11Window : public QObject
{
    Q_OBJECT

private slots:
    void mapsAndDraws();
    void portFieldTooltipIsDrawn();
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

// The tooltip lies over the window. Read from the screen it shows its text
// as it paints it; a capture that reads windows one by one, as xwd does,
// shows black there, for any Qt window lying over another of the same
// program, in this program and in the plainest Qt program alike.
void TestX11Window::portFieldTooltipIsDrawn()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *field = form.findChild<QLineEdit *>(QStringLiteral("Text1"));
    const QPoint middle = field->rect().center();
    QHelpEvent hover(QEvent::ToolTip, middle, field->mapToGlobal(middle));
    QApplication::sendEvent(field, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QWidget *tip = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("qtooltip_label") && window->isVisible())
            tip = window;
    }
    QVERIFY(tip);
    QVERIFY(form.frameGeometry().intersects(tip->frameGeometry()));

    // The text, drawn in antialiased glyphs, and not the background alone.
    const QImage painted = tip->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(distinctColours(painted) > 8);
    QImage onScreen;
    QTRY_VERIFY_WITH_TIMEOUT(
        (onScreen = form.screen()
                        ->grabWindow(0, tip->x(), tip->y(), tip->width(), tip->height())
                        .toImage()
                        .convertToFormat(QImage::Format_RGB32),
         onScreen == painted),
        5000);
    QToolTip::hideText();
}

QTEST_MAIN(TestX11Window)
#include "tst_x11window.moc"
