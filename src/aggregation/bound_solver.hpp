// The last stage of a pass: every candidate basis is evaluated and the best
// one kept.
#pragma once

#include <cstdint>

#include "aggregation/basis_evaluator.hpp"
#include "numeric/types.hpp"

namespace unionbound {

// The best candidate of a pass. The bound on the probability of the union is
// -value. When no candidate's value exceeds the start value -1.7e308 (every
// evaluation gave a not-a-number or less), value stays -1.7e308, Kjs and Vks
// are empty and jbest is -1.
struct BoundSolution {
    double value;
    IntMatrix Kjs;       // the evaluator's table of the best candidate
    std::int32_t jbest;  // its j: coordinate 1 has m - jbest - 1 high subscripts
    IntMatrix Vks;       // its subscripts, one row of m per coordinate
};

// A candidate's value table: row i holds coordinate i's values with the basis
// values first (in the candidate's order) and the others after them in
// increasing order, all shifted so that the first basis value is 0; shifts[i]
// is that first basis value.
struct ShiftedColumns {
    RealMatrix columns;
    RealVector shifts;
};

// For every coordinate i: counts[i][S[i][t]] for t < w = |S[0]|, then
// counts[i][t - H[i]] for t = w … len; every entry minus the first.
// Subscripts outside a row are refused with a line to the diagnostic sink and an
// empty result.
ShiftedColumns shiftColumns(const RealMatrix& counts, const IntMatrix& candidateSubscripts,
                            const IntVector& candidateHighCounts);

// Tries j = -1 … m-1 and, for each, the candidates of buildCandidates in
// order: shiftColumns, shiftMoments, evaluateBasis. A strictly greater value
// replaces the record, so the first of equal values wins and a not-a-number
// never wins. `penalty` is handed to the evaluator unchanged.
BoundSolution solveBound(Penalty penalty, const RealMatrix& counts, const RealVector& rhs,
                         const IntVector& orders, const IntMatrix& pairs, std::int32_t m);

}  // namespace unionbound
