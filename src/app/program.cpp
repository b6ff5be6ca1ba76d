#include "app/program.hpp"

#include <cstdlib>
#include <thread>
#include <utility>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "cli/exit_status.hpp"

namespace unionbound {

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
    if (line.batch) {
        return runBatch(line.n, line.m, out, err, options);
    }
    return runConsole(in, out, err, options);
}

}  // namespace unionbound
