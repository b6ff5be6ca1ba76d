#include "app/run.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/console_input.hpp"
#include "app/driver.hpp"
#include "app/probability_reading.hpp"
#include "app/report.hpp"
#include "classical/classical_bounds.hpp"
#include "cli/exit_status.hpp"
#include "moments/problem_size.hpp"
#include "output/comparison_report.hpp"
#include "output/number_format.hpp"
#include "output/pass_csv.hpp"
#include "output/progress.hpp"

namespace unionbound {

namespace {

// The exit status of a run, and whether it got as far as the summary.
struct RunOutcome {
    int status;
    bool summarised;
};

// From checked n and m to the closing lines: reads the probabilities, runs
// the passes into the report (and the CSV file), writes the summary and, if
// asked, the comparison.
RunOutcome boundAndSummarise(std::int32_t n, std::int32_t m, std::ostream& out, std::ostream& err,
                             const RunOptions& options) {
    ProgressLine progress(options.progress);
    // The whole file is read, and every number checked, before the report is
    // touched; only the moments of the passes (and what the comparison
    // needs) are kept.
    ReadingRequest request;
    request.passes = passDivisions(n, m);
    request.sums = options.compare;
    request.singlesAndPairs = options.compare;
    request.threads = options.threads;
    Parsed<ReadingResult> input = readProbabilities(
        n, m, options.inputPath, request, [&](std::int64_t numbersRead, std::int64_t expected) {
            progress.show("reading \"" + options.inputPath + "\": " + std::to_string(numbersRead) +
                          " of " + std::to_string(expected) + " numbers (" +
                          std::to_string(numbersRead * 100 / expected) + "%)");
        });
    progress.clear();
    if (!input.ok()) {
        err << "error: " << input.message() << std::endl;
        return {kExitBadData, false};
    }

    std::ofstream csv;
    if (!options.csvPath.empty()) {
        csv.open(options.csvPath, std::ios::out | std::ios::trunc);
        if (!csv) {
            err << "error: cannot write the CSV file \"" << options.csvPath
                << "\": " << std::strerror(errno) << std::endl;
            return {kExitBadData, false};
        }
    }

    // A report that cannot be written does not stop the passes or the
    // summary, but the run does not count as a success: the report is its
    // record.
    std::ofstream report(options.reportPath, std::ios::out | std::ios::trunc);
    const bool opened = static_cast<bool>(report);
    if (!opened) {
        err << "warning: cannot write the report \"" << options.reportPath
            << "\": " << std::strerror(errno) << "; the passes run without it" << std::endl;
    }
    int writeErrno = 0;
    std::int32_t passesWritten = 0;
    std::vector<PassRow> rows;
    const std::int32_t lengths = n / 2 - m + 1;
    ReadingResult& read = input.value();
    const auto afterPass = [&](const PassResult& pass) {
        if (report.fail()) {
            writeErrno = writeErrno != 0 ? writeErrno : errno;
        } else {
            ++passesWritten;
        }
        const double bound = -pass.solution.value;
        rows.push_back(
            {pass.l, static_cast<std::int32_t>(pass.tables.counts.size()), bound, pass.elapsed});
        progress.show("pass l=" + std::to_string(pass.l) + " done (" + std::to_string(rows.size()) +
                      " of " + std::to_string(lengths) + "), bound " + general15(bound));
    };
    const RunSummary best = runPassesFromMoments(std::move(read.passMoments), read.walkMicroseconds,
                                                 n, m, report, afterPass, options.threads);
    report.close();
    progress.clear();
    if (opened && report.fail()) {
        err << "warning: writing the report \"" << options.reportPath << "\" failed after "
            << passesWritten << " complete pass blocks"
            << (writeErrno != 0 ? std::string(": ") + std::strerror(writeErrno) : std::string())
            << "; the report is incomplete" << std::endl;
    }

    writeConsoleSummary(out, best.bestValue, best.bestTime, best.bestL);
    if (csv.is_open()) {
        writePassCsv(csv, rows, best.bestL);
        csv.close();
        if (!csv) {
            err << "warning: the CSV file \"" << options.csvPath
                << "\" could not be written completely" << std::endl;
        }
    }
    if (options.compare) {
        writeComparison(out, -best.bestValue, best.bestL, m,
                        classicalBounds(read.sums, read.singlesAndPairs, n, m));
    }
    return {opened && !report.fail() ? kExitSuccess : kExitReportFailed, true};
}

}  // namespace

int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const RunOptions& options) {
    const Parsed<ProblemSize> answers = askEventsAndOrder(in, out);
    if (!answers.ok()) {
        err << "error: " << answers.message() << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome =
        boundAndSummarise(answers.value().n, answers.value().m, out, err, options);
    if (!outcome.summarised) {
        return outcome.status;
    }
    out << "Press RETURN to continue" << std::flush;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    return outcome.status;
}

int runBatch(std::int64_t n, std::int64_t m, std::ostream& out, std::ostream& err,
             const RunOptions& options) {
    const Parsed<ProblemSize> size = checkOrder(n, m);
    if (!size.ok()) {
        err << "error: " << size.message() << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome = boundAndSummarise(size.value().n, size.value().m, out, err, options);
    out << std::flush;
    return outcome.status;
}

}  // namespace unionbound
