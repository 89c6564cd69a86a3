#pragma once

#include <QString>

// The paragraphs of velumet-measure --help that differ between systems:
// which device a port number means, and what ends a series and with which
// status. Each is whole lines without the last line break.
namespace platformhelp {

QString ports();
QString stopping();
// The exit status of a series stopped before its count, as a line of the
// list of statuses.
QString stoppedStatus();

} // namespace platformhelp
