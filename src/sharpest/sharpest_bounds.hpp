// The sharpest bounds the data allow: the largest and the smallest
// probability of the union of n events over all joint distributions of the
// events with the given intersection probabilities.
//
// The problem has one unknown P(ω) ≥ 0 per outcome ω (the set of events that
// occur), 2^n of them; its rows say Σ_ω P(ω) = 1 and Σ_{ω ⊇ S} P(ω) = p_S for
// every intersection S of 1 … m events. It is solved by column generation on
// the LP interface: the LP holds a working set of outcomes, every one of the
// 2^n outcomes is priced exactly from the LP's duals by a zeta transform over
// the subset lattice, and the most violated outcomes join the working set
// until none is violated. Outcomes that contain an intersection of
// probability 0 never join (no distribution with the data gives them
// probability); the proof repairs them through that intersection's
// multiplier. A first stage finds the least deviation from the data (with a
// deviation column of each sign per row), which either proves the data
// inconsistent or gives the later stages a feasible start; then the upper
// and the lower side go on from the same working set and basis.
// The bounds returned rest on the final duals alone,
// proven by a pricing in directed rounding (see certificate.hpp), never on
// the solver's word.
#pragma once

#include <cstdint>
#include <string>

#include "numeric/types.hpp"
#include "sharpest/sharpest_records.hpp"

namespace unionbound {

// What a stage of the column generation computes, in words for messages
// and the progress line ("the check of the data", …).
const char* stageName(SharpestStage stage);

// The largest and the smallest P(at least one event) over all probability
// distributions on the 2^n outcomes whose intersection probabilities
// P(∩_{i∈S} A_i), 1 ≤ |S| ≤ m, are the exact values of the decimal numbers
// the doubles `prob` were read from (in the subset order for (n, m), as in
// "prob.txt"), each proven: the upper value is at least the largest, the
// lower at most the smallest, and each lies within 1e-9 of its optimum.
// Where a side has no proven value, its `why` says why in one line: the
// solver stopped, failed or gave duals that do not prove its optimum, the
// rounds ran out, or the arguments are outside what is allowed (n ≥ 1,
// 1 ≤ m ≤ n, n ≤ largestSharpestEvents(m), as many finite probabilities as
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
// 2^n outcomes given to it at once, with no column generation and no proof:
// the yardstick the benchmark measures the column generation against.
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
