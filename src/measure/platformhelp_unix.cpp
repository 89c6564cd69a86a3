#include "measure/platformhelp.h"

QString platformhelp::ports()
{
    return QStringLiteral(
        "Port N is the device the link comN in ~/.config/velumet-display/ports/ points to,\n"
        "else /dev/ttyS<N-1>, the same as in the Velumet Display window. The port stays open for\n"
        "the whole series.");
}

QString platformhelp::stopping()
{
    return QStringLiteral(
        "Ctrl-C, kill (SIGTERM) and a hang-up (SIGHUP) end a series after its last finished\n"
        "record; the measurement in flight gives none, and its answer is waited for as above. A "
        "signal ignored when the program\n"
        "started (nohup) stays ignored.");
}

QString platformhelp::stoppedStatus()
{
    return QStringLiteral(
        "  128+N  a signal N ended the series before its --count was reached (130 for Ctrl-C);\n"
        "       a --count 0 series ends with 0 or 1 by its records");
}
