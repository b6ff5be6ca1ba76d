// Proven bounds on how far the binomial moments of a pass, as the program
// sums them, can lie from the exact sums of the decimal numbers in the file.
//
// A moment other than the constant is the plain recursive double sum
//   s = fl(… fl(fl(0 + x̂_1) + x̂_2) … + x̂_N)
// of the N probabilities x̂_j of the subsets of its shape (moment_sweep),
// where x̂_j is the double the reader made of the decimal x_j of the file.
// N = C(L_c, k) for E[C(X_c, k)] and C(L_a, d)·C(L_b, e) for
// E[C(X_a, d)·C(X_b, e)]. With u = 2^-53 and A = Σ |x̂_j|:
//
//  - Reading. x̂_j is x_j rounded to nearest, so |x_j − x̂_j| ≤ u·|x̂_j| where
//    x̂_j is normal (half a spacing of the binade of x_j, at most u·|x̂_j|),
//    and ≤ 2^-1075 in the subnormal range: in all, at most u·A + N·2^-1075.
//  - Summing. Each addition is exact or rounded to nearest, and additions
//    that underflow are exact, so |s − Σ x̂_j| ≤ γ_{N−1}·A with
//    γ_k = k·u / (1 − k·u) (Higham, Accuracy and Stability of Numerical
//    Algorithms, 2nd ed., §4.2). We use γ_k ≤ x·(1 + 2x) for x = k·u ≤ 1/2.
//  - A is not known, but each x̂_j lies in [−δ, 1 + δ] (the reader's range,
//    δ = 1e-9): so |x̂_j| ≤ x̂_j + 2δ, A ≤ Σ x̂_j + 2Nδ ≤ s + γ·A + 2Nδ, hence
//    A ≤ (s + 2Nδ) / (1 − γ) ≤ (s + 2Nδ)·(1 + 2γ); and A ≤ N·(1 + δ).
//    The smaller of the two is taken.
//
// Together |s − Σ x_j| ≤ (γ_{N−1} + u)·A + N·2^-1075, every operation of
// which is rounded upward here. The constant moment (1) is exact.
#pragma once

#include <cstdint>

#include "numeric/proven_bound.hpp"
#include "numeric/types.hpp"

namespace unionbound {

// The number of probabilities each moment of `index` (a moment index list,
// as momentIndexList gives) adds, for subsequences of lengths `lengths`
// (subsequence c has lengths[c-1] events), each rounded upward where it
// exceeds 2^53. The constant entry, subsequence numbers outside 1 … q, a
// pair of one subsequence with itself and orders above a length add none
// (0), as in the moment walk.
RealVector momentTermCounts(const IntMatrixList& index, const IntVector& lengths);

// A proven bound errors[i] ≥ |moments[i] − M_i| for every i, where M_i is the
// exact sum of the decimal probabilities that moment i adds, given that
// moments[i] is their plain recursive double sum and that every probability
// read lies in [-probabilityTolerance, 1 + probabilityTolerance].
// Precondition: moments has one entry per entry of `index`.
RealVector momentErrors(const IntMatrixList& index, const IntVector& lengths,
                        const RealVector& moments,
                        double probabilityTolerance = kRoundingOfTheData);

}  // namespace unionbound
