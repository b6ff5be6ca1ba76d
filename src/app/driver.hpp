// The program's spine: the console dialogue, the pass loop over the
// subsequence lengths, the choice of the best pass and the report.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "numeric/types.hpp"
#include "solver/bound_solver.hpp"

namespace unionbound {

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadData = 1;
// The passes ran and the summary was shown, but "result.txt" could not be
// written in full.
inline constexpr int kExitReportFailed = 1;

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
    double elapsed;  // seconds of process time for the tables and the four stages
};

// One pass: the tables, binomialMoments, powerMomentMatrix, MatVecProduct
// and solveBound, timed with the process clock in milliseconds.
PassResult runPass(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                   std::int32_t mK);

// The best pass of a run; a later pass replaces it only with a strictly
// greater solver value (a strictly smaller bound).
struct RunSummary {
    double bestValue;
    double bestTime;
    std::int32_t bestL;
};

// Runs the passes l = m … n/2, writing the report header and one block per
// pass to `report`; `afterPass` (if set) sees every pass after its block.
RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass = {});

// The interactive program: prompts for n and m on `out`, reads them from
// `in`, reads the probabilities from `inputPath`, writes the report to
// `reportPath` and the summary to `out`, then waits for RETURN. Refusals go
// to `err`; returns the exit status. A report that cannot be opened or
// written in full is said on `err` and gives kExitReportFailed, the passes
// and the summary running all the same.
int runConsole(std::istream& in, std::ostream& out, std::ostream& err,
               const std::string& inputPath = "prob.txt",
               const std::string& reportPath = "result.txt");

}  // namespace unionbound
