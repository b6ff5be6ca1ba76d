// The classical upper bounds on the probability of the union that the same
// intersection probabilities give: Boole's, Bonferroni's, Hunter's, and the
// sharp bound from the binomial moments S_1 … S_m alone.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/double_double.hpp"
#include "numeric/types.hpp"

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
// with E[C(X, k)] = S_k for k = 1 … m, m odd.
//
// Every basis {0, 1} ∪ {i_1, i_1+1} ∪ … ∪ {i_h, i_h+1} (h = (m-1)/2 disjoint
// pairs of neighbours, 2 ≤ i_t, i_t + 1 ≤ n) of the moment equations is
// dual feasible: its dual solution is the polynomial p of degree m with
// p(0) = 0 and p = 1 on the other basis points,
//     p(x) = 1 - Π_{r in R} (1 - x/r),   R = {1, i_1, i_1+1, …, i_h, i_h+1},
// and p(x) ≥ 1 at every x = 1 … n because each factor pair (x-i)(x-i-1) is
// non-negative at integers. So each E[p(X)] is an upper bound, and the
// smallest of them is the optimum of the moment problem. E[p(X)] is
// 1 - Σ_j a_j S_j / Π r, with a_j the coefficients of Π (r - x) in the basis
// of the C(x, j); these are integers, expanded and combined with the S_j in
// double-double arithmetic because they cancel heavily for large n.
struct SharpBound {
    double value = 1.0;  // min(1, the smallest E[p(X)])
    IntVector basis;     // the basis points 0, 1, i_1, i_1+1, … of that smallest value
};
// `sums` holds S_0 … S_m with m odd; for m = 1 the bound is Boole's. When no
// basis fits (2h > n - 1) the value is 1 and the basis empty.
SharpBound sharpBound(const std::vector<DoubleDouble>& sums, std::int32_t n);

// The four classical bounds of one set of intersection probabilities.
struct ClassicalBounds {
    double boole;
    double bonferroni;
    double hunter;
    SharpBound sharp;
};
// Precondition: m odd, m ≥ 3, `prob` in the subset order for (n, m).
ClassicalBounds classicalBounds(const RealVector& prob, std::int32_t n, std::int32_t m);

}  // namespace unionbound
