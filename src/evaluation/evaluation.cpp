#include "evaluation/evaluation.h"

#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/receivebuffer.h"

#include <array>
#include <cmath>
#include <utility>

namespace evaluation {

namespace {

// The divisor the phase angle has always been computed with. Over every pair
// of 16-bit tenths for resistance and reactance it rounds to the same tenth
// as full-precision pi would.
constexpr double piAsShown = 3.14159265359;

// Each value in the record is six characters wide.
constexpr qsizetype valueWidth = 6;

void set(Measurement &measurement, Measurement::Value value, double number)
{
    // The window shows no "-0"; a record must not either (+0.0 turns a
    // negative zero positive).
    measurement.numbers[value] = number + 0.0;
    measurement.texts[value] = numbertext::formatGeneral(number);
}

} // namespace

std::optional<Measurement> evaluate(const ReceiveBuffer &buffer)
{
    if (!buffer.holdsFrame())
        return std::nullopt;
    Measurement measurement;
    try {
        QString frame = buffer.head();
        fillVariables(mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey()),
                      measurement);
    } catch (const Failure &failure) {
        measurement.failure = failure;
        return measurement;
    }
    const std::optional<double> phase =
        getPhasenwinkel(*measurement.numbers[Measurement::Resistance],
                        *measurement.numbers[Measurement::Reactance]);
    if (phase)
        set(measurement, Measurement::PhaseAngle, numbertext::roundHalfEven(*phase, 1));
    return measurement;
}

void fillVariables(const QString &myString, Measurement &measurement)
{
    // Everything before the first ";", or all of it.
    const QStringView record = QStringView(myString).left(myString.indexOf(u';'));
    // Where each value starts in the record (0-based), in the order written.
    constexpr std::array<std::pair<qsizetype, Measurement::Value>, 4> rows{
        {{5, Measurement::Resistance},
         {12, Measurement::Reactance},
         {19, Measurement::RHand},
         {26, Measurement::RFoot}}};
    for (const auto &[position, value] : rows)
        set(measurement, value, numbertext::toInt16(record.mid(position, valueWidth)) / 10.0);
}

std::optional<double> getPhasenwinkel(double resistance, double reactance)
{
    if (resistance == 0.0)
        return std::nullopt;
    return std::atan(reactance / resistance) * 180.0 / piAsShown;
}

} // namespace evaluation
