#include "analysis/biva.h"

#include <cmath>

namespace analysis {

namespace {

constexpr double pi = 3.14159265358979323846;

// A point that lies on an ellipse by construction may come out a few ulps
// beyond it; it is still held by it.
constexpr double boundarySlack = 1e-9;

} // namespace

double toleranceRadius(int n, double p)
{
    const double m = n - 2.0;
    const double f = m / 2.0 * std::expm1(-2.0 / m * std::log1p(-p));
    return std::sqrt(2.0 * (n - 1.0) * (n + 1.0) / (n * m) * f);
}

double mahalanobisDistance(const BivaGroup &group, double rh, double xch)
{
    const double z1 = (rh - group.rhMean) / group.rhSd;
    const double z2 = (xch - group.xchMean) / group.xchSd;
    return std::sqrt((z1 * z1 - 2.0 * group.r * z1 * z2 + z2 * z2) / (1.0 - group.r * group.r));
}

ToleranceRegion toleranceRegion(const BivaGroup &group, double distance)
{
    constexpr std::array<ToleranceRegion, 3> regions{
        ToleranceRegion::Within50, ToleranceRegion::Within75, ToleranceRegion::Within95};
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const double k = toleranceRadius(group.n, toleranceProbabilities[i]);
        if (distance <= k * (1.0 + boundarySlack))
            return regions[i];
    }
    return ToleranceRegion::Outside;
}

QString toleranceRegionKey(ToleranceRegion region)
{
    switch (region) {
    case ToleranceRegion::Within50:
        return QStringLiteral("50%");
    case ToleranceRegion::Within75:
        return QStringLiteral("75%");
    case ToleranceRegion::Within95:
        return QStringLiteral("95%");
    case ToleranceRegion::Outside:
        break;
    }
    return QStringLiteral("outside");
}

std::array<Ellipse, 3> toleranceEllipses(const BivaGroup &group)
{
    // The axes of the covariance matrix [[a, c], [c, b]] are its
    // eigenvectors; a Mahalanobis radius k stretches them by k·sqrt(λ).
    const double a = group.rhSd * group.rhSd;
    const double b = group.xchSd * group.xchSd;
    const double c = group.r * group.rhSd * group.xchSd;
    const double half = (a + b) / 2.0;
    const double spread = std::hypot((a - b) / 2.0, c);
    const double major = std::sqrt(half + spread);
    const double minor = std::sqrt(std::max(half - spread, 0.0));
    const double angle = 0.5 * std::atan2(2.0 * c, a - b) * 180.0 / pi;

    std::array<Ellipse, 3> ellipses;
    for (std::size_t i = 0; i < ellipses.size(); ++i) {
        const double p = toleranceProbabilities[i];
        const double k = toleranceRadius(group.n, p);
        ellipses[i] = {p, group.rhMean, group.xchMean, k * major, k * minor, angle};
    }
    return ellipses;
}

} // namespace analysis
