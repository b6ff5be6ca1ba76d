// The records of the sharpest bounds: what a caller can set, what each round
// of column generation reports, and what a whole computation found.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "lp/lp_solver.hpp"
#include "numeric/proven_bound.hpp"
#include "sharpest/outcome_lattice.hpp"

namespace unionbound {

// The three problems solved in turn on one working set of outcomes.
enum class SharpestStage {
    consistency,  // the least total deviation from the data (are they consistent?)
    upper,        // the largest probability of the union
    lower,        // the smallest probability of the union
};

// What a stage computes, in words for messages and the progress line ("the
// check of the data", …).
const char* stageName(SharpestStage stage);

// One round of column generation (or one iteration of the interior-point
// method), as the progress callback sees it, with the best bounds proven so
// far on both sides.
struct SharpestRound {
    SharpestStage stage = SharpestStage::consistency;
    std::int32_t round = 0;         // from 1, counted over all stages
    std::int64_t workingSet = 0;    // outcomes in the LP after this round's additions
    double largestViolation = 0.0;  // largest dual violation over all 2^n outcomes
    std::int32_t added = 0;         // outcomes added in this round
    std::optional<double> upper;    // the smallest upper bound proven so far
    std::optional<double> lower;    // the largest lower bound proven so far
    // How far each may lie from the sharpest value (see SharpestSideReport).
    std::optional<double> upperDistance;
    std::optional<double> lowerDistance;
};

// How the LP is solved.
enum class SharpestMethod {
    automatic,         // the interior-point method where the data leave most outcomes possible
                       // and it fits the memory plan, else column generation
    columnGeneration,  // column generation on the LP library
    interiorPoint,     // the interior-point method over the whole lattice (where it fits)
};

// How the outcomes are priced.
enum class SharpestPricing {
    automatic,       // the lattice for small or dense problems, else branch and bound
    lattice,         // every outcome of the lattice at once (n ≤ largestLatticeEvents(m))
    branchAndBound,  // the sets of events whose intersections are all positive
};

struct SharpestOptions {
    // Makes the LP solver; empty for this build's LP library with the
    // settings of sharpestSolverSettings(), and its retries.
    lp::SolverFactory solverFactory;
    // Told of every round (may be empty).
    std::function<void(const SharpestRound&)> progress;
    // Rounds of column generation over all stages before giving up.
    std::int32_t roundLimit = 2000;
    // Outcomes added per round at most; 0 chooses from the size of the problem.
    std::int32_t columnsPerRound = 0;
    SharpestMethod method = SharpestMethod::automatic;
    SharpestPricing pricing = SharpestPricing::automatic;
    // Shares out the passes over the lattice (may be empty: one thread).
    // Every result is the same however they are shared.
    ParallelFor parallel;
    // Bounds on the union proven by other means for the same data (none:
    // none known): each side starts from them and keeps them where it
    // proves no better.
    std::optional<double> knownUpper;
    std::optional<double> knownLower;
    // When to end early (none: run to the end). Each side then keeps the
    // best bound proven so far, with its distance.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    // Asked as often as the deadline is looked at (at least once a round);
    // true ends the computation early in the same way (an interrupt).
    std::function<bool()> stopRequested;
};

// Why the computation ended before both sides were solved to the end.
enum class SharpestStop {
    none,         // it ran to the end
    timeLimit,    // the deadline passed
    interrupted,  // stopRequested said so
    memoryPlan,   // the working set would have outgrown the memory plan
};

// What one side (or the consistency stage) came to, beyond its proven value.
struct SharpestSideReport {
    std::int32_t rounds = 0;  // rounds (or iterations) of this stage
    // The LP's claimed optimum, a claim only: the probability of the union
    // on the sides, the least total deviation from the data in the check.
    double solverValue = 0.0;
    double certifiedValue = 0.0;  // the bound its multipliers prove, before clipping to [0, 1]
    double shift = 0.0;           // how far the proven pricing moved the multiplier of row 0
    // How far the side's proven bound may lie from the sharpest value (the
    // true optimum): the proven bound minus the best value known to be
    // reached by a distribution that meets the data (the LP's optimum, up
    // to its tolerance, or the other side's proven bound); for the lower
    // side the reverse. Empty where no bound is proven.
    std::optional<double> distance;
    bool complete = false;  // solved to the end (not stopped early)
    double seconds = 0.0;   // wall-clock time of this stage
};

// A whole computation: the proven interval and how it was reached.
struct SharpestRun {
    ProvenInterval interval;
    SharpestSideReport consistency;
    SharpestSideReport upper;
    SharpestSideReport lower;
    std::int32_t rounds = 0;      // over all stages
    std::int64_t workingSet = 0;  // outcomes in the LP at the end
    SharpestStop stop = SharpestStop::none;
    SharpestMethod method = SharpestMethod::columnGeneration;  // the one that ran
    SharpestPricing pricing = SharpestPricing::lattice;        // the one that ran
    // Why a side's LP ended before its optimum, where it did without a stop
    // (its bound is then the best proven before); empty otherwise.
    std::string note;
};

}  // namespace unionbound
