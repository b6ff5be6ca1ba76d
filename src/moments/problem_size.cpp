#include "moments/problem_size.hpp"

#include <limits>
#include <string>

#include "moments/moment_index.hpp"
#include "moments/pass_division.hpp"
#include "moments/power_moments.hpp"
#include "moments/subsets.hpp"

namespace unionbound {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// stirling2 and factorial are exact in 32 bits for arguments up to 12
// (S(12,·) ≤ 1379400, 12! = 479001600). The coefficients of an order include
// those of every smaller order, and order 12 already holds one beyond 32 bits
// (S(12,11)·11! = 66·39916800), so no larger order is looked at.
constexpr std::int64_t kLargestOrderLookedAt = 12;

std::int64_t coefficient(std::int32_t k, std::int32_t kk) {
    return std::int64_t{stirling2(k, kk)} * factorial(kk);
}

}  // namespace

bool coefficientsFit(std::int64_t m) {
    if (m > kLargestOrderLookedAt) {
        return false;
    }
    const auto order = static_cast<std::int32_t>(m);
    for (std::int32_t k = 1; k <= order; ++k) {
        for (std::int32_t kk = 1; kk <= k; ++kk) {
            if (coefficient(k, kk) > kInt32Max) {
                return false;
            }
        }
    }
    for (std::int32_t e = 1; e < order; ++e) {
        for (std::int32_t d = 1; d + e <= order; ++d) {
            for (std::int32_t ee = 1; ee <= e; ++ee) {
                for (std::int32_t dd = 1; dd <= d; ++dd) {
                    if (coefficient(e, ee) * coefficient(d, dd) > kInt32Max) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

Parsed<std::int32_t> checkEvents(std::int64_t n) {
    if (n < 6) {
        return refuse("n=" + std::to_string(n) +
                      " is too small: at least 6 events are needed (two subsequences of at "
                      "least 3 events each)");
    }
    if (n > kInt32Max) {
        return refuse("n=" + std::to_string(n) + " is too large: at most " +
                      std::to_string(kInt32Max) + " events can be counted");
    }
    return static_cast<std::int32_t>(n);
}

Parsed<ProblemSize> checkOrder(std::int64_t n, std::int64_t m) {
    // The table sizes below are only computed for an n that can be run.
    const Parsed<std::int32_t> events = checkEvents(n);
    if (!events.ok()) {
        return refuse(events.message());
    }
    const std::string named = "m=" + std::to_string(m);
    if (m < 3) {
        return refuse(named +
                      " is too small: the maximum order m must be an odd number of at least 3");
    }
    if (m % 2 == 0) {
        return refuse(named +
                      " is even: the maximum order m must be an odd number (an even m gives no "
                      "upper bound)");
    }
    if (m > n / 2) {
        return refuse(named + " is larger than n/2=" + std::to_string(n / 2) +
                      ": every subsequence needs at least m events, so no pass could run");
    }
    if (!coefficientsFit(m)) {
        return refuse(named + " is too large: its moment coefficients do not fit in 32-bit "
                              "integers");
    }
    const ProblemSize size{events.value(), static_cast<std::int32_t>(m)};
    if (intersectionCount(size.n, size.m) >= kCountTooLarge) {
        return refuse("n=" + std::to_string(n) + ", " + named +
                      " need more intersection probabilities than a 32-bit integer can count");
    }
    // The largest moment table is that of the pass l = m, with the most
    // subsequences.
    const std::int64_t q = subsequenceCount(size.n, size.m);
    const std::int64_t entries = 1 + q * m + (q - 1) * mixedOrdersPerPair(size.m);
    if (entries > kInt32Max / entries) {
        return refuse("n=" + std::to_string(n) + ", " + named +
                      " give a moment table too large for 32-bit indices");
    }
    return size;
}

Parsed<ProblemSize> checkAnyOrder(std::int64_t n, std::int64_t m) {
    if (n < 1) {
        return refuse("n=" + std::to_string(n) + " is too small: at least 1 event is needed");
    }
    if (n > kInt32Max) {
        return refuse("n=" + std::to_string(n) + " is too large: at most " +
                      std::to_string(kInt32Max) + " events can be counted");
    }
    const std::string named = "m=" + std::to_string(m);
    if (m < 1) {
        return refuse(named + " is too small: the maximum order m must be at least 1");
    }
    if (m > n) {
        return refuse(named + " is larger than n=" + std::to_string(n) +
                      ": no intersection has more events than there are");
    }
    const ProblemSize size{static_cast<std::int32_t>(n), static_cast<std::int32_t>(m)};
    if (intersectionCount(size.n, size.m) >= kCountTooLarge) {
        return refuse("n=" + std::to_string(n) + ", " + named +
                      " need more intersection probabilities than a 32-bit integer can count");
    }
    return size;
}

}  // namespace unionbound
