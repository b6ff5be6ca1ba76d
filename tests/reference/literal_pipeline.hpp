// The straightforward forms of the pipeline's stages, kept as the reference
// that the fast stages are compared with bit for bit: every subset scanned
// for every moment, the dense conversion matrix and its product, the dense
// mixed moment matrix, the whole mixed system solved at once by Gauss-Jordan
// on row vectors, and a pass loop built from them.
#pragma once

#include <cstdint>
#include <ostream>

#include "aggregation/basis_evaluator.hpp"
#include "aggregation/bound_solver.hpp"
#include "aggregation/mixed_solve.hpp"
#include "numeric/double_double.hpp"
#include "numeric/types.hpp"

namespace unionbound::reference {

// All subsets of 1 … m of the events 1 … n, by size, each by unranking.
IntMatrix allSubsets(std::int32_t n, std::int32_t m);

// Every moment index against every subset, summing in increasing subset order.
RealVector binomialMoments(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                           const IntMatrix& pairs, const IntVector& orders);

// S_0 = 1 and each S_k, k = 1 … m, summed in double-double by its own loop
// over the probabilities of the k-subsets, in the subset order.
std::vector<DoubleDouble> binomialSums(const RealVector& prob, std::int32_t n, std::int32_t m);

// The N×N conversion matrix, entry by entry, Stirling numbers by recursion.
RealMatrix powerMomentMatrix(std::int32_t m, const IntMatrix& pairs, const IntVector& orders);

// Gauss-Jordan on row vectors: first non-zero pivot at or below the step,
// singular steps take the last row with a leading 1.0, every row gives up
// its leading entry after each step.
RealVector LinSolve(RealMatrix A, RealVector b);

// The dense mixed moment matrix (constant row, coordinate rows, mixed rows).
RealMatrix buildMixedMomentMatrix(const RealMatrix& columns, const IntMatrixList& momentIndex,
                                  const IntVector& orders, std::int32_t m);

// The square system of the last rows, solved whole, and the residual.
MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix);

// One candidate's value with the dense mixed matrix and the whole solve.
BasisEvaluation evaluateBasis(Penalty penalty, const RealMatrix& columns, const RealVector& shifts,
                              const IntVector& orders, std::int32_t m,
                              const RealVector& shiftedMoments, const IntVector& highCounts,
                              const IntMatrixList& momentIndex);

BoundSolution solveBound(Penalty penalty, const RealMatrix& counts, const RealVector& rhs,
                         const IntVector& orders, const IntMatrix& pairs, std::int32_t m);

// The whole run on `prob`, pass after pass with the stages above: the report
// header and blocks go to `report`, the closing console lines to `console`.
void runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
               std::ostream& console);

}  // namespace unionbound::reference
