#include "decoder/mdlDecodeEncode.h"
#include "filedialoganswerer.h"
#include "form1access.h"
#include "frame.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
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

QString frame(const box::Values &values)
{
    return QString::fromLatin1(
        box::measurementFrame(box::valueRecord(values), mdlDecodeEncode::decodingKey()));
}

template <typename T> T *byAccessibleName(QWidget &window, const QString &name)
{
    for (T *widget : window.findChildren<T *>()) {
        if (widget->accessibleName() == name)
            return widget;
    }
    return nullptr;
}

// The analysis window of a man followed up over three measurements, and
// the report of the last one.
bool analysisShots(Form1 &form, const QString &picture, const QString &report)
{
    QWidget *window = form.findChild<QWidget *>(QStringLiteral("AnalysisWindow"));
    byAccessibleName<QComboBox>(*window, QStringLiteral("Sex"))->setCurrentIndex(1);
    byAccessibleName<QLineEdit>(*window, QStringLiteral("Age"))->setText(QStringLiteral("40"));
    byAccessibleName<QLineEdit>(*window, QStringLiteral("Height"))->setText(QStringLiteral("175"));
    byAccessibleName<QLineEdit>(*window, QStringLiteral("Weight"))->setText(QStringLiteral("70"));
    for (const box::Values &values :
         {box::Values{6200, 480, 2517, 2683}, box::Values{5800, 540, 2517, 2683},
          box::Values{5234, 612, 2517, 2683}}) {
        // As Start does before each measurement.
        Form1Access::emptyBuffer(form);
        Form1Access::receive(form, frame(values));
    }
    window->show();
    if (!window->grab().save(picture, "PNG"))
        return false;
    // The dialog would take a relative name from the folder it opens in.
    const FileDialogAnswerer dialog(QFileInfo(report).absoluteFilePath());
    window->findChild<QAction *>(QStringLiteral("actSaveReport"))->trigger();
    return QFileInfo::exists(report);
}

} // namespace

// Renders the window as a user sees it after one measurement, for the
// README: the port typed, a frame from the simulated box received; with
// MENU.png also with a value field's context menu open; with ANALYSIS.png
// and REPORT.pdf the analysis window and its report.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 && args.size() != 3 && args.size() != 5) {
        std::fputs("usage: velumet-windowshot OUT.png [MENU.png [ANALYSIS.png REPORT.pdf]]\n",
                   stderr);
        return 2;
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Form1 form;
    form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("3"));
    // The port the measurements came in on, as Start would have set it.
    Form1Access::comm(form).setCommPort(3);
    Form1Access::receive(form, frame(box::Values{5234, 612, 2517, 2683}));
    form.show();
    if (!form.grab().save(args.at(1), "PNG")) {
        std::fprintf(stderr, "velumet-windowshot: cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    if (args.size() >= 3 && !withContextMenu(form).save(args.at(2), "PNG")) {
        std::fprintf(stderr, "velumet-windowshot: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    if (args.size() == 5 && !analysisShots(form, args.at(3), args.at(4))) {
        std::fprintf(stderr, "velumet-windowshot: cannot write %s or %s\n", qPrintable(args.at(3)),
                     qPrintable(args.at(4)));
        return 1;
    }
    return 0;
}
