#pragma once

#include "analysis/reference.h"

#include <array>
#include <optional>

// Bioelectrical impedance vector analysis after Piccoli A, Rossi B, Pillon L,
// Bucciante G. A new method for monitoring body fluid variation by
// bioimpedance analysis: the RXc graph. Kidney Int 1994;46:534-539.
namespace analysis {

// The tolerance ellipses a BIVA reference is drawn with.
constexpr std::array<double, 3> toleranceProbabilities{0.50, 0.75, 0.95};

// The radius, in Mahalanobis units, of the ellipse that holds the share p of
// a population of n: k = sqrt(2(n-1)(n+1)/(n(n-2)) F), with F the upper
// 1-p quantile of F(2, n-2), whose closed form needs no statistics library.
double toleranceRadius(int n, double p);

// The point's Mahalanobis distance from the reference's mean vector.
double mahalanobisDistance(const BivaGroup &group, double rh, double xch);

// Which tolerance ellipse is the smallest that holds the point.
enum class ToleranceRegion { Within50, Within75, Within95, Outside };
ToleranceRegion toleranceRegion(const BivaGroup &group, double distance);
// "50%", "75%", "95%" or "outside", as records write it.
QString toleranceRegionKey(ToleranceRegion region);

// An ellipse in the RXc plane, in Ω/m: the angle is the major axis's, in
// degrees counterclockwise from the R/H axis, with both axes in Ω/m.
struct Ellipse
{
    double probability = 0;
    double centreRh = 0;
    double centreXch = 0;
    double semiMajor = 0;
    double semiMinor = 0;
    double angleDegrees = 0;
};

// The 50 %, 75 % and 95 % tolerance ellipses, in that order.
std::array<Ellipse, 3> toleranceEllipses(const BivaGroup &group);

} // namespace analysis
