#include "app/driver.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <utility>
#include <vector>

#include "app/basis_subscripts.hpp"
#include "app/comparison_report.hpp"
#include "app/console_input.hpp"
#include "app/pass_csv.hpp"
#include "app/prob_reader.hpp"
#include "app/progress.hpp"
#include "app/report.hpp"
#include "classical/classical_bounds.hpp"
#include "moments/binomial_moments.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/power_moments.hpp"
#include "moments/subsets.hpp"
#include "numeric/vector_ops.hpp"
#include "output/replacement_file.hpp"
#include "process/out_of_memory.hpp"

namespace unionbound {

namespace {

// The process clock in milliseconds.
std::int64_t processMilliseconds() {
    return static_cast<std::int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

}  // namespace

std::vector<std::int64_t> apportionMilliseconds(std::int64_t total,
                                                const std::vector<std::uint64_t>& weights) {
    std::vector<std::int64_t> shares(weights.size(), 0);
    long double sum = 0;
    for (std::uint64_t w : weights) {
        sum += static_cast<long double>(w);
    }
    if (total <= 0 || sum <= 0) {
        return shares;
    }
    std::vector<std::pair<long double, std::size_t>> remainders;
    std::int64_t given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const long double exact = static_cast<long double>(total) * weights[i] / sum;
        shares[i] = static_cast<std::int64_t>(exact);
        given += shares[i];
        remainders.push_back({exact - static_cast<long double>(shares[i]), i});
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t k = 0; given < total && k < remainders.size(); ++k, ++given) {
        ++shares[remainders[k].second];
    }
    return shares;
}

double thresholdPenalty(const RealVector& point) {
    for (double component : point) {
        if (component > 0.1) {
            return -1.0;
        }
    }
    return 0.0;
}

PassTables passTables(std::int32_t n, std::int32_t l, std::int32_t mK) {
    PassTables tables;
    const std::int32_t q = n / l;
    const auto countRow = [](std::int32_t length) {
        RealVector row;
        for (std::int32_t j = 0; j <= length; ++j) {
            row.push_back(j);
        }
        return row;
    };
    for (std::int32_t k = 1; k <= q - 1; ++k) {
        tables.counts.push_back(countRow(l));
    }
    tables.counts.push_back(countRow(n - (q - 1) * l));
    for (std::int32_t i = 2; i <= q; ++i) {
        tables.pairs.push_back({1, i});
    }
    tables.orders.assign(q, mK);
    return tables;
}

namespace {

// The stages of a pass after its binomial moments, timed from `start`.
PassResult finishPass(std::int32_t l, std::int32_t m, PassTables tables, RealVector moments,
                      std::int64_t start) {
    PassResult pass;
    pass.l = l;
    pass.tables = std::move(tables);
    pass.moments = std::move(moments);
    const PassTables& t = pass.tables;
    const RealVector rhs = powerMoments(m, t.pairs, t.orders, pass.moments);
    pass.solution = solveBound(thresholdPenalty, t.counts, rhs, t.orders, t.pairs, m);
    pass.elapsed = static_cast<double>(processMilliseconds() - start) * 0.001;
    return pass;
}

}  // namespace

PassResult runPass(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                   std::int32_t mK) {
    const std::int64_t start = processMilliseconds();
    PassTables tables = passTables(n, l, mK);
    RealVector moments = binomialMoments(prob, n, l, m, tables.pairs, tables.orders);
    return finishPass(l, m, std::move(tables), std::move(moments), start);
}

RunSummary runPasses(const RealVector& prob, std::int32_t n, std::int32_t m, std::ostream& report,
                     const std::function<void(const PassResult&)>& afterPass) {
    const std::int32_t mK = m;
    writeReportHeader(report, n, m, mK);

    // The binomial moments of all passes come from one walk over the
    // probabilities (every sum still in its own order). Each pass is charged
    // a share of the walk's time in proportion to the terms its sums add.
    std::vector<PassDivision> divisions;
    for (std::int32_t l = mK; l <= n / 2; ++l) {
        PassTables tables = passTables(n, l, mK);
        divisions.push_back({l, std::move(tables.pairs), std::move(tables.orders)});
    }
    const std::int64_t walkStart = processMilliseconds();
    std::vector<PassMoments> allMoments =
        buildingFor("the binomial moments of the " + std::to_string(divisions.size()) + " passes",
                    [&] { return binomialMomentsOfPasses(prob, n, m, divisions); });
    std::vector<std::uint64_t> terms;
    for (const PassMoments& moments : allMoments) {
        terms.push_back(moments.terms);
    }
    const std::vector<std::int64_t> walkShares =
        apportionMilliseconds(processMilliseconds() - walkStart, terms);

    RunSummary best{kSearchStart, 0.0, mK};
    for (std::size_t i = 0; i < divisions.size(); ++i) {
        const std::int32_t l = divisions[i].l;
        const std::int64_t start = processMilliseconds();
        PassResult pass = buildingFor("the tables of the pass l=" + std::to_string(l), [&] {
            return finishPass(l, m, passTables(n, l, mK), std::move(allMoments[i].moments),
                              start - walkShares[i]);
        });
        if (l == mK || pass.solution.value > best.bestValue) {
            best = {pass.solution.value, pass.elapsed, l};
        }
        const BoundSolution& s = pass.solution;
        writePassBlock(
            report, l, m, s, pass.elapsed, pass.moments,
            basisSubscripts(m, pass.tables.pairs, pass.tables.orders, s.Vks, s.Kjs, s.jbest));
        if (afterPass) {
            afterPass(pass);
        }
    }
    return best;
}

namespace {

// From checked n and m to the closing lines: reads the probabilities, runs
// the passes into the report (and the CSV file), writes the summary and, if
// asked, the comparison. Returns the exit status.
// The exit status of a run, and whether it got as far as the summary.
struct RunOutcome {
    int status;
    bool summarised;
};

RunOutcome boundAndSummarise(std::int32_t n, std::int32_t m, std::ostream& out, std::ostream& err,
                             const RunOptions& options) {
    ProgressLine progress(options.progress);
    const std::string reading = "the " + std::to_string(intersectionCount(n, m)) +
                                " intersection probabilities of \"" + options.inputPath + "\"";
    const ProbabilityInput input = buildingFor(reading, [&] {
        return readIntersectionProbabilities(
            n, m, options.inputPath, [&](std::int64_t numbersRead, std::int64_t expected) {
                progress.show("reading \"" + options.inputPath + "\": " +
                              std::to_string(numbersRead) + " of " + std::to_string(expected) +
                              " numbers (" + std::to_string(numbersRead * 100 / expected) + "%)");
            });
    });
    progress.clear();
    if (!input.ok()) {
        err << "error: " << input.error << std::endl;
        return {kExitBadData, false};
    }

    // The report and the CSV file replace the earlier files only once complete.
    ReplacementFile csv;
    if (!options.csvPath.empty() && !csv.open(options.csvPath)) {
        err << "error: cannot write the CSV file \"" << options.csvPath
            << "\": " << std::strerror(csv.error()) << std::endl;
        return {kExitBadData, false};
    }

    // A report that cannot be written does not stop the passes or the
    // summary, but the run does not count as a success: the report is its
    // record.
    ReplacementFile reportFile;
    const bool opened = reportFile.open(options.reportPath);
    std::ostream& report = reportFile.stream();
    if (!opened) {
        err << "warning: cannot write the report \"" << options.reportPath
            << "\": " << std::strerror(reportFile.error()) << "; the passes run without it"
            << std::endl;
    }
    int writeErrno = 0;
    std::int32_t passesWritten = 0;
    std::vector<PassRow> rows;
    const std::int32_t lengths = n / 2 - m + 1;
    const RunSummary best = runPasses(input.values, n, m, report, [&](const PassResult& pass) {
        if (report.fail()) {
            writeErrno = writeErrno != 0 ? writeErrno : errno;
        } else {
            ++passesWritten;
        }
        const double bound = -pass.solution.value;
        rows.push_back(
            {pass.l, static_cast<std::int32_t>(pass.tables.counts.size()), bound, pass.elapsed});
        char shown[32];
        std::snprintf(shown, sizeof shown, "%.15g", bound);
        progress.show("pass l=" + std::to_string(pass.l) + " done (" + std::to_string(rows.size()) +
                      " of " + std::to_string(lengths) + "), bound " + shown);
    });
    const int commitErrno = reportFile.commit();
    writeErrno = writeErrno != 0 ? writeErrno : commitErrno;
    progress.clear();
    if (opened && commitErrno != 0) {
        err << "warning: writing the report \"" << options.reportPath << "\" failed after "
            << passesWritten << " complete pass blocks"
            << (writeErrno != 0 ? std::string(": ") + std::strerror(writeErrno) : std::string())
            << (reportFile.writesDirectly() ? "; the report is incomplete"
                                            : "; the earlier report, if any, is left as it was")
            << std::endl;
    }

    writeConsoleSummary(out, best.bestValue, best.bestTime, best.bestL);
    bool csvWritten = true;
    if (csv.isOpen()) {
        writePassCsv(csv.stream(), rows, best.bestL);
        csvWritten = csv.commit() == 0;
        if (!csvWritten) {
            err << "warning: the CSV file \"" << options.csvPath
                << "\" could not be written completely" << std::endl;
        }
    }
    if (options.compare) {
        writeComparison(out, -best.bestValue, best.bestL, m,
                        buildingFor("the classical bounds",
                                    [&] { return classicalBounds(input.values, n, m); }));
    }
    return {opened && commitErrno == 0 && csvWritten ? kExitSuccess : kExitReportFailed, true};
}

}  // namespace

int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const RunOptions& options) {
    const ConsoleAnswers answers = askEventsAndOrder(in, out);
    if (!answers.problem.empty()) {
        err << "error: " << answers.problem << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome = boundAndSummarise(answers.n, answers.m, out, err, options);
    if (!outcome.summarised) {
        return outcome.status;
    }
    out << "Press RETURN to continue" << std::flush;
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    return outcome.status;
}

int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const std::string& inputPath,
               const std::string& reportPath) {
    RunOptions options;
    options.inputPath = inputPath;
    options.reportPath = reportPath;
    return runConsole(in, out, err, options);
}

int runBatch(std::int64_t n, std::int64_t m, std::ostream& out, std::ostream& err,
             const RunOptions& options) {
    std::string problem = checkEvents(n);
    if (problem.empty()) {
        problem = checkOrder(n, m);
    }
    if (!problem.empty()) {
        err << "error: " << problem << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome = boundAndSummarise(static_cast<std::int32_t>(n),
                                                 static_cast<std::int32_t>(m), out, err, options);
    out << std::flush;
    return outcome.status;
}

}  // namespace unionbound
