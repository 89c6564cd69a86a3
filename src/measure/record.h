#pragma once

#include "evaluation/measurement.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One measurement of a series as it is written down: when and where it was
// taken, the values it gave and, if it failed, why.
struct Record
{
    QDateTime time;
    int port = 0;
    Measurement measurement;
    // Empty when the measurement succeeded.
    QString error;
};

namespace recordformat {

// The CSV header line, CRLF included.
QByteArray csvHeader();

// One record as a complete line, its line ending included: CSV (RFC 4180,
// CRLF), a JSON object (JSON Lines) or a line for people.
QByteArray csv(const Record &record);
QByteArray json(const Record &record);
QByteArray text(const Record &record);

// ISO 8601 with milliseconds and the offset from UTC, "+00:00" for UTC too.
QString isoTime(const QDateTime &time);

} // namespace recordformat
