// The binomial moments of many passes in one walk over the probabilities.
//
// Every moment is a sum of the probabilities of the subsets of one shape
// (k events inside one subsequence, or d events of one subsequence with e of
// another). In the subset order, the subsets of one shape that share all but
// their last element sit at consecutive positions, so a moment is a sum of
// runs of consecutive probabilities, met in increasing order. Each sum still
// starts at 0.0 and adds its terms one by one in increasing subset order:
// the result is the same double as the plain scan of every subset gives.
//
// The walk goes once through the probabilities in order, row by row: the
// subsets that share all but their last event. Where a row meets a pass
// follows from the subsequences of its first events, so each pass takes its
// runs of the row while the row is in the cache; long runs are added four
// side by side, short ones at once.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

// The division of one pass, as binomialMoments takes it.
struct PassDivision {
    std::int32_t l;
    IntMatrix pairs;
    IntVector orders;
};

struct PassMoments {
    RealVector moments;  // as binomialMoments(prob, n, l, m, pairs, orders)
    std::int64_t terms;  // the number of probabilities its sums added
};

// Whether `pass` is the chain division of n events for order m: 1 ≤ l ≤ n,
// q = n / l subsequences of order m each, and the first paired with every
// other, (1,2), (1,3), …, (1,q), in that order.
bool isChainDivision(std::int32_t n, std::int32_t m, const PassDivision& pass);

// binomialMoments for every pass of `passes`, in one walk over `prob`.
// Throws std::invalid_argument unless n ≥ 1, m ≥ 1, `prob` holds
// intersectionCount(n, m) probabilities and every pass is a chain division.
std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes);

}  // namespace unionbound
