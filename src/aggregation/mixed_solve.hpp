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
// Precondition: momentMatrix has a row for every target (else a line to
// the diagnostic sink and an empty solution with a not-a-number cost).
MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix);

}  // namespace unionbound

namespace unionbound {

// solveMixedColumns(mixedCosts, shiftedMoments,
// buildMixedMomentMatrix(columns, momentIndex, orders, m)), to the last bit,
// without the dense moment matrix. The mixed rows form a block-diagonal
// system, one m(m-1)/2 block per coordinate pair with +0.0 outside; each
// block is eliminated on its own with the pivot rule of LinSolve, and the
// leading rows are multiplied over the columns of the pairs of their own
// coordinate only.
//
// Eliminating the whole system would also touch the other blocks, with
// multipliers that are zeros. That changes nothing as long as every value
// that meets such a zero is finite, no block runs out of pivots (LinSolve
// would then reach for the last row of the whole matrix) and no -0.0 stands
// where adding a zero would turn it into +0.0: a target or entry of a later
// block at the start, a solved weight of an earlier block at the end. When
// any of this fails, or the tables do not have the usual layout, the dense
// matrix is built and solved as a whole.
MixedSolution solveMixedColumnsByBlocks(const RealVector& mixedCosts,
                                        const RealVector& shiftedMoments, const RealMatrix& columns,
                                        const IntMatrixList& momentIndex, const IntVector& orders,
                                        std::int32_t m);

}  // namespace unionbound
