// The coefficients of the mixed columns of one candidate in every moment row.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// One mixed column per two-coordinate entry of momentIndex (from firstMixed
// = 1 + Σ orders on), standing for the point where coordinate j1 takes
// columns[j1-1][e1] and j2 takes columns[j2-1][e2]. Rows, in order:
//   a row of ones (the constant moment);
//   for every coordinate j and e = 1 … orders[j]: W_j^e entry by entry,
//   W_j[c] being the value of coordinate j at mixed column c (0.0 when the
//   column does not involve j; the first member wins when both are j);
//   for every mixed entry, in groups of mixedOrdersPerPair(m) = m(m-1)/2
//   entries sharing the group's
//   first pair: U^e1 · V^e2 entry by entry, U and V the group's values of its
//   two coordinates (0.0 outside the group).
// Preconditions (checked by the basis evaluator): the list has that layout,
// and every order is an entry number of its coordinate's row of `columns`.
RealMatrix buildMixedMomentMatrix(const RealMatrix& columns, const IntMatrixList& momentIndex,
                                  const IntVector& orders, std::int32_t m);

}  // namespace unionbound
