#pragma once

#include "analysis/subject.h"

#include <QString>

// Body-composition equations, each as its paper gives it: height in cm,
// weight in kg, resistance and reactance in Ω, whole body, hand to foot, at
// 50 kHz, supine. Each applies only inside the population it was made for;
// the callers check that (see analysis.h).
namespace analysis {

// Body mass index in kg/m².
double bodyMassIndex(double heightCm, double weightKg);

// Kyle UG, Genton L, Karsegard L, et al. Single prediction equation for
// bioelectrical impedance analysis in adults aged 20-94 years. Nutrition
// 2001;17:248-253. Fat-free mass in kg; the paper codes men 1, women 0.
double kyle2001FatFreeMass(Sex sex, double heightCm, double weightKg, double resistance,
                           double reactance);
// Each paper as reports cite it: authors, title, journal, year, pages.
QString kyle2001Citation();
struct Kyle2001
{
    static constexpr int ageMin = 20;
    static constexpr int ageMax = 94;
    static constexpr double bmiMin = 17.0;
    static constexpr double bmiMax = 33.8;
};

// Sun SS, Chumlea WC, Heymsfield SB, et al. Development of bioelectrical
// impedance analysis prediction equations for body composition with the use
// of a multicomponent model for use in epidemiologic surveys. Am J Clin Nutr
// 2003;77:331-340, Table 5. Total body water in litres (kg).
double sun2003TotalBodyWater(Sex sex, double heightCm, double weightKg, double resistance);
QString sun2003Citation();
struct Sun2003
{
    static constexpr int ageMin = 12;
    static constexpr int ageMax = 94;
};

} // namespace analysis
