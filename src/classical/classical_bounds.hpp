// The classical bounds on the probability of the union that the same
// intersection probabilities give: Boole's, Bonferroni's and Hunter's upper
// bounds, Dawson and Sankoff's lower bound, and the sharp upper and lower
// bounds from the binomial moments S_1 … S_m alone.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/double_double.hpp"
#include "numeric/types.hpp"
#include "unionbound/result.hpp"

namespace unionbound {

// S_0 = 1 and, for k = 1 … m, S_k = the sum of the probabilities of all
// intersections of k events (the k-th binomial moment of the number of
// occurring events), accumulated in double-double so that millions of terms
// lose nothing. `prob` is in the subset order for (n, m).
std::vector<DoubleDouble> binomialSums(const RealVector& prob, std::int32_t n, std::int32_t m);

// min(1, S_1).
double booleBound(const std::vector<DoubleDouble>& sums);

// S_1 - S_2 + S_3; needs sums up to S_3 (not-a-number otherwise).
double bonferroniBound(const std::vector<DoubleDouble>& sums);

// S_1 minus the weight of a maximum spanning tree of the complete graph on
// the n events whose edge (a, b) weighs P(a ∩ b). `prob` is in the subset
// order for (n, m) with m ≥ 2 (not-a-number otherwise).
double hunterBound(const RealVector& prob, std::int32_t n, std::int32_t m);

// The largest P(X ≥ 1) over all distributions of a count X on {0, …, n}
// with E[C(X, k)] = S_k for k = 1 … m (any m ≥ 1).
//
// A basis {0} ∪ R of the moment equations, with m roots R, has the dual
// solution p(x) = 1 - Π_{r in R} (1 - x/r): p(0) = 0 and p = 1 on R. It is
// dual feasible, p(x) ≥ 1 at every x = 1 … n, exactly when Π (r - x) ≤ 0 at
// those integers: R = {1, i_1, i_1+1, …, i_h, i_h+1} for odd m, and the same
// closed by the root n for even m (disjoint neighbour pairs, 2 ≤ i_t, and
// i_t + 1 ≤ n, or ≤ n - 1 before the closing n), because each factor pair
// (x-i)(x-i-1) is non-negative at integers. So each E[p(X)] is an upper
// bound, and the smallest of them is the optimum of the moment problem.
// E[p(X)] is 1 - Σ_j a_j S_j / Π r, with a_j the coefficients of Π (r - x)
// in the basis of the C(x, j); these are integers, expanded and combined
// with the S_j in double-double arithmetic because they cancel heavily for
// large n.
struct SharpBound {
    double value = 1.0;  // the bound, clipped to [0, 1]
    IntVector basis;     // the basis points of that value, increasing
};
// `sums` holds S_0 … S_m; for m = 1 the bound is Boole's. When no basis fits
// the value is 1 and the basis empty.
SharpBound sharpBound(const std::vector<DoubleDouble>& sums, std::int32_t n);

// The smallest P(X ≥ 1) over the same distributions: the largest E[p(X)]
// over the bases {0} ∪ R with Π (r - x) ≥ 0 at x = 1 … n, that is R made of
// disjoint neighbour pairs in 1 … n for even m, and of pairs in 1 … n-1
// closed by the root n for odd m (for m = 1: S_1 / n). When no basis fits
// the value is 0 and the basis empty.
SharpBound sharpLowerBound(const std::vector<DoubleDouble>& sums, std::int32_t n);

// Dawson and Sankoff's lower bound from S_1 and S_2:
// 2 S_1/(k+1) - 2 S_2/(k(k+1)) with k = 1 + ⌊2 S_2 / S_1⌋, the sharp lower
// bound for m = 2 (0 when S_1 is 0; not-a-number without S_2).
double dawsonSankoffBound(const std::vector<DoubleDouble>& sums);

// The classical bounds of one set of intersection probabilities: four upper
// bounds and two lower ones. A bound that needs more orders than m is
// not-a-number.
struct ClassicalBounds {
    double boole;
    double bonferroni;
    double hunter;
    SharpBound sharp;
    double dawsonSankoff;
    SharpBound sharpLower;
};
// Precondition: m ≥ 1, `prob` in the subset order for (n, m).
ClassicalBounds classicalBounds(const RealVector& prob, std::int32_t n, std::int32_t m);

// The classical bounds of order m by name and formula, as results show
// them: the upper ones (Boole, Bonferroni, Hunter, sharp) and the lower ones
// (Dawson-Sankoff, sharp), in that order; a bound that needs more orders
// than m has no value.
struct NamedClassicalBounds {
    std::vector<NamedBound> upper;
    std::vector<NamedBound> lower;
};
NamedClassicalBounds namedClassicalBounds(std::int32_t m, const ClassicalBounds& bounds);

// The same from what a reading of the probabilities keeps: `sums` as
// binomialSums gives them and `singlesAndPairs`, the first
// C(n,1) + C(n,2) probabilities of the subset order (or all of them).
ClassicalBounds classicalBounds(const std::vector<DoubleDouble>& sums,
                                const RealVector& singlesAndPairs, std::int32_t n, std::int32_t m);

}  // namespace unionbound
