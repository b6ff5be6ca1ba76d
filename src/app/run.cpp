#include "app/run.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "aggregation/basis_subscripts.hpp"
#include "aggregation/passes.hpp"
#include "app/console_input.hpp"
#include "classical/classical_bounds.hpp"
#include "classical/frechet.hpp"
#include "cli/exit_status.hpp"
#include "exact/exact_passes.hpp"
#include "input/probability_reading.hpp"
#include "moments/problem_size.hpp"
#include "moments/subsets.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/proven_bound.hpp"
#include "output/comparison_report.hpp"
#include "output/exact_summary.hpp"
#include "output/pass_csv.hpp"
#include "output/progress.hpp"
#include "output/report.hpp"
#include "process/out_of_memory.hpp"
#include "process/replacement_file.hpp"
#include "sharpest/memory_plan.hpp"
#include "sharpest/sharpest_bounds.hpp"
#include "text/number_format.hpp"

namespace unionbound {

namespace {

// The exit status of a run, and whether it got as far as the summary.
struct RunOutcome {
    int status;
    bool summarised;
};

// The message for probabilities that break the Fréchet bounds of a pair.
std::string inconsistentPair(const FrechetViolation& v, std::int32_t n, std::int32_t m,
                             const std::string& name) {
    const auto number = [&](const IntVector& events) {
        return std::to_string(subsetPosition(n, m, events) + 1);
    };
    const std::string pair = "P(" + std::to_string(v.a) + "∩" + std::to_string(v.b) +
                             ") = " + general15(v.pair) + " (number " + number({v.a, v.b}) + ")";
    const auto single = [&](std::int32_t event, double p) {
        return "P(" + std::to_string(event) + ") = " + general15(p) + " (number " +
               number({event}) + ")";
    };
    std::string broken;
    if (v.aboveEvent) {
        const bool first = v.first <= v.second;
        broken = pair + " is larger than " + (first ? single(v.a, v.first) : single(v.b, v.second));
    } else {
        broken = pair + " is smaller than " + single(v.a, v.first) + " + " + single(v.b, v.second) +
                 " - 1";
    }
    return "the probabilities of \"" + name + "\" are inconsistent: " + broken +
           "; no joint distribution of the events has them";
}

// The best exact bounds beside the other bounds of the comparison.
void addExactBounds(Comparison& comparison, const BestExactBounds& best) {
    comparison.upper.push_back({"exact", "best pass, l=" + std::to_string(best.upperL),
                                best.upper ? *best.upper : std::nan("")});
    comparison.lower.push_back({"exact", "best pass, l=" + std::to_string(best.lowerL),
                                best.lower ? *best.lower : std::nan("")});
}

// The sharpest bounds, the best possible, head the comparison.
void addSharpestBounds(Comparison& comparison, const ProvenInterval& sharpest) {
    const std::string formula = "best from all the data";
    const auto valueOf = [](const ProvenBound& bound) {
        return bound.value ? *bound.value : std::nan("");
    };
    comparison.upper.insert(comparison.upper.begin(),
                            {"sharpest", formula, valueOf(sharpest.upper)});
    comparison.lower.insert(comparison.lower.begin(),
                            {"sharpest", formula, valueOf(sharpest.lower)});
    comparison.sharpestUpper = sharpest.upper.value;
    comparison.sharpestLower = sharpest.lower.value;
}

// From checked n and m to the closing lines: reads the probabilities, runs
// the exact passes (if asked) and the structured passes into the report (if
// they can run for this order) and the CSV file, writes the summary and, if
// asked, the comparison.
RunOutcome boundAndSummarise(std::int32_t n, std::int32_t m, bool structured, std::ostream& out,
                             std::ostream& err, const RunOptions& options) {
    ProgressLine progress(options.progress);
    // The whole file is read, and every number checked, before the report is
    // touched; only what the run needs of the probabilities is kept: the
    // moments of the passes, and the sums, the pairs or every number where
    // the comparison, the consistency check or the sharpest bounds need them.
    ReadingRequest request;
    if (structured || options.exact) {
        request.passes = passDivisions(n, m);
    }
    request.sums = options.compare;
    request.singlesAndPairs = options.compare || options.exact || options.sharpest;
    request.everyProbability = options.sharpest;
    ThreadPool pool(options.threads);
    request.pool = &pool;
    const std::string reading = "the " + std::to_string(intersectionCount(n, m)) +
                                " intersection probabilities of \"" + options.inputPath + "\"";
    Parsed<ReadingResult> input = buildingFor(reading, [&] {
        return readProbabilities(
            n, m, options.inputPath, request, [&](std::int64_t numbersRead, std::int64_t expected) {
                progress.show("reading \"" + options.inputPath + "\": " +
                              std::to_string(numbersRead) + " of " + std::to_string(expected) +
                              " numbers (" + std::to_string(numbersRead * 100 / expected) + "%)");
            });
    });
    progress.clear();
    if (!input.ok()) {
        err << "error: " << input.message() << std::endl;
        return {kExitBadData, false};
    }
    ReadingResult& read = input.value();
    if (options.exact || options.sharpest) {
        if (const auto violation =
                firstFrechetViolation(read.singlesAndPairs, n, m, kRoundingOfTheData)) {
            err << "error: " << inconsistentPair(*violation, n, m, options.inputPath) << std::endl;
            return {kExitBadData, false};
        }
    }

    // The report and the CSV file replace the earlier files only once complete.
    ReplacementFile csv;
    if (!options.csvPath.empty() && !csv.open(options.csvPath)) {
        err << "error: cannot write the CSV file \"" << options.csvPath
            << "\": " << std::strerror(csv.error()) << std::endl;
        return {kExitBadData, false};
    }

    // The exact passes come first: data that no distribution has are
    // refused before the report is touched.
    std::vector<ExactPass> exact;
    if (options.exact) {
        exact = runExactPasses(read.passMoments, n, m, pool,
                               [&](std::size_t done, std::size_t total) {
                                   progress.show("exact bounds: " + std::to_string(done) + " of " +
                                                 std::to_string(total) + " passes solved");
                               });
        progress.clear();
        for (const ExactPass& pass : exact) {
            if (pass.bounds.inconsistent) {
                err << "error: the probabilities of \"" << options.inputPath
                    << "\" are inconsistent: no joint distribution of the events has them, as "
                       "the pass l="
                    << pass.l << " proves: " << pass.bounds.inconsistency << std::endl;
                return {kExitBadData, false};
            }
        }
        for (const ExactPass& pass : exact) {
            for (const auto& [side, bound] :
                 {std::pair{"upper", &pass.bounds.upper}, std::pair{"lower", &pass.bounds.lower}}) {
                if (!bound->value) {
                    err << "warning: pass l=" << pass.l << ": no exact " << side
                        << " bound: " << bound->why << std::endl;
                }
            }
        }
    }

    ProvenInterval sharpest;
    if (options.sharpest) {
        SharpestOptions settings;
        settings.progress = [&](const SharpestRound& round) {
            progress.show("sharpest bounds: round " + std::to_string(round.round) + " (" +
                          stageName(round.stage) + "), " + std::to_string(round.workingSet) +
                          " outcomes, largest violation " + general15(round.largestViolation));
        };
        sharpest = buildingFor("the sharpest bounds of " + std::to_string(n) + " events",
                               [&] { return sharpestBounds(n, m, read.probabilities, settings); });
        progress.clear();
        if (sharpest.inconsistent) {
            err << "error: the probabilities of \"" << options.inputPath
                << "\" are inconsistent: no joint distribution of the events has them: "
                << sharpest.inconsistency << std::endl;
            return {kExitBadData, false};
        }
    }

    std::vector<PassRow> rows;
    bool reportWritten = true;
    RunSummary best{kSearchStart, 0.0, 0, 0};
    if (structured) {
        // A report that cannot be written does not stop the passes or the
        // summary, but the run does not count as a success: the report is
        // its record.
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
        const std::int32_t lengths = n / 2 - m + 1;
        writeReportHeader(report, n, m, m);
        const auto afterPass = [&](const PassResult& pass) {
            const BoundSolution& s = pass.solution;
            writePassBlock(
                report, pass.l, m, s, pass.elapsed, pass.moments,
                basisSubscripts(m, pass.tables.pairs, pass.tables.orders, s.Vks, s.Kjs, s.jbest));
            if (report.fail()) {
                writeErrno = writeErrno != 0 ? writeErrno : errno;
            } else {
                ++passesWritten;
            }
            const double bound = -pass.solution.value;
            rows.push_back({pass.l, static_cast<std::int32_t>(pass.tables.counts.size()), bound,
                            pass.elapsed});
            progress.show("pass l=" + std::to_string(pass.l) + " done (" +
                          std::to_string(rows.size()) + " of " + std::to_string(lengths) +
                          "), bound " + general15(bound));
        };
        best = runPassesFromMoments(std::move(read.passMoments), read.walkMicroseconds, n, m, pool,
                                    afterPass);
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
        reportWritten = opened && commitErrno == 0;
        writeConsoleSummary(out, best.bestValue, best.bestTime, best.bestL);
    } else {
        for (const ExactPass& pass : exact) {
            rows.push_back({pass.l, pass.q, std::nullopt, std::nullopt});
        }
    }
    // The exact passes and the structured ones are the same lengths l = m … n/2.
    for (std::size_t i = 0; i < exact.size() && i < rows.size(); ++i) {
        rows[i].exactUpper = exact[i].bounds.upper.value;
        rows[i].exactLower = exact[i].bounds.lower.value;
    }
    const BestExactBounds bestExact = bestExactBounds(exact);
    if (options.exact) {
        writeExactSummary(out, bestExact);
    }
    if (options.sharpest) {
        writeSharpestSummary(out, sharpest);
    }
    bool csvWritten = true;
    if (csv.isOpen()) {
        writePassCsv(csv.stream(), rows, best.bestL, options.exact);
        csvWritten = csv.commit() == 0;
        if (!csvWritten) {
            err << "warning: the CSV file \"" << options.csvPath
                << "\" could not be written completely" << std::endl;
        }
    }
    if (options.compare) {
        Comparison comparison = classicalComparison(
            m, buildingFor("the classical bounds",
                           [&] { return classicalBounds(read.sums, read.singlesAndPairs, n, m); }));
        if (structured) {
            comparison.aggregation = AggregationBound{-best.bestValue, best.bestL};
        }
        if (options.exact) {
            addExactBounds(comparison, bestExact);
        }
        if (options.sharpest) {
            addSharpestBounds(comparison, sharpest);
        }
        writeComparison(out, comparison);
    }
    return {reportWritten && csvWritten ? kExitSuccess : kExitReportFailed, true};
}

// Why the sharpest bounds cannot be sought for this size, or empty: the
// memory plan sets the largest n of each order.
std::string sharpestRefusal(const ProblemSize& size, const RunOptions& options) {
    if (!options.sharpest || size.n <= largestSharpestEvents(size.m)) {
        return {};
    }
    return "--sharpest cannot take n=" + std::to_string(size.n) +
           " events: " + describeSharpestMemoryPlan(size.m);
}

// The messages of the numeric stages go to the program's standard output.
DiagnosticSink writingTo(std::ostream& out) {
    return [&out](std::string_view message) {
        out << message;
        if (!message.empty() && message.back() == '\n') {
            out.flush();
        }
    };
}

}  // namespace

int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const RunOptions& options) {
    const DiagnosticSink sink = writingTo(out);
    const DiagnosticScope scope(&sink);
    const Parsed<ProblemSize> answers = askEventsAndOrder(in, out);
    if (!answers.ok()) {
        err << "error: " << answers.message() << std::endl;
        return kExitBadData;
    }
    if (const std::string refusal = sharpestRefusal(answers.value(), options); !refusal.empty()) {
        err << "error: " << refusal << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome =
        boundAndSummarise(answers.value().n, answers.value().m, true, out, err, options);
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
    const DiagnosticSink sink = writingTo(out);
    const DiagnosticScope scope(&sink);
    // The exact methods hold for any order; the structured passes need an
    // odd m of at least 3 and at most n/2.
    const Parsed<ProblemSize> forStructured = checkOrder(n, m);
    const Parsed<ProblemSize> size =
        options.exact || options.sharpest ? checkAnyOrder(n, m) : forStructured;
    if (!size.ok()) {
        err << "error: " << size.message() << std::endl;
        return kExitBadData;
    }
    if (const std::string refusal = sharpestRefusal(size.value(), options); !refusal.empty()) {
        err << "error: " << refusal << std::endl;
        return kExitBadData;
    }
    if (!forStructured.ok()) {
        err << "note: no structured passes: " << forStructured.message()
            << "; the structured bound is not computed, and \"" << options.reportPath
            << "\" is not written" << std::endl;
    }
    const RunOutcome outcome =
        boundAndSummarise(size.value().n, size.value().m, forStructured.ok(), out, err, options);
    out << std::flush;
    return outcome.status;
}

}  // namespace unionbound
