#include "classical/frechet.hpp"

#include <algorithm>

#include "moments/subsets.hpp"
#include "numeric/directed_rounding.hpp"

namespace unionbound {

std::optional<FrechetViolation> firstFrechetViolation(const RealVector& prob, std::int32_t n,
                                                      std::int32_t m, double slack) {
    if (m < 2 || n < 2 || static_cast<std::int64_t>(prob.size()) < intersectionCount(n, 2)) {
        return std::nullopt;
    }
    // The pairs follow the singles, (1,2), (1,3), …, (2,3), … in order.
    std::size_t position = static_cast<std::size_t>(n);
    for (std::int32_t a = 1; a < n; ++a) {
        for (std::int32_t b = a + 1; b <= n; ++b, ++position) {
            const double pa = prob[static_cast<std::size_t>(a - 1)];
            const double pb = prob[static_cast<std::size_t>(b - 1)];
            const double pab = prob[position];
            // Moving each value by the slack toward the bounds, proven:
            // P(a∩b) - slack > min(P(a), P(b)) + slack, or
            // P(a∩b) + slack < P(a) - slack + P(b) - slack - 1.
            const double low = addDown(pab, -slack);
            const double high = addUp(pab, slack);
            if (low > addUp(std::min(pa, pb), slack)) {
                return FrechetViolation{a, b, pab, pa, pb, true};
            }
            const double sum = addDown(addDown(addDown(pa, -slack), addDown(pb, -slack)), -1.0);
            if (high < sum) {
                return FrechetViolation{a, b, pab, pa, pb, false};
            }
        }
    }
    return std::nullopt;
}

}  // namespace unionbound
