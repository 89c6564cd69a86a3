#pragma once

#include "analysis/analysis.h"

#include <QString>

#include <optional>
#include <vector>

// The analysis in words and numbers as people read them: the window's
// fields, the clipboard's rows and the report all take their texts from
// here, so that the three never disagree.
namespace analysistext {

// Fixed decimals with the locale's separator, no digit grouping, and an
// ASCII "-" as the measuring window shows it.
QString number(double value, int decimals);

// "female"/"male" for a sentence, "Female"/"Male" for a caption.
QString sexCaption(analysis::Sex sex);

// "men 40–49: 7.76 ± 0.85", "women 70 and over: 5.64 ± 1.02".
QString band(const analysis::PhaseAngleBand &band);

struct Row
{
    QString caption;
    // With its unit; empty where the value is missing.
    QString text;
};

// Sex, age, height and weight; empty where the user gave none.
std::vector<Row> subjectRows(const analysis::Subject &subject);

// BMI, R/H, Xc/H, BIVA, phase angle z, fat-free mass, fat mass, body fat,
// total body water, in that order.
std::vector<Row> resultRows(const analysis::Analysis &result);

} // namespace analysistext
