// The pass loop over the subsequence lengths: the per-pass tables, the cost
// of a value point, the stages of every pass, the choice of the best pass
// and the report blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "numeric/types.hpp"
#include "solver/bound_solver.hpp"

namespace unionbound {

// The cost of a value point: -1.0 when some component is strictly greater
// than 0.1 (some event occurs), else 0.0. A not-a-number does not count.
double thresholdPenalty(const RealVector& point);

// The per-pass tables for subsequence length l: q = n / l subsequences, the
// last one absorbing the remainder.
struct PassTables {
    RealMatrix counts;  // row k: 0, 1, …, len_k
    IntMatrix pairs;    // (1, 2), (1, 3), …, (1, q)
    IntVector orders;   // q entries m_k
};
PassTables passTables(std::int32_t n, std::int32_t l, std::int32_t mK);

// Everything one pass computes and the report shows.
struct PassResult {
    std::int32_t l;
    PassTables tables;
    RealVector moments;
    BoundSolution solution;
    double elapsed;  // seconds of process time: the pass's share of the moment walk and its stages
};

// The best pass of a run; a later pass replaces it only with a strictly
// greater solver value (a strictly smaller bound).
struct RunSummary {
    double bestValue;
    double bestTime;
    std::int32_t bestL;
};

// Runs the passes l = m … n/2, writing the report header and one block per
// pass to `report`; `afterPass` (if set) sees every pass after its block.
// The binomial moments of all passes are summed in one walk over `prob`
// before the first pass (binomialMomentsOfPasses); then each pass takes
// powerMoments and solveBound on its own moments. A pass's running time
// includes its share of the walk, in whole milliseconds, in proportion to
// the number of terms its sums add (apportionMilliseconds).
RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass = {});

}  // namespace unionbound
