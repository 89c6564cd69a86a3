#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace {

// The window with a value field's context menu open, as the context-menu
// key opens it: the menu is a window of its own, drawn over the window's
// picture where it lies, on a canvas large enough for both.
QImage withContextMenu(Form1 &form)
{
    QWidget *field = form.findChild<QLineEdit *>(QStringLiteral("txtR"));
    field->setFocus();
    const QPoint at = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, field->mapToGlobal(at));
    QApplication::sendEvent(field, &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        return QImage();
    const QRect window(form.mapToGlobal(QPoint(0, 0)), form.size());
    const QRect canvas = window.united(menu->geometry());
    QImage image(canvas.size() * form.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(form.devicePixelRatio());
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawPixmap(window.topLeft() - canvas.topLeft(), form.grab());
    painter.drawPixmap(menu->pos() - canvas.topLeft(), menu->grab());
    painter.end();
    menu->close();
    return image;
}

} // namespace

// Renders the window as a user sees it after one measurement, for the
// README: the port typed, a frame from the simulated box received; with
// MENU.png also with a value field's context menu open.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 && args.size() != 3) {
        std::fputs("usage: velumet-windowshot OUT.png [MENU.png]\n", stderr);
        return 2;
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Form1 form;
    form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("3"));
    const box::Values values{5234, 612, 2517, 2683};
    Form1Access::receive(form, QString::fromLatin1(box::measurementFrame(
                                   box::valueRecord(values), mdlDecodeEncode::decodingKey())));
    form.show();
    if (!form.grab().save(args.at(1), "PNG")) {
        std::fprintf(stderr, "velumet-windowshot: cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    if (args.size() == 3 && !withContextMenu(form).save(args.at(2), "PNG")) {
        std::fprintf(stderr, "velumet-windowshot: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
