#include "sharpest/memory_plan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

namespace {

double binomial(std::int32_t n, std::int32_t k) {
    double c = 1.0;
    for (std::int32_t j = 1; j <= k; ++j) {
        c = c * static_cast<double>(n - k + j) / static_cast<double>(j);
    }
    return c;
}

}  // namespace

double plannedSharpestBytes(std::int32_t n, std::int32_t m) {
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

double plannedInteriorPointBytes(std::int32_t n, std::int32_t rows) {
    const double r = static_cast<double>(rows);
    return (9.0 * 8.0 + 9.0) * std::ldexp(1.0, n) + 8.0 * r * r;
}

bool interiorPointFits(std::int32_t n, std::int32_t rows) {
    return n <= kLargestLatticeEvents && rows <= kLargestInteriorPointRows &&
           plannedInteriorPointBytes(n, rows) <= kSharpestMemoryBudget;
}

std::int64_t plannedWorkingSet(std::int32_t rows) {
    return static_cast<std::int64_t>(kPlannedOutcomesPerRow) * rows;
}

std::int32_t largestSharpestEvents(std::int32_t m) {
    std::int32_t n = 0;
    while (n < kLargestLatticeEvents && plannedSharpestBytes(n + 1, m) <= kSharpestMemoryBudget) {
        ++n;
    }
    return n;
}

std::string describeSharpestMemoryPlan(std::int32_t m) {
    const std::int32_t n = largestSharpestEvents(m);
    constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
    char line[256];
    std::snprintf(line, sizeof line,
                  "the sharpest bounds of order m = %d take at most n = %d events: about %.1f GiB "
                  "planned there (2^n prices and an LP of up to %.0f outcomes per row), within "
                  "%.0f GiB",
                  static_cast<int>(m), static_cast<int>(n), plannedSharpestBytes(n, m) / kGiB,
                  kPlannedOutcomesPerRow, kSharpestMemoryBudget / kGiB);
    return line;
}

}  // namespace unionbound
