#include "measure/portlist.h"

#include "measure/exitstatus.h"
#include "serial/portdirectory.h"
#include "serial/portlisting.h"

#include <QStringList>
#include <QTextStream>

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
    if (!unnumbered.isEmpty()) {
        QTextStream(stderr) << "velumet-measure: to give a device marked '-' a port number N, "
                               "link it, for instance:\n"
                            << "  mkdir -p " << portdirectory::directory() << "\n"
                            << "  ln -s " << unnumbered.first() << ' '
                            << portdirectory::linkPath(portlisting::freePort(entries)) << "\n";
    }
    return exitstatus::ok;
}
