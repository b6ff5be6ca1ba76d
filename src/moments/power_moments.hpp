// The second stage of a pass: the matrix that turns binomial moments into
// power moments, E[X^k] = Σ_k' S(k,k')·k'!·E[C(X,k')] and its bivariate
// analogue.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// The Stirling number of the second kind S(a, b): 1 when a = b; else 0 when
// b = 0 or a < b; else 1 when b = 1; else S(a-1, b-1) + b·S(a-1, b).
std::int32_t stirling2(std::int32_t a, std::int32_t b);

// k! as 1·1·2·…, multiplying by i while i < k + 0.5; 1 for k ≤ 1.
std::int32_t factorial(std::int32_t k);

// The N×N conversion matrix, N the length of momentIndexList(m, pairs,
// orders), rows and columns in the order of that list. Row 0 is (1, 0, …).
// A univariate row ((c),(k)) holds S(k,k')·k'! in the columns ((c),(k')); a
// bivariate row ((a,b),(d,e)) holds S(e,e')·S(d,d')·e'!·d'! (an integer
// product in that order) in the columns ((a,b),(d',e')); all else is 0.0.
RealMatrix powerMomentMatrix(std::int32_t m, const IntMatrix& pairs, const IntVector& orders);

}  // namespace unionbound

namespace unionbound {

// The power moments MatVecProduct(powerMomentMatrix(m, pairs, orders),
// moments), to the last bit, without the N×N matrix: each row is summed over
// the columns of its own subsequence (or pair) only, in increasing order.
// The columns left out hold 0.0, and with finite moments their products are
// zeros that leave a sum started at +0.0 unchanged (such a sum is never
// -0.0). Moments that are not all finite, or not one per entry of the moment
// index list, go through the full matrix product instead.
RealVector powerMoments(std::int32_t m, const IntMatrix& pairs, const IntVector& orders,
                        const RealVector& moments);

}  // namespace unionbound
