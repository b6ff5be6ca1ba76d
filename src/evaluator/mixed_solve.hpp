// The weights of the mixed columns, fixed by the mixed-moment rows alone.
#pragma once

#include "numeric/types.hpp"

namespace unionbound {

struct MixedSolution {
    RealVector weights;   // x, one per mixed column
    RealVector residual;  // leading targets minus leading rows times x
    double cost;          // mixedCosts · x
};

// With N = |momentMatrix[0]| mixed columns and t0 = |shiftedMoments| - N:
// x = LinSolve(rows t0 … of momentMatrix, targets t0 …); residual[i] =
// shiftedMoments[i] + (-1.0)·(momentMatrix[i] · x) for i < t0; cost =
// ScalarProduct(mixedCosts, x). With no mixed column no system is solved:
// x is empty, the residual is all the targets and the cost is 0.0.
// Precondition: momentMatrix has a row for every target (else a line on
// standard output and an empty solution with a not-a-number cost).
MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix);

}  // namespace unionbound
