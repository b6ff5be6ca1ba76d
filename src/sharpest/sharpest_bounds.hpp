// The sharpest bounds the data allow: the largest and the smallest
// probability of the union of n events over all joint distributions of the
// events with the given intersection probabilities.
//
// The problem has one unknown P(ω) ≥ 0 per outcome ω (the set of events that
// occur), 2^n of them; its rows say Σ_ω P(ω) = 1 and Σ_{ω ⊇ S} P(ω) = p_S for
// every intersection S of 1 … m events. Outcomes that contain an
// intersection of probability 0 can have no probability and are left out;
// the proofs repair them through that intersection's multiplier.
//
// Where most outcomes remain (dense data), the LP is solved whole by an
// interior-point method over the lattice (lattice_interior_point.hpp); where
// few do, by column generation on the LP library (column_generation.hpp),
// which first checks the data. Either way every side starts from the proven
// bound of the sharp bound from S_1 … S_m (dual_anchors.hpp), and every
// round's duals are proven as they come, so a side always has the best
// bound proven so far: at the end, at a deadline or an interrupt, or where
// a solver fails. The bounds returned rest on those proofs alone (the exact
// pricing of certificate.hpp), never on a solver's word; a side's distance
// says how far its bound may lie from the sharpest value.
#pragma once

#include <cstdint>
#include <string>

#include "numeric/types.hpp"
#include "sharpest/sharpest_records.hpp"

namespace unionbound {

// The settings of the LP library's solver for the column generation.
lp::Settings sharpestSolverSettings();

// The largest and the smallest P(at least one event) over all probability
// distributions on the 2^n outcomes whose intersection probabilities
// P(∩_{i∈S} A_i), 1 ≤ |S| ≤ m, are the exact values of the decimal numbers
// the doubles `prob` were read from (in the subset order for (n, m), as in
// "prob.txt"), each proven: the upper value is at least the largest, the
// lower at most the smallest; solved to the end, each lies within about
// 1e-9 of its optimum (the run's distances say how far). Where a side has no
// proven value, its `why` says why in one line: the data could not be
// checked, or the arguments are outside what is allowed (n ≥ 1,
// 1 ≤ m ≤ n, sizes the memory plan allows, as many finite probabilities as
// the subset order has). If it is proven that no distribution has
// intersection probabilities within kRoundingOfTheData of the given ones,
// `inconsistent` is set with a one-line `inconsistency`, and neither side has
// a value. Thread-safe (no shared state) and deterministic.
ProvenInterval sharpestBounds(std::int32_t n, std::int32_t m, const RealVector& prob,
                              const SharpestOptions& options = {});

// The same, with what each stage of the column generation came to.
SharpestRun sharpestBoundsInDetail(std::int32_t n, std::int32_t m, const RealVector& prob,
                                   const SharpestOptions& options = {});

// The LP's claimed largest and smallest probability of the union with all
// 2^n outcomes given to it at once, with no column generation and no proof,
// at the tolerances of sharpestSolverSettings() unless `factory` says else
// (at the library's own, 1e-7, its optima miss by up to 1e-4): the
// yardstick the benchmark measures the sharpest bounds against.
// `ok` is false, with `why`, where a solve did not end optimal.
struct WholeProblemClaim {
    bool ok = false;
    double largest = 0.0;
    double smallest = 0.0;
    std::string why;
};
WholeProblemClaim wholeProblemClaim(std::int32_t n, std::int32_t m, const RealVector& prob,
                                    const lp::SolverFactory& factory = {});

}  // namespace unionbound
