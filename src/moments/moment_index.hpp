// The moment index list: one entry per moment of a pass, fixing the order of
// the moment vectors, the rows and columns of the conversion matrix and every
// moment row of the bound solver.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// The list, each entry a two-row IntMatrix (subsequence numbers, orders),
// 1-based subsequences, in this order:
//   the constant ((0),(0));
//   for c = 1 … |orders|, k = 1 … orders[c-1]: the univariate ((c),(k));
//   for each pair row (a, b), e = 1 … m-1 (outer), d = 1 … m-e (inner):
//   the bivariate ((a,b),(d,e)).
IntMatrixList momentIndexList(std::int32_t m, const IntMatrix& pairs, const IntVector& orders);

// The number of bivariate entries of one pair: m(m-1)/2 (0 for m < 2).
std::int32_t mixedOrdersPerPair(std::int32_t m);

// The position of the bivariate order (d, e) within its pair's group.
std::int32_t mixedOrderOffset(std::int32_t m, std::int32_t d, std::int32_t e);

}  // namespace unionbound
