#pragma once

#include "evaluation/measurement.h"
#include "record/record.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QMimeData;

// The measurement on display as the clipboard carries it, for whatever the
// user pastes it into: a spreadsheet takes the plain text as a header row
// and a value row, a word processor the HTML table, a script the CSV record
// that velumet-measure would have written.
namespace measurementcopy {

// The display's rows from top to bottom: a caption and the value beside it.
using Rows = std::vector<std::pair<QString, Measurement::Value>>;

// Plain text and HTML show the values as the fields do, the locale's
// decimal separator included, and an empty cell for a value the evaluation
// did not reach; the CSV record comes with its header line, as a new file
// has it. A record with an analysis adds the subject, every analysis value
// with its unit and the note to the plain text and the HTML, and the
// analysis's columns to the CSV, as velumet-measure writes them.
std::unique_ptr<QMimeData> mimeData(const Rows &rows, const Record &record);

} // namespace measurementcopy
