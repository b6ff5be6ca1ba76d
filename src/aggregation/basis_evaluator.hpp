// The objective value of one candidate basis of the bound solver.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// The cost of a value point of the coordinates (for the union: -1.0 where
// some event occurs, else 0.0).
using Penalty = double (*)(const RealVector& point);

struct BasisEvaluation {
    double value;   // larger is better; the bound is -value
    IntMatrix Kjs;  // per coordinate, the winning extra columns
};

// Prices every column by penalty(point) - penalty(shifts); fixes the mixed
// columns by the mixed-moment rows (buildMixedMomentMatrix,
// solveMixedColumns); then solves every coordinate j on its own against
// residual entries position … position + orders[j] - 1 (position starting at
// 1) with bestCoordinateBasis. value = (mixed cost + Σ coordinate values) +
// base cost, added in that order; Kjs row j = coordinate j's choice.
// Tables that do not fit together (a mixed entry naming a coordinate or an
// entry that does not exist, fewer columns, shifts or high counts than
// orders, a target count different from the list) are refused with a line to
// the diagnostic sink and a not-a-number value, which never wins a search.
BasisEvaluation evaluateBasis(Penalty penalty, const RealMatrix& columns, const RealVector& shifts,
                              const IntVector& orders, std::int32_t m,
                              const RealVector& shiftedMoments, const IntVector& highCounts,
                              const IntMatrixList& momentIndex);

}  // namespace unionbound
