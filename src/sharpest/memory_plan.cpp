#include "sharpest/memory_plan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

namespace {

double binomial(double n, std::int64_t k) {
    double c = 1.0;
    for (std::int64_t j = 1; j <= k; ++j) {
        c = c * (n - static_cast<double>(k - j)) / static_cast<double>(j);
    }
    return c;
}

// C(n,1) + … + C(n,m), as a double.
double intersections(double n, std::int64_t m) {
    double count = 0.0;
    for (std::int64_t k = 1; k <= m; ++k) {
        count += binomial(n, k);
    }
    return count;
}

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

}  // namespace

double plannedLatticeBytes(std::int32_t n, std::int32_t m) {
    const std::int32_t order = std::min(m, n);
    double rows = 1.0;
    double averageNonzeros = 1.0;
    for (std::int32_t k = 1; k <= order; ++k) {
        rows += binomial(n, k);
        averageNonzeros += binomial(n, k) / std::ldexp(1.0, k);
    }
    const double pricing = 10.0 * std::ldexp(1.0, n);
    const double lp =
        (2.0 * rows + kPlannedOutcomesPerRow * rows * averageNonzeros) * kPlannedBytesPerNonzero;
    return pricing + lp;
}

std::int32_t largestLatticeEvents(std::int32_t m) {
    std::int32_t n = 0;
    while (n < kLargestLatticeEvents && plannedLatticeBytes(n + 1, m) <= kSharpestMemoryBudget) {
        ++n;
    }
    return n;
}

double plannedEventSetBytes(double positive, std::int32_t m) {
    const double nonzeros = intersections(2.0 * m, m) + 1.0;
    return positive * (kEventSetBytesPerRow +
                       (2.0 + kPlannedOutcomesPerRow * nonzeros) * kPlannedBytesPerNonzero);
}

bool eventSetsFit(double positive, std::int32_t m) {
    return plannedEventSetBytes(positive, m) <= kSharpestMemoryBudget;
}

bool sharpestFits(std::int64_t n, std::int64_t m) {
    if (n <= kLargestLatticeEvents && n <= largestLatticeEvents(static_cast<std::int32_t>(m))) {
        return true;
    }
    const double count = intersections(static_cast<double>(n), std::min(m, n));
    return 8.0 * count <= kSharpestMemoryBudget && count < 2.0e9;
}

std::int64_t plannedWorkingSet(std::int32_t rows) {
    return static_cast<std::int64_t>(kPlannedOutcomesPerRow) * rows;
}

double plannedInteriorPointBytes(std::int32_t n, std::int32_t rows) {
    const double r = static_cast<double>(rows);
    return (9.0 * 8.0 + 9.0) * std::ldexp(1.0, n) + 8.0 * r * r;
}

bool interiorPointFits(std::int32_t n, std::int32_t rows) {
    return n <= kLargestLatticeEvents && rows <= kLargestInteriorPointRows &&
           plannedInteriorPointBytes(n, rows) <= kSharpestMemoryBudget;
}

std::string describeSharpestMemoryPlan(std::int64_t n, std::int64_t m) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "the sharpest bounds hold every one of the %.4g probabilities until the positive "
                  "ones are known, %.1f GiB for n = %lld, m = %lld, within %.0f GiB",
                  intersections(static_cast<double>(n), std::min(m, n)),
                  8.0 * intersections(static_cast<double>(n), std::min(m, n)) / kGiB,
                  static_cast<long long>(n), static_cast<long long>(m),
                  kSharpestMemoryBudget / kGiB);
    return line;
}

}  // namespace unionbound
