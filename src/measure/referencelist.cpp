#include "measure/referencelist.h"

#include "analysis/reference.h"
#include "measure/exitstatus.h"

#include <QTextStream>

int printReferenceList()
{
    QTextStream out(stdout);
    for (const analysis::BivaReference &reference : analysis::builtInReferences())
        out << reference.name << '\t' << reference.citation << '\n';
    return exitstatus::ok;
}
