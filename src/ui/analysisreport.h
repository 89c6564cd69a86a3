#pragma once

#include "analysis/analysis.h"
#include "record/record.h"
#include "ui/bivaplot.h"

#include <QString>

#include <optional>

// The one-page report to hand to the person measured or to file: the
// measurement, the person, every analysis value, the graph and the phase
// angle bar, and the papers behind them, as real text and vectors in a PDF.
namespace analysisreport {

struct Content
{
    Record record;
    analysis::Analysis analysis;
    analysis::BivaReference reference;
    bivaplot::Scene scene;
    // The phase angle's band and the measured angle in degrees, as the bar shows them.
    std::optional<analysis::PhaseAngleBand> band;
    std::optional<double> phaseAngle;
};

// Writes the report as one A4 page. The file appears whole or not at all:
// false, with the system's reason in error, leaves whatever was there.
bool write(const QString &path, const Content &content, QString *error);

} // namespace analysisreport
