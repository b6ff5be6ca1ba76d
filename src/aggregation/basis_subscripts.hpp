// The rows printed under "Basis subscripts:" in the report.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// Each row has one subscript per subsequence. With extended[i] = Vks[i]
// followed by Kjs[i][j-m] - m + jbest + 1 for j = m … orders[i]:
//   the base row (extended[i][0] for every i);
//   for every subsequence i and k = 1 … orders[i]: the base row with entry i
//   set to extended[i][k];
//   for every pair (a, b), u = 1 … m-1 (outer), v = 1 … m-u (inner): the base
//   row with entry a-1 set to extended[a-1][u], then entry b-1 set to
//   extended[b-1][v].
// Tables that do not fit together (as when the bound solver found no
// candidate) give no rows.
IntMatrix basisSubscripts(std::int32_t m, const IntMatrix& pairs, const IntVector& orders,
                          const IntMatrix& Vks, const IntMatrix& Kjs, std::int32_t jbest);

}  // namespace unionbound
