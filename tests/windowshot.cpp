#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>

#include <cstdio>

// Renders the window as a user sees it after one measurement, for the
// README: the port typed, a frame from the simulated box received.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fputs("usage: velumet-windowshot OUT.png\n", stderr);
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
    return 0;
}
