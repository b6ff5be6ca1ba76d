// The candidate bases of the bound solver, and the integer-sequence helpers
// that build them.
#pragma once

#include <cstdint>

#include "numeric/types.hpp"

namespace unionbound {

// The candidates of one j. Candidate c chooses, for every coordinate k, m
// basis subscripts subscripts[c][k]; highCounts[c][k] of them are high ones
// (counted down from the coordinate's length), the rest low (counted up from 0).
struct CandidateSet {
    IntMatrixList subscripts;
    IntMatrix highCounts;
};

// a, a+1, …, b (empty when b < a).
IntVector intRange(std::int32_t a, std::int32_t b);
// a, a+step, … while ≤ b (step > 0) or ≥ b (step < 0); empty for step 0.
IntVector intRangeStep(std::int32_t a, std::int32_t b, std::int32_t step);
// 1, 2, …, n (empty when n ≤ 0).
IntVector intRangeFromOne(std::int32_t n);
// Entry i of the result holds L[0][i], L[1][i], …; i runs over the rows of
// L[0]. Entries of L with fewer rows than L[0] are a caller's error: the
// result is then empty.
IntMatrixList transposeList(const IntMatrixList& L);
// Row i of the result is (M[0][i], M[1][i], …); i runs over the entries of
// M[0]. Rows shorter than M[0] are a caller's error: the result is then empty.
IntMatrix transposeIntMatrix(const IntMatrix& M);

// All candidates with j+1 low subscripts in coordinate 1 (-1 ≤ j ≤ m-1), in
// the trial order: the positions of the low subscripts of coordinate 1 run
// over KSubsets(1 … m, j+1); low positions get 0, 1, …, j and high positions
// lengths[0], lengths[0]-1, … from left to right. Each row (p, c) of `pairs`
// then derives coordinate c from coordinate p: position 0 is low when the
// parent's high count is even, and position t ≥ 1 is high exactly when the
// parent's subscript at position m-t is high (greater than m - U - 1).
// On inputs that break the preconditions (j out of range, a pair member
// outside the coordinates, a coordinate that `pairs` never reaches, a
// coordinate shorter than m) sends a line naming the problem to the diagnostic
// sink and returns an empty set.
CandidateSet buildCandidates(const IntVector& lengths, std::int32_t m, const IntMatrix& pairs,
                             std::int32_t j);

}  // namespace unionbound
