#include "measure/portlist.h"

#include "measure/exitstatus.h"
#include "serial/portdirectory.h"
#include "serial/portlisting.h"

#include <QStringList>
#include <QTextStream>

namespace {

// How a device without a number gets one.
void printNumberingHint(const QString &device, int port)
{
    QTextStream err(stderr);
#ifdef Q_OS_WIN
    // Windows numbers its ports itself: a port named otherwise is renamed.
    err << "velumet-measure: to give a device marked '-' a port number, give it a COM port name\n"
        << "  in the Device Manager (the port's settings, Advanced), for instance COM" << port
        << "; " << device << " then answers to " << port << ".\n";
#else
    err << "velumet-measure: to give a device marked '-' a port number N, link it, for instance:\n"
        << "  mkdir -p " << portdirectory::directory() << "\n"
        << "  ln -s " << device << ' ' << portdirectory::linkPath(port) << "\n";
#endif
}

} // namespace

int printPortList()
{
    QTextStream out(stdout);
    QStringList unnumbered;
    const std::vector<portlisting::Entry> entries = portlisting::listPorts();
    for (const portlisting::Entry &entry : entries) {
        QStringList known;
        if (!entry.problem.isEmpty())
            known << u'(' + entry.problem + u')';
        else if (!entry.present)
            known << QStringLiteral("(device missing)");
        for (const QString &fact : {entry.description, entry.manufacturer})
            if (!fact.isEmpty())
                known << fact;
        if (!entry.serialNumber.isEmpty())
            known << QStringLiteral("serial number ") + entry.serialNumber;
        out << (entry.port ? QString::number(*entry.port) : QStringLiteral("-")) << '\t'
            << entry.device << '\t' << known.join(QStringLiteral(", ")) << '\n';
        if (!entry.port)
            unnumbered << entry.device;
    }
    out.flush();
    if (!unnumbered.isEmpty())
        printNumberingHint(unnumbered.first(), portlisting::freePort(entries));
    return exitstatus::ok;
}
