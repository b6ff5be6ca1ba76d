#include "app/program.hpp"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/standard_output.hpp"
#include "cli/exit_status.hpp"
#include "output/json_report.hpp"
#include "process/replacement_file.hpp"

#ifndef UNIONBOUND_VERSION
#define UNIONBOUND_VERSION "unknown"
#endif

namespace unionbound {

namespace {

// The JSON record of a run (--json): a file that replaces an earlier one
// only once complete, or standard output.
class JsonRecord {
  public:
    JsonRecord(const CommandLine& line, std::ostream& out, std::ostream& err)
        : path_(line.jsonPath), input_(line.inputPath), out_(out), err_(err) {}

    bool toStandardOutput() const { return path_ == kStandardOutputPath; }

    // Starts the file; says why it cannot be written.
    bool open() {
        if (toStandardOutput() || file_.open(path_)) {
            return true;
        }
        err_ << "error: cannot write the JSON file \"" << path_
             << "\": " << std::strerror(file_.error()) << std::endl;
        return false;
    }

    // Writes the record of `result`; true when it was written in full.
    bool write(const Result& result) {
        std::ostream& target = toStandardOutput() ? out_ : file_.stream();
        writeJsonReport(target, {UNIONBOUND_VERSION, input_}, result);
        target.flush();
        const bool written = toStandardOutput() ? !out_.fail() : file_.commit() == 0;
        if (!written) {
            err_ << "warning: the JSON file \"" << path_ << "\" could not be written completely"
                 << std::endl;
        }
        return written;
    }

  private:
    std::string path_;
    std::string input_;
    std::ostream& out_;
    std::ostream& err_;
    ReplacementFile file_;
};

}  // namespace

int runCommandLine(const std::vector<std::string>& words, std::istream& in, std::ostream& out,
                   std::ostream& err, bool errIsTerminal) {
    const Parsed<CommandLine> parsed = parseCommandLine(words);
    if (!parsed.ok()) {
        err << "error: " << parsed.message() << '\n' << usageReminder() << std::flush;
        return kExitUsage;
    }
    const CommandLine& line = parsed.value();
    switch (line.action) {
        case CommandLine::Action::help:
            out << usageText() << std::flush;
            return kExitSuccess;
        case CommandLine::Action::version:
            out << versionText() << std::flush;
            return kExitSuccess;
        case CommandLine::Action::run:
            break;
    }
    const Parsed<std::int32_t> threads = chooseThreads(
        line.threads, std::getenv("UNIONBOUND_THREADS"), std::thread::hardware_concurrency());
    if (!threads.ok()) {
        err << "error: " << threads.message() << '\n' << usageReminder() << std::flush;
        return kExitUsage;
    }
    RunOptions options;
    options.threads = threads.value();
    options.timeLimit = line.timeLimit;
    options.inputPath = line.inputPath;
    options.reportPath = line.reportPath;
    options.csvPath = line.csvPath;
    for (const auto& [asked, name] :
         {std::pair{line.exact, method::exact}, std::pair{line.sharpest, method::sharpest},
          std::pair{line.compare, method::classical}}) {
        if (asked) {
            options.methods.emplace_back(name);
        }
    }
    options.progress = errIsTerminal && line.anyOption ? &err : nullptr;
    std::optional<JsonRecord> json;
    if (!line.jsonPath.empty()) {
        if (!json.emplace(line, out, err).open()) {
            return kExitBadData;
        }
        options.resultDone = [&json](const Result& result) { return json->write(result); };
    }
    options.csvStream = &out;
    std::ostream& lines = programLinesStream({line.jsonPath, line.csvPath}, out, err);
    if (line.batch) {
        return runBatch(line.n, line.m, lines, err, options);
    }
    return runConsole(in, lines, err, options);
}

}  // namespace unionbound
