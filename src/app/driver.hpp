// The program's spine: the console dialogue, the pass loop over the
// subsequence lengths, the choice of the best pass and the report.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

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

// Splits `total` milliseconds into whole milliseconds in proportion to
// `weights` (largest remainders first, earlier entries first among equal
// remainders): the shares add up to the total and keep the millisecond ticks
// of the process clock. Used to charge each pass its part of the one walk
// that sums the binomial moments of all passes.
std::vector<std::int64_t> apportionMilliseconds(std::int64_t total,
                                                const std::vector<std::uint64_t>& weights);

// Runs the passes l = m … n/2, writing the report header and one block per
// pass to `report`; `afterPass` (if set) sees every pass after its block.
// The binomial moments of all passes are summed in one walk over `prob`
// before the first pass (each pass's sums in their own order, as runPass
// forms them); a pass's running time includes its share of that walk, in
// proportion to the number of terms its sums add.
RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass = {});

// What a run does around the passes, as chosen on the command line.
struct RunOptions {
    std::string inputPath = "prob.txt";
    std::string reportPath = "result.txt";
    std::string csvPath;               // the per-pass CSV file; empty for none
    bool compare = false;              // show the classical bounds after the summary
    std::ostream* progress = nullptr;  // where progress lines go; null for none
};

// The interactive program: prompts for n and m on `out`, reads them from
// `in`, reads the probabilities, writes the report and the summary to `out`,
// then waits for RETURN. Refusals go to `err`; returns the exit status. A
// report that cannot be opened or written in full is said on `err` and gives
// kExitReportFailed, the passes and the summary running all the same; so
// does a CSV file that cannot be written in full. The report and the CSV
// file replace the earlier files only once complete, so a run that fails or
// is stopped leaves each earlier file as it was, or the complete new one.
int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const RunOptions& options);
int runConsole(std::istream& in, std::ostream& out, std::ostream& err,
               const std::string& inputPath = "prob.txt",
               const std::string& reportPath = "result.txt");

// The same without the dialogue and without the wait: n and m are checked
// as the console answers are (a refusal is bad data), and the run ends after
// the summary (and the comparison).
int runBatch(std::int64_t n, std::int64_t m, std::ostream& out, std::ostream& err,
             const RunOptions& options);

}  // namespace unionbound
