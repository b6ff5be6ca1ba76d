// The first stage of a pass: binomial moments of the subsequence counts.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// With q = n / l consecutive subsequences (subsequence c < q holds events
// (c-1)·l+1 … c·l, the last one holds (q-1)·l+1 … n) and X_c the number of
// occurring events of subsequence c, returns one moment per entry of
// momentIndexList(m, pairs, orders), in that order:
//   the constant 1.0;
//   E[C(X_c, k)] = the sum of the probabilities of the k-subsets inside c;
//   E[C(X_a, d)·C(X_b, e)] = the sum over the (d+e)-subsets with exactly d
//   events in a and e events in b.
// `prob` holds the intersection probabilities in the subset order for (n, m).
// Every sum starts at 0.0 and adds its terms in increasing subset order.
// Throws std::invalid_argument unless n ≥ 1, m ≥ 1, prob has
// intersectionCount(n, m) entries and the tables are the chain division of
// n / l subsequences (isChainDivision): every order m, pairs (1,2) … (1,q).
RealVector binomialMoments(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                           const IntMatrix& pairs, const IntVector& orders);

}  // namespace unionbound
