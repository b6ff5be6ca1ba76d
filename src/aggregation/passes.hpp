// The passes of the aggregation method over the subsequence lengths: the
// per-pass tables, the cost of a value point, the stages of every pass and
// the choice of the best pass. What a pass shows is the caller's business.
#pragma once

#include <cstdint>
#include <functional>

#include "aggregation/bound_solver.hpp"
#include "moments/moment_sweep.hpp"
#include "numeric/types.hpp"
#include "threads/pool.hpp"

namespace unionbound {

// The cost of a value point: -1.0 when some component is strictly greater
// than 0.1 (some event occurs), else 0.0. A not-a-number does not count.
double thresholdPenalty(const RealVector& point);

// The per-pass tables for subsequence length l: the division of
// passDivision(n, l, mK) and the values 0 … len of every subsequence.
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
    double
        elapsed;  // seconds of processor time: the pass's share of the moment walk and its stages
};

// The best pass of a run; a later pass replaces it only with a strictly
// greater solver value (a strictly smaller bound).
struct RunSummary {
    double bestValue;
    double bestTime;
    std::int32_t bestL;
    std::int32_t passes;  // the passes run, l = m … m + passes - 1
};

// Runs the passes l = m … n/2 on their binomial moments; `afterPass` (if
// set) sees every pass, in increasing l, in the calling thread. `moments`
// holds one entry per division of passDivisions(n, m) (moments/
// pass_division.hpp), in order. Each pass takes powerMoments and solveBound
// on its own moments; the pool's helpers share the passes with the calling
// thread, which changes nothing but the running times (the messages of a
// pass reach the calling thread's sink before afterPass sees it). Once
// `stop` (asked in the calling thread) says true, no further pass starts.
// A pass's running time is the processor time of its stages in the thread
// that ran them, plus its share of the walk's `walkMicroseconds`, in whole
// milliseconds, in proportion to the number of terms its sums add
// (apportionMilliseconds).
RunSummary runPassesFromMoments(std::vector<PassMoments> moments, std::int64_t walkMicroseconds,
                                std::int32_t n, std::int32_t m, ThreadPool& pool,
                                const std::function<void(const PassResult&)>& afterPass = {},
                                const std::function<bool()>& stop = {});

// The same on the probabilities themselves: the binomial moments of all
// passes are summed in one walk over `prob` (binomialMomentsOfPasses)
// before the first pass, in the calling thread.
RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m,
                     const std::function<void(const PassResult&)>& afterPass = {});

}  // namespace unionbound
