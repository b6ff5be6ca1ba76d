#include "moments/moment_errors.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/binomial_bounds.hpp"
#include "numeric/directed_rounding.hpp"

namespace unionbound {

namespace {

constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kSmallestSpacing = 0x1p-1074;  // bounds the subnormal rounding, 2^-1075
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// An upper bound of γ_k for a k given as an upper bound (a double).
double gammaUp(double k) {
    const double x = mulUp(k, kUnitRoundoff);
    if (!(x <= 0.5)) {
        return kInfinity;
    }
    return mulUp(x, addUp(1.0, mulUp(2.0, x)));
}

}  // namespace

RealVector momentTermCounts(const IntMatrixList& index, const IntVector& lengths) {
    std::int32_t top = 0;
    std::int32_t orders = 0;
    for (std::int32_t length : lengths) {
        top = std::max(top, length);
    }
    for (const IntMatrix& entry : index) {
        for (std::int32_t k : entry[1]) {
            orders = std::max(orders, k);
        }
    }
    const BinomialBounds binomial(top, orders);
    const auto q = static_cast<std::int32_t>(lengths.size());
    // C(L_c, k), or 0 where the subsequence or the order matches no subset.
    const auto count = [&](std::int32_t c, std::int32_t k) {
        if (c < 1 || c > q || k < 1) {
            return 0.0;
        }
        return binomial.upper(lengths[static_cast<std::size_t>(c - 1)], k);
    };
    RealVector counts;
    counts.reserve(index.size());
    for (const IntMatrix& entry : index) {
        const IntVector& subsequences = entry[0];
        const IntVector& ks = entry[1];
        if (subsequences.size() == 1) {
            counts.push_back(count(subsequences[0], ks[0]));
        } else if (subsequences[0] == subsequences[1]) {
            counts.push_back(0.0);
        } else {
            counts.push_back(mulUp(count(subsequences[0], ks[0]), count(subsequences[1], ks[1])));
        }
    }
    return counts;
}

RealVector momentErrors(const IntMatrixList& index, const IntVector& lengths,
                        const RealVector& moments, double probabilityTolerance) {
    const RealVector counts = momentTermCounts(index, lengths);
    RealVector errors(counts.size(), 0.0);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double n = counts[i];
        if (n == 0.0) {
            continue;  // the constant, or a sum of no terms: exact
        }
        const double gamma = gammaUp(addUp(n, -1.0));
        // A ≤ (s + 2Nδ)·(1 + 2γ) and A ≤ N·(1 + δ).
        const double spread = mulUp(2.0, mulUp(n, probabilityTolerance));
        const double fromSum =
            mulUp(std::max(0.0, addUp(moments[i], spread)), addUp(1.0, mulUp(2.0, gamma)));
        const double fromRange = mulUp(n, addUp(1.0, probabilityTolerance));
        const double absoluteSum = std::min(fromSum, fromRange);
        errors[i] =
            addUp(mulUp(addUp(gamma, kUnitRoundoff), absoluteSum), mulUp(n, kSmallestSpacing));
        if (!std::isfinite(moments[i])) {
            errors[i] = kInfinity;
        }
    }
    return errors;
}

}  // namespace unionbound
