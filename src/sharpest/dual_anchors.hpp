// Multipliers that give a proven bound before any column generation: the
// ones of the sharp bounds from S_1 … S_m (each multiplier depends on the
// size of its intersection only), or else Bonferroni's. Between such an
// anchor and a column generation's current duals, a short search finds
// multipliers that prove much more than either early in the run.
//
// Multipliers here have the sign of a proof (certificate.hpp): for the
// upper side their values are at least 1 on every outcome with an event,
// for the lower side at most 1.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lp/lp_solver.hpp"
#include "sharpest/outcome_space.hpp"

namespace unionbound {

// Multipliers that prove a bound on the `upper` (or the lower) side of the
// probability of the union of n events for the rows of `space`, each a
// candidate for a proof:
// - y_S = a_{|S|}, the multipliers of the sharp bound from the sums S_k of
//   the probabilities of the intersections of k events (the dual of that
//   bound's LP over the number of events that occur), or Bonferroni's
//   (y_S = (−1)^{|S|+1} up to the largest odd order ≤ m for the upper side,
//   even for the lower) where that LP finds no optimum;
// - for the upper side and m ≥ 2, Hunter's: y_i = 1 for every event, y_ij = −1
//   for the pairs of a spanning forest of largest probability (a forest has
//   fewer edges among any k events than k).
std::vector<std::vector<double>> anchorMultipliers(const OutcomeSpace& space, std::int32_t n,
                                                   bool upper, const lp::SolverFactory& makeSolver);

// The best bound that `space` proves on the segment between `from` and
// `to`, searched by golden sections with `proofs` proofs at most (the
// proven bound is convex along a segment: a linear part plus the largest of
// linear violations). `to` itself is always among those proven.
MultiplierProof bestOnSegment(OutcomeSpace& space, std::span<const double> from,
                              std::span<const double> to, bool upper, int proofs);

}  // namespace unionbound
