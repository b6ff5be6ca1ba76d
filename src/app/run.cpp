#include "app/run.hpp"

#include <algorithm>
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
#include "process/interruption.hpp"
#include "process/replacement_file.hpp"
#include "unionbound/engine.hpp"

namespace unionbound {

namespace {

// The exit status of a run, whether it got as far as the summary, and
// whether a signal stopped it (then nothing waits for RETURN).
struct RunOutcome {
    int status;
    bool summarised;
    bool interrupted = false;
};

// The status of a run stopped by a signal, as the handlers end one.
int interruptedStatus(int signalNumber) {
    return 128 + signalNumber;
}

// Ctrl-C (SIGINT), SIGTERM or SIGHUP while the sharpest bounds run asks
// them to stop: the handler keeps the signal instead of ending the process,
// and the engine's stop request says so. The methods run in the plan's
// order, so the sharpest bounds run from the end of the method before them
// to their own end. At every other moment a signal ends the run at once, as
// it always has; after one has stopped the sharpest bounds, the request
// stops the later methods too, as the run ends.
class SignalsDuringTheSharpestBounds {
  public:
    explicit SignalsDuringTheSharpestBounds(std::vector<std::string> methods)
        : methods_(std::move(methods)) {}
    ~SignalsDuringTheSharpestBounds() { endDeferral(); }
    SignalsDuringTheSharpestBounds(const SignalsDuringTheSharpestBounds&) = delete;
    SignalsDuringTheSharpestBounds& operator=(const SignalsDuringTheSharpestBounds&) = delete;

    // Before the methods run.
    void starting() { deferBefore(0); }

    // After each method.
    void ended(const MethodResult& method) {
        if (method.name == method::sharpest) {
            endDeferral();
        }
        const auto at = std::find(methods_.begin(), methods_.end(), method.name);
        deferBefore(static_cast<std::size_t>(at - methods_.begin()) + 1);
    }

    bool stopRequested() const { return signal_ != 0 || (deferring_ && interruptionArrived()); }

    // Once the methods have ended: the signal that stopped them, or 0.
    int signal() {
        endDeferral();
        return signal_;
    }

  private:
    void deferBefore(std::size_t next) {
        if (signal_ == 0 && next < methods_.size() && methods_[next] == method::sharpest) {
            deferInterruptions();
            deferring_ = true;
        }
    }

    void endDeferral() {
        if (deferring_) {
            deferring_ = false;
            if (const int arrived = endDeferredInterruptions(); arrived != 0) {
                signal_ = arrived;
            }
        }
    }

    std::vector<std::string> methods_;
    bool deferring_ = false;
    int signal_ = 0;
};

// Says where the passes of a method that stopped early ended, and what its
// closing lines and the report then hold.
void noteStoppedPasses(const MethodResult& method, const std::string& reportPath,
                       std::ostream& err) {
    if (method.stop == Stop::none ||
        (method.name != method::aggregation && method.name != method::exact)) {
        return;
    }
    const std::string report = "\"" + reportPath + "\"";
    const bool structured = method.name == method::aggregation;
    const bool kept = method.stop != Stop::interrupted;  // the report of the passes done
    if (method.passes.empty()) {
        if (structured) {
            err << "note: the structured passes " << stoppedWords(method.stop)
                << " before the first: the structured bound is not computed, and " << report
                << " is not written" << std::endl;
        }
        return;  // the exact lines say so
    }
    const std::string what = !structured ? "exact bounds are those"
                             : kept      ? "structured bound and " + report + " are those"
                                         : "structured bound is that";
    err << "note: the " << (structured ? "structured" : "exact") << " passes "
        << stoppedWords(method.stop) << " after l=" << method.passes.back().l << ": the " << what
        << " of the passes up to it"
        << (structured && !kept ? ", and " + report + " is not written" : "") << std::endl;
}

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
    std::optional<SignalsDuringTheSharpestBounds> signals;
    Options settings;
    settings.methods = options.methods;
    settings.threads = options.threads;
    settings.timeLimit = options.timeLimit;
    settings.stopRequested = [&] { return signals && signals->stopRequested(); };
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
        signals->ended(done);
        if (done.name == method::exact) {
            warnOfUnprovenPasses(done, err);
        }
        noteStoppedPasses(done, options.reportPath, err);
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
    signals.emplace(plan.value().methods);
    signals->starting();
    const Expected<Result> ran = engine.run();
    const int signalNumber = signals->signal();
    if (!ran.ok()) {
        const RunOutcome outcome = refused(ran.error());
        return signalNumber == 0 ? outcome
                                 : RunOutcome{interruptedStatus(signalNumber), false, true};
    }
    const Result& result = ran.value();

    // A run stopped by a signal shows what it has; the files it was to
    // replace stay as they were, as when a signal ends a run at once.
    const bool interrupted = signalNumber != 0;
    bool reportWritten = true;
    if (const MethodResult* aggregation = result.method(method::aggregation);
        aggregation != nullptr && aggregation->upper.value) {
        reportWritten = interrupted || report->commit();
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
        writeSharpestSummary(out, *sharpest);
    }
    if (interrupted) {
        if (result.method(method::classical) != nullptr) {
            writeComparison(out, comparisonOf(result));
        }
        out << std::flush;
        return {interruptedStatus(signalNumber), true, true};
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
    if (!outcome.summarised || outcome.interrupted) {
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
