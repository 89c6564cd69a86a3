#include "measure/platformhelp.h"

QString platformhelp::ports()
{
    return QStringLiteral(
        "Port N is COMN, the same as in the Velumet Display window; Device Manager shows each\n"
        "port's number under \"Ports (COM & LPT)\". The port stays open for the whole series.");
}

// Windows tells a program that loads its window system, as every Qt
// program does, nothing of a logoff or a shutdown.
QString platformhelp::stopping()
{
    return QStringLiteral(
        "Ctrl-C, Ctrl-Break and closing the console end a series after its last finished\n"
        "record; the measurement in flight gives none, and its answer is waited for as above.\n"
        "A program started with Ctrl-C disabled (in a process group of its own) keeps it so.\n"
        "Logging off and shutting down end the program without notice: the records written\n"
        "so far are whole and on the disk.");
}

QString platformhelp::stoppedStatus()
{
    return QStringLiteral(
        "  129  closing the console ended the series before its --count was reached\n"
        "  130  Ctrl-C or Ctrl-Break did; a --count 0 series ends with 0 or 1 by its records");
}
