#include "app/run.hpp"

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/console_input.hpp"
#include "app/standard_output.hpp"
#include "cli/exit_status.hpp"
#include "output/comparison_report.hpp"
#include "output/exact_summary.hpp"
#include "output/pass_csv.hpp"
#include "output/progress.hpp"
#include "output/report.hpp"
#include "process/replacement_file.hpp"
#include "unionbound/engine.hpp"

namespace unionbound {

namespace {

// The exit status of a run, and whether it got as far as the summary.
struct RunOutcome {
    int status;
    bool summarised;
};

// The messages of the numeric stages go to the program's standard output,
// a message that ends a line flushing it.
std::function<void(std::string_view)> writingTo(std::ostream& out) {
    return [&out](std::string_view message) {
        out << message;
        if (!message.empty() && message.back() == '\n') {
            out.flush();
        }
    };
}

// The report, opened when the first pass is done, one block per pass. A
// report that cannot be written does not stop the passes or the summary,
// but the run does not count as a success: the report is its record.
class Report {
  public:
    Report(const std::string& path, std::int32_t n, std::int32_t m, std::ostream& err)
        : path_(path), n_(n), m_(m), err_(err) {}

    void write(const PassReport& pass) {
        open();
        writePassBlock(file_.stream(), m_, pass);
        if (file_.stream().fail()) {
            writeErrno_ = writeErrno_ != 0 ? writeErrno_ : errno;
        } else {
            ++passesWritten_;
        }
    }

    // Moves the complete report over the earlier one; says so where it
    // cannot. True when the report was written in full.
    bool commit() {
        open();
        const int commitErrno = file_.commit();
        writeErrno_ = writeErrno_ != 0 ? writeErrno_ : commitErrno;
        if (opened_ && commitErrno != 0) {
            err_ << "warning: writing the report \"" << path_ << "\" failed after "
                 << passesWritten_ << " complete pass blocks"
                 << (writeErrno_ != 0 ? std::string(": ") + std::strerror(writeErrno_)
                                      : std::string())
                 << (file_.writesDirectly() ? "; the report is incomplete"
                                            : "; the earlier report, if any, is left as it was")
                 << std::endl;
        }
        return opened_ && commitErrno == 0;
    }

  private:
    void open() {
        if (tried_) {
            return;
        }
        tried_ = true;
        opened_ = file_.open(path_);
        if (!opened_) {
            err_ << "warning: cannot write the report \"" << path_
                 << "\": " << std::strerror(file_.error()) << "; the passes run without it"
                 << std::endl;
        }
        writeReportHeader(file_.stream(), n_, m_, m_);
    }

    std::string path_;
    std::int32_t n_;
    std::int32_t m_;
    std::ostream& err_;
    ReplacementFile file_;
    bool tried_ = false;
    bool opened_ = false;
    int writeErrno_ = 0;
    std::int32_t passesWritten_ = 0;
};

// Says every side of an exact pass that no proof could be found for.
void warnOfUnprovenPasses(const MethodResult& exact, std::ostream& err) {
    for (const PassBounds& pass : exact.passes) {
        for (const auto& [side, bound] :
             {std::pair{"upper", &pass.upper}, std::pair{"lower", &pass.lower}}) {
            if (!bound->value) {
                err << "warning: pass l=" << pass.l << ": no exact " << side
                    << " bound: " << bound->why << std::endl;
            }
        }
    }
}

// From n and m to the closing lines: the engine checks the sizes and reads
// the probabilities (every number checked before the report is touched),
// runs the methods, and this writes the report and the CSV file, the
// summary and, if asked, the comparison. At the console (`dialogue`), data
// that no distribution has are warned of and bounded all the same.
RunOutcome boundAndSummarise(std::int64_t n, std::int64_t m, std::ostream& out, std::ostream& err,
                             bool dialogue, const RunOptions& options) {
    ProgressLine progress(options.progress);
    std::optional<Report> report;
    Options settings;
    settings.methods = options.methods;
    settings.threads = options.threads;
    settings.refuseInconsistentData = !dialogue;
    settings.warning = [&](std::string_view warning) {
        progress.clear();
        err << "warning: " << warning << std::endl;
    };
    settings.progress = [&](const Progress& now) { progress.show(now.text); };
    settings.diagnostics = writingTo(out);
    settings.passDone = [&](const PassReport& pass) { report->write(pass); };
    settings.methodDone = [&](const MethodResult& done) {
        progress.clear();
        if (done.name == method::exact) {
            warnOfUnprovenPasses(done, err);
        }
    };
    const auto refused = [&](const Error& error) {
        progress.clear();
        err << "error: " << error.message << std::endl;
        return RunOutcome{kExitBadData, false};
    };

    Engine engine(std::move(settings));
    const Expected<Plan> plan =
        engine.setProblem(options.inputPath == "-" ? Problem::fromStandardInput(n, m)
                                                   : Problem::fromFile(n, m, options.inputPath));
    if (!plan.ok()) {
        return refused(plan.error());
    }
    for (const LeftOut& left : plan.value().leftOut) {
        if (left.method == method::aggregation) {
            err << "note: no structured passes: " << left.why
                << "; the structured bound is not computed, and \"" << options.reportPath
                << "\" is not written" << std::endl;
        }
    }
    if (const Expected<void> read = engine.readProbabilities(); !read.ok()) {
        return refused(read.error());
    }
    progress.clear();

    // The report and the CSV file replace the earlier files only once complete.
    ReplacementFile csv;
    const bool csvToStream = options.csvPath == kStandardOutputPath;
    if (!options.csvPath.empty() && !csvToStream && !csv.open(options.csvPath)) {
        err << "error: cannot write the CSV file \"" << options.csvPath
            << "\": " << std::strerror(csv.error()) << std::endl;
        return {kExitBadData, false};
    }
    report.emplace(options.reportPath, static_cast<std::int32_t>(n), static_cast<std::int32_t>(m),
                   err);
    const Expected<Result> ran = engine.run();
    if (!ran.ok()) {
        return refused(ran.error());
    }
    const Result& result = ran.value();

    bool reportWritten = true;
    if (const MethodResult* aggregation = result.method(method::aggregation)) {
        reportWritten = report->commit();
        double seconds = 0.0;
        for (const PassBounds& pass : aggregation->passes) {
            if (pass.l == aggregation->upper.pass) {
                seconds = pass.seconds.value_or(0.0);
            }
        }
        writeConsoleSummary(out, -aggregation->upper.value.value_or(0.0), seconds,
                            aggregation->upper.pass);
    }
    if (const MethodResult* exact = result.method(method::exact)) {
        writeExactSummary(out, bestExactBoundsOf(*exact));
    }
    if (const MethodResult* sharpest = result.method(method::sharpest)) {
        writeSharpestSummary(out, provenIntervalOf(*sharpest));
    }
    bool csvWritten = true;
    if (csvToStream && options.csvStream != nullptr) {
        std::ostream& data = *options.csvStream;
        writePassCsv(data, passRowsOf(result), bestPassOf(result),
                     result.method(method::exact) != nullptr);
        csvWritten = !data.flush().fail();
        if (!csvWritten) {
            err << "warning: the CSV lines could not be written completely to standard output"
                << std::endl;
        }
    } else if (csv.isOpen()) {
        writePassCsv(csv.stream(), passRowsOf(result), bestPassOf(result),
                     result.method(method::exact) != nullptr);
        csvWritten = csv.commit() == 0;
        if (!csvWritten) {
            err << "warning: the CSV file \"" << options.csvPath
                << "\" could not be written completely" << std::endl;
        }
    }
    if (result.method(method::classical) != nullptr) {
        writeComparison(out, comparisonOf(result));
    }
    const bool resultWritten = !options.resultDone || options.resultDone(result);
    return {reportWritten && csvWritten && resultWritten ? kExitSuccess : kExitReportFailed, true};
}

}  // namespace

int runConsole(std::istream& in, std::ostream& out, std::ostream& err, const RunOptions& options) {
    const Parsed<ProblemSize> answers = askEventsAndOrder(in, out);
    if (!answers.ok()) {
        err << "error: " << answers.message() << std::endl;
        return kExitBadData;
    }
    const RunOutcome outcome =
        boundAndSummarise(answers.value().n, answers.value().m, out, err, true, options);
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
    const RunOutcome outcome = boundAndSummarise(n, m, out, err, false, options);
    out << std::flush;
    return outcome.status;
}

}  // namespace unionbound
