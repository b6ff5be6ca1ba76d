// Fuzz target for the command lines of both programs: the bytes, split at
// NUL bytes, are the words after the program name.
//
// Checked for every input:
// - parsing is a function of the words: the same words give the same result;
// - a usage error comes with a one-line message, any other outcome with none;
// - --help or --version is only the outcome when such a word was given;
// - no words at all is the interactive run with the default file names;
// - a batch run keeps n and m as given, and the console's checks of n and m
//   take them without trouble (they decide whether the run goes ahead);
// - a probgen run names a source, and its n, m and probabilities are sane.
#include <cmath>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "fuzz_input.hpp"
#include "generator/probgen.hpp"
#include "moments/problem_size.hpp"

namespace unionbound::fuzzing {
namespace {

std::vector<std::string> wordsOf(std::string_view bytes) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\0') {
            words.emplace_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    if (bytes.empty()) {
        words.clear();
    }
    return words;
}

bool holdsWord(const std::vector<std::string>& words, std::initializer_list<const char*> wanted) {
    for (const std::string& word : words) {
        for (const char* w : wanted) {
            if (word.rfind(w, 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

void checkUnionbound(const std::vector<std::string>& words) {
    const Parsed<CommandLine> parsed = parseCommandLine(words);
    const Parsed<CommandLine> parsedAgain = parseCommandLine(words);
    const CommandLine& line = parsed.value();
    const CommandLine& again = parsedAgain.value();
    require(parsed.ok() == parsedAgain.ok() && line.action == again.action &&
                parsed.message() == parsedAgain.message() && line.n == again.n &&
                line.m == again.m && line.inputPath == again.inputPath &&
                line.reportPath == again.reportPath && line.csvPath == again.csvPath,
            "the same words parse alike");
    if (!parsed.ok()) {
        requireOneLineMessage(parsed.message(), "a usage error says what is wrong on one line");
        return;
    }
    if (line.action == CommandLine::Action::help) {
        require(holdsWord(words, {"-h", "--help"}), "help only when asked for");
        return;
    }
    if (line.action == CommandLine::Action::version) {
        require(holdsWord(words, {"--version"}), "version only when asked for");
        return;
    }
    if (words.empty()) {
        require(!line.batch && !line.anyOption && line.inputPath == "prob.txt" &&
                    line.reportPath == "result.txt" && line.csvPath.empty() && !line.compare,
                "no words: the interactive run on the default files");
    }
    require(!line.inputPath.empty() && !line.reportPath.empty(), "file names are never empty");
    if (line.batch) {
        require(holdsWord(words, {"-n", "--n"}) && holdsWord(words, {"-m", "--m"}),
                "batch mode needs -n and -m");
        const Parsed<ProblemSize> size = checkOrder(line.n, line.m);
        if (!size.ok()) {
            requireOneLineMessage(size.message(), "a refused n or m is said on one line");
        }
    }
}

void checkProbgen(const std::vector<std::string>& words) {
    const Parsed<ProbgenCommand> parsed = parseProbgenCommand(words);
    if (!parsed.ok()) {
        requireOneLineMessage(parsed.message(), "a probgen usage error is said on one line");
        return;
    }
    const ProbgenCommand& command = parsed.value();
    if (command.action != ProbgenCommand::Action::run) {
        return;
    }
    require(command.source != ProbgenCommand::Source::none, "a probgen run names its source");
    require(command.m >= 1, "a probgen run has an order");
    for (double p : command.probabilities) {
        require(std::isfinite(p) && p >= 0.0 && p <= 1.0,
                "independent probabilities lie in [0, 1]");
    }
    require(std::isfinite(command.density) && command.density >= 0.0 && command.density <= 1.0,
            "the mixture density lies in [0, 1]");
}

}  // namespace
}  // namespace unionbound::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace unionbound::fuzzing;
    const std::vector<std::string> words =
        wordsOf(std::string_view(reinterpret_cast<const char*>(data), size));
    checkUnionbound(words);
    checkProbgen(words);
    return 0;
}
