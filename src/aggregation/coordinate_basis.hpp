// The basis search of one coordinate: columns q = 1 … nq (the coordinate's
// shifted values), rows the power moments 1 … s, targets the coordinate's
// share of the residual. A fixed family of candidate bases is solved and the
// one whose basic solution costs most wins.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

struct CoordinateSolution {
    RealVector weights;  // basic solution: columns 1 … m-1, then `choice`
    double value;        // the winner's cost; -1.7e308 without a candidate
    IntVector choice;    // the winner's extra column numbers
};

// Extra columns (beyond the fixed 1 … m-1) of every candidate when the
// coordinate's high count is even, d = s - m, pairs of T = T0, T0+1, T1+1,
// T1+2, …: for d+1 even the pairs of each (d+1)/2-subset of m … nq-c; for
// d+1 odd, m followed by the pairs of each d/2-subset of m+1 … nq-c.
IntMatrix candidateColumnsEven(std::int32_t nq, std::int32_t m, std::int32_t s);
// The same for an odd high count: for d+1 even, m, the pairs of each
// (d-1)/2-subset of m+1 … nq-c-1, then nq; for d+1 odd, the pairs of each
// d/2-subset of m … nq-c-1, then nq.
IntMatrix candidateColumnsOdd(std::int32_t nq, std::int32_t m, std::int32_t s);

// Tries every candidate of the generator chosen by the parity of highCount:
// the basis is columns 1 … m-1 and the candidate's columns, column q having
// the entries values[q]^e (e = 1 … order) and the cost coordinateCosts[q-1];
// its solution x = LinSolve(basis, targets) is priced as costs · x, and a
// strictly greater price replaces the winner (first of equal values wins, a
// not-a-number never wins). values[0] is not read.
// Inputs that do not fit (nq < m - 1, costs not one per column, m < 1) or a
// candidate column outside 1 … nq are refused with a line to the diagnostic sink;
// the refused search has no winner.
CoordinateSolution bestCoordinateBasis(const RealVector& coordinateCosts, const RealVector& values,
                                       std::int32_t order, std::int32_t m,
                                       const RealVector& coordinateTargets, std::int32_t highCount);

}  // namespace unionbound
