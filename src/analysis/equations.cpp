#include "analysis/equations.h"

#include <array>

namespace analysis {

namespace {

// Sun et al. 2003, Table 5: TBW = intercept + a·H²/R + b·W.
struct Sun2003Coefficients
{
    double intercept;
    double heightSquaredOverR;
    double weight;
};
constexpr Sun2003Coefficients sun2003Men{1.20, 0.45, 0.18};
constexpr Sun2003Coefficients sun2003Women{3.75, 0.45, 0.11};

} // namespace

double bodyMassIndex(double heightCm, double weightKg)
{
    const double metres = heightCm / 100.0;
    return weightKg / (metres * metres);
}

double kyle2001FatFreeMass(Sex sex, double heightCm, double weightKg, double resistance,
                           double reactance)
{
    const double sexCode = sex == Sex::Male ? 1.0 : 0.0;
    return -4.104 + 0.518 * heightCm * heightCm / resistance + 0.231 * weightKg +
           0.130 * reactance + 4.229 * sexCode;
}

QString kyle2001Citation()
{
    return QStringLiteral(
        "Kyle UG, Genton L, Karsegard L, Slosman DO, Pichard C. Single prediction "
        "equation for bioelectrical impedance analysis in adults aged 20-94 "
        "years. Nutrition 2001;17:248-253.");
}

QString sun2003Citation()
{
    return QStringLiteral("Sun SS, Chumlea WC, Heymsfield SB, et al. Development of bioelectrical "
                          "impedance analysis prediction equations for body composition with the "
                          "use of a multicomponent model for use in epidemiologic surveys. Am J "
                          "Clin Nutr 2003;77:331-340.");
}

double sun2003TotalBodyWater(Sex sex, double heightCm, double weightKg, double resistance)
{
    const Sun2003Coefficients &c = sex == Sex::Male ? sun2003Men : sun2003Women;
    return c.intercept + c.heightSquaredOverR * heightCm * heightCm / resistance +
           c.weight * weightKg;
}

} // namespace analysis
