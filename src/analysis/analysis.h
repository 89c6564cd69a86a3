#pragma once

#include "analysis/biva.h"
#include "analysis/reference.h"
#include "analysis/subject.h"
#include "evaluation/measurement.h"

#include <QStringList>

#include <optional>

// What a measurement means for the person measured. Every value is either
// given inside the population its equation or reference was made for, or
// missing, with a sentence in the notes that says why.
namespace analysis {

enum class PhaseAngleClass { BelowP5, P5ToP95, AboveP95 };
// "below_p5", "p5_p95" or "above_p95", as records write it.
QString phaseAngleClassKey(PhaseAngleClass phaseAngleClass);

struct Analysis
{
    Subject subject;
    // The BIVA reference the vector was compared with, by name.
    QString referenceName;

    std::optional<double> bmi;
    // Ω/m.
    std::optional<double> rh;
    std::optional<double> xch;

    std::optional<double> bivaDistance;
    std::optional<ToleranceRegion> bivaRegion;

    // The unrounded angle in degrees that was compared with the band: the
    // shown one, rounded to 0.1, may lie on the other side of a percentile.
    std::optional<double> phaseAngle;
    // The phase angle's z against its band.
    std::optional<double> phaseAngleZ;
    std::optional<PhaseAngleClass> phaseAngleClass;
    std::optional<PhaseAngleBand> phaseAngleBand;

    // kg, kg, %, litres.
    std::optional<double> ffm;
    std::optional<double> fm;
    std::optional<double> fatPercent;
    std::optional<double> tbw;

    // One sentence per missing value, and one for a reference whose ages the
    // subject is outside.
    QStringList notes;
    // The notes as one paragraph.
    QString note() const { return notes.join(u' '); }
};

// Whole-body resistance and reactance at 50 kHz, hand to foot, supine:
// R-Hand and R-Foot take no part. A failed measurement gives no values.
Analysis analyse(const Subject &subject, const Measurement &measurement,
                 const BivaReference &reference);

} // namespace analysis
