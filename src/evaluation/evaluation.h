#pragma once

#include "evaluation/measurement.h"

#include <optional>

class ReceiveBuffer;

// Turns what the box sent into a measurement: the frame's record is
// deciphered, its four values cut out and shown in tenths, and the phase
// angle derived from resistance and reactance.
namespace evaluation {

// Nothing until the buffer holds a complete frame. A frame that cannot be
// deciphered or whose values break off gives the values before the break and
// the failure; it never throws.
std::optional<Measurement> evaluate(const ReceiveBuffer &buffer);

// Writes resistance, reactance, R-Hand and R-Foot from the deciphered text's
// record, in that order, each before the next is read. Throws Failure 13 or 6
// at the first value that is no 16-bit number; those before it stay written.
void fillVariables(const QString &myString, Measurement &measurement);

// Degrees, between -90 and 90; undefined for a resistance of 0.
std::optional<double> getPhasenwinkel(double resistance, double reactance);

} // namespace evaluation
