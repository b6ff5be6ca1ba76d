// One run of the program around the passes: the console dialogue or the
// batch sizes, the probabilities, the report, the CSV file, the summary and
// the comparison, and the exit status (cli/exit_status.hpp).
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "unionbound/options.hpp"
#include "unionbound/result.hpp"

namespace unionbound {

// What a run does around the passes, as chosen on the command line.
struct RunOptions {
    std::string inputPath = "prob.txt";
    std::string reportPath = "result.txt";
    std::string csvPath;               // the per-pass CSV file; empty for none, "-" for csvStream
    std::ostream* csvStream = nullptr;  // where a CSV file named "-" goes (standard output)
    // The methods asked of the engine (method::…): the aggregation, and
    // those the options add; each one's closing lines follow the summary.
    std::vector<std::string> methods{std::string(method::aggregation)};
    std::ostream* progress = nullptr;  // where progress lines go; null for none
    // The threads that read, sum and run the passes (the structured and the
    // exact ones); the output is the same for every count (1: all in the
    // calling thread).
    std::int32_t threads = 1;
    // Seconds after which the methods stop early (--time-limit), counted
    // from the end of the reading; none for no limit.
    std::optional<double> timeLimit;
    // Told the run's result once the closing lines are written (before the
    // console's wait for RETURN); false when what it writes could not be
    // written in full, which makes the run's status kExitReportFailed.
    std::function<bool(const Result&)> resultDone;
};

// The interactive program: prompts for n and m on `out`, reads them from
// `in`, reads the probabilities, writes the report and the summary to `out`,
// then waits for RETURN. Refusals go to `err`; returns the exit status. A
// report that cannot be opened or written in full is said on `err` and gives
// kExitReportFailed, the passes and the summary running all the same; so
// does a CSV file that cannot be written in full. The report and the CSV
// file replace the earlier files only once complete, so a run that fails or
// is stopped leaves each earlier file as it was, or the complete new one.
int runConsole(std::istream& in, std::ostream& out, std::ostream& err,
               const RunOptions& options = {});

// The same without the dialogue and without the wait: n and m are checked
// as the console answers are (a refusal is bad data), and the run ends after
// the summary (and the comparison).
//
// In both, Ctrl-C (SIGINT), SIGTERM or SIGHUP while the sharpest bounds run
// (with the handlers of process/interruption.hpp installed) stops them
// early: the closing lines show what the run has, the report, the CSV file
// and the JSON record are not written, the earlier files stay, and the
// status is 128 + the signal number, as for any run stopped by a signal.
int runBatch(std::int64_t n, std::int64_t m, std::ostream& out, std::ostream& err,
             const RunOptions& options);

}  // namespace unionbound
