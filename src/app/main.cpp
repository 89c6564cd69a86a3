#include "ui/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velumet Display"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velumet Display"));
    // Lets the desktop match the window to its installed launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velumet.Display"));
    Form1 window;
    window.show();
    return QApplication::exec();
}
