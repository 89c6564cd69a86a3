#pragma once

#include "analysis/analysis.h"
#include "evaluation/measurement.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// One measurement as it is written down: when and where it was taken, the
// values it gave and, if it failed, why; and, when a subject was given, what
// the measurement means for that person.
struct Record
{
    QDateTime time;
    int port = 0;
    Measurement measurement;
    // Empty when the measurement succeeded.
    QString error;
    // Set whenever a subject was given, for a failed measurement too: its
    // record then carries the subject, no values and the note why.
    std::optional<analysis::Analysis> analysis;
};

namespace recordformat {

enum class Format { Text, Csv, Json };

// The record of a measurement the evaluation ended: a frame that broke off
// carries the values before the break and says why it broke.
Record fromMeasurement(const QDateTime &time, int port, const Measurement &measurement);

// Why a frame gave no whole measurement, in words a lab understands, with the
// failure's own description and number for whoever reads the code.
QString badFrame(const Failure &failure);

// The CSV header line, CRLF included: with the analysis's columns after
// r_foot and before error for records that carry one. A file's header fixes
// its columns, so records with and without an analysis never share a file.
QByteArray csvHeader(bool withAnalysis = false);

// One record as a complete line, its line ending included: CSV (RFC 4180,
// CRLF), a JSON object (JSON Lines) or a line for people, which the
// analysis, if any, follows in lines of its own. CSV and JSON write '.' in
// every locale, the text the locale's decimal separator.
QByteArray csv(const Record &record);
QByteArray json(const Record &record);
QByteArray text(const Record &record);
QByteArray line(Format format, const Record &record);

// The line break that ends a line of the format.
QByteArray lineBreak(Format format);

// ISO 8601 with milliseconds and the offset from UTC, "+00:00" for UTC too.
QString isoTime(const QDateTime &time);

} // namespace recordformat
