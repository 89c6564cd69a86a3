#pragma once

#include "common/failure.h"

#include <QString>

#include <array>
#include <optional>

// One measurement as the evaluation leaves it: every value as the window
// shows it and as a number, in the order the evaluation writes them. A value
// the evaluation did not reach has neither.
struct Measurement
{
    enum Value { Resistance, Reactance, RHand, RFoot, PhaseAngle };
    static constexpr int valueCount = 5;

    // The general decimal form with the locale's separator; empty where missing.
    std::array<QString, valueCount> texts;
    std::array<std::optional<double>, valueCount> numbers;
    // Why the evaluation ended before the last value. A resistance of 0 is
    // no failure: the phase angle is undefined then, and simply missing.
    std::optional<Failure> failure;
};
