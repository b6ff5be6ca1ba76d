#include "app/program.hpp"

#include "app/command_line.hpp"
#include "app/driver.hpp"

namespace unionbound {

int runCommandLine(const std::vector<std::string>& words, std::istream& in, std::ostream& out,
                   std::ostream& err, bool errIsTerminal) {
    const CommandLine line = parseCommandLine(words);
    switch (line.action) {
        case CommandLine::Action::help:
            out << usageText() << std::flush;
            return kExitSuccess;
        case CommandLine::Action::version:
            out << versionText() << std::flush;
            return kExitSuccess;
        case CommandLine::Action::usageError:
            err << "error: " << line.problem << '\n' << usageReminder() << std::flush;
            return kExitUsage;
        case CommandLine::Action::run:
            break;
    }
    RunOptions options;
    options.inputPath = line.inputPath;
    options.reportPath = line.reportPath;
    options.csvPath = line.csvPath;
    options.compare = line.compare;
    options.progress = errIsTerminal && line.anyOption ? &err : nullptr;
    if (line.batch) {
        return runBatch(line.n, line.m, out, err, options);
    }
    return runConsole(in, out, err, options);
}

}  // namespace unionbound
