#include "app/command_line.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "cli/arguments.hpp"
#include "text/numbers.hpp"
#include "text/shown_word.hpp"

#ifndef UNIONBOUND_VERSION
#define UNIONBOUND_VERSION "unknown"
#endif

namespace unionbound {

namespace {

// Reads the value of a whole-number option into `number`.
Expected<void> readWholeNumber(ArgumentWalker& words, const char* meaning, std::int64_t& number) {
    const Parsed<std::int64_t> value =
        wholeNumberValue(words, meaning, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
    if (!value.ok()) {
        return value.error();
    }
    number = value.value();
    return {};
}

// Reads the value of a path option into `path`.
Expected<void> readPath(ArgumentWalker& words, const std::string& option, std::string& path) {
    const Parsed<std::string> value = words.value();
    if (!value.ok()) {
        return refuse(value.message() + " (a file path)");
    }
    if (value.value().empty()) {
        return refuse("option " + option + " needs a non-empty file path");
    }
    path = value.value();
    return {};
}

// The refusal of an option given twice.
Expected<void> twice(const std::string& option) {
    return refuse("option " + option + " is given twice");
}

}  // namespace

Parsed<CommandLine> parseCommandLine(const std::vector<std::string>& words) {
    CommandLine line;
    line.anyOption = !words.empty();
    ArgumentWalker walker(words);
    bool seenN = false, seenM = false, seenInput = false, seenReport = false, seenCsv = false,
         seenJson = false, seenCompare = false, seenExact = false, seenSharpest = false,
         seenThreads = false, seenTimeLimit = false;
    const auto fail = [](std::string problem) { return Parsed<CommandLine>(refuse(std::move(problem))); };
    const auto once = [](bool& seen) {
        const bool repeated = seen;
        seen = true;
        return !repeated;
    };
    while (!walker.done()) {
        const std::string option = walker.nextOption();
        if (!walker.isOption()) {
            return fail("unexpected argument \"" + shownWord(option) +
                        "\": the program takes options only");
        }
        const bool isFlag =
            option == "--help" || option == "-h" || option == "--version" || option == "--compare" ||
                            option == "--exact" || option == "--sharpest";
        if (isFlag && walker.hasAttachedValue()) {
            return fail("option " + option + " takes no value");
        }
        if (option == "--help" || option == "-h") {
            line.action = CommandLine::Action::help;
            return line;
        }
        if (option == "--version") {
            line.action = CommandLine::Action::version;
            return line;
        }
        Expected<void> read;
        if (option == "-n") {
            read = once(seenN) ? readWholeNumber(walker, "the number of events", line.n)
                               : twice(option);
        } else if (option == "-m") {
            read = once(seenM)
                       ? readWholeNumber(walker, "the maximum order of the intersections", line.m)
                       : twice(option);
        } else if (option == "--input") {
            read = once(seenInput) ? readPath(walker, option, line.inputPath) : twice(option);
        } else if (option == "--report") {
            read = once(seenReport) ? readPath(walker, option, line.reportPath) : twice(option);
        } else if (option == "--csv") {
            read = once(seenCsv) ? readPath(walker, option, line.csvPath) : twice(option);
        } else if (option == "--json") {
            read = once(seenJson) ? readPath(walker, option, line.jsonPath) : twice(option);
        } else if (option == "--threads") {
            if (once(seenThreads)) {
                const Parsed<std::int64_t> value =
                    wholeNumberValue(walker, "the number of threads", 1, kMostThreads);
                line.threads = static_cast<std::int32_t>(value.value());
                if (!value.ok()) {
                    read = value.error();
                }
            } else {
                read = twice(option);
            }
        } else if (option == "--time-limit") {
            if (once(seenTimeLimit)) {
                const Parsed<double> value = nonNegativeDecimalValue(walker, "seconds");
                if (value.ok()) {
                    line.timeLimit = value.value();
                } else {
                    read = value.error();
                }
            } else {
                read = twice(option);
            }
        } else if (option == "--compare") {
            read = once(seenCompare) ? Expected<void>() : twice(option);
            line.compare = true;
        } else if (option == "--exact") {
            read = once(seenExact) ? Expected<void>() : twice(option);
            line.exact = true;
        } else if (option == "--sharpest") {
            read = once(seenSharpest) ? Expected<void>() : twice(option);
            line.sharpest = true;
        } else {
            read = refuse("unknown option \"" + shownWord(option) + "\"");
        }
        if (!read.ok()) {
            return fail(read.message());
        }
    }
    if (seenN != seenM) {
        return fail(seenN ? "batch mode needs both -n and -m: -m is missing"
                          : "batch mode needs both -n and -m: -n is missing");
    }
    if (line.jsonPath == "-" && line.csvPath == "-") {
        return fail("--json and --csv cannot both write to standard output (-)");
    }
    line.batch = seenN;
    // The dialogue reads its answers from standard input and writes its
    // prompts to standard output.
    if (!line.batch && line.inputPath == "-") {
        return fail("--input - (standard input) needs batch mode, -n and -m: the console "
                    "dialogue reads its answers from standard input");
    }
    return line;
}

Parsed<std::int32_t> chooseThreads(std::int32_t option, const char* environment, unsigned cores) {
    if (option != 0) {
        return option;
    }
    if (environment != nullptr && *environment != '\0') {
        const Parsed<std::int64_t> number = parseWholeNumber(environment);
        if (!number.ok() || number.value() < 1 || number.value() > kMostThreads) {
            return refuse(
                "UNIONBOUND_THREADS (the number of threads) must be a whole number from 1 "
                "to " +
                std::to_string(kMostThreads) + ", not \"" + shownWord(environment) + "\"");
        }
        return static_cast<std::int32_t>(number.value());
    }
    return static_cast<std::int32_t>(
        std::clamp<unsigned>(cores, 1, static_cast<unsigned>(kMostThreads)));
}

std::string usageText() {
    return R"(Usage: unionbound [-n N -m M] [--input PATH] [--report PATH] [--csv PATH] [--json PATH]
                  [--compare] [--exact] [--sharpest] [--threads N] [--time-limit SECONDS]

Bounds the probability of the union of N events from the probabilities of all
intersections of 1 to M of them (M odd), read from a text file in the subset
order: all single events, then all pairs, ..., each size in lexicographic
order. Without -n and -m the program asks for N and M at the console and waits
for RETURN at the end.

Options:
  -n N           the number of events (at least 6); with -m, batch mode:
                 no prompts and no wait for RETURN
  -m M           the maximum order of the intersections: odd, 3 <= M <= N/2
                 (with --exact or --sharpest any 1 <= M <= N: where the
                 structured passes cannot run, only the bounds asked for are
                 computed and no report is written)
  --input PATH   read the probabilities from PATH (default: prob.txt; in
                 batch mode - for standard input)
  --report PATH  write the per-pass report to PATH (default: result.txt)
  --csv PATH     also write one line per pass to PATH:
                 l,q,bound,seconds,best (best is 1 for the best pass, else 0)
                 and with --exact also exact_upper,exact_lower (- for
                 standard output, every other line of the program then
                 going to standard error)
  --json PATH    also write the run as one JSON object to PATH (- for
                 standard output, every other line of the program then going
                 to standard error): the problem, each method's upper and
                 lower bound, proven or not or why there is none, the passes,
                 the best interval and the method of each side, the timings
                 and the version
  --compare      after the summary, show the classical bounds from the same
                 probabilities beside this program's bound: upper (Boole,
                 Bonferroni, Hunter, the sharp bound from S1 ... SM) and
                 lower (Dawson-Sankoff, the sharp lower bound)
  --exact        also the exact bounds of every pass: the largest and the
                 smallest probability of the union that the pass's moments
                 allow, each proven from the LP solver's dual solution; the
                 best of them follow the summary
  --sharpest     also the sharpest bounds: the largest and the smallest
                 probability of the union over all joint distributions of
                 the events with exactly these probabilities, the best
                 possible from the data, proven (any N whose positive
                 intersections fit in memory; how long it takes depends
                 on the data, which --time-limit bounds)
  --threads N    use N threads (1 to 256): one reads the file while another
                 sums the moments, and the passes are shared among them;
                 every output is the same for any N. Default: the
                 environment variable UNIONBOUND_THREADS if set, else the
                 number of cores
  --time-limit SECONDS
                 stop the methods once SECONDS (a decimal, 0 or more) have
                 passed since the probabilities were read: the sharpest
                 bounds end with the best bounds proven so far, the passes
                 with those done, and the lines say so. Default: no limit
  -h, --help     show this text and exit
  --version      show the version and exit

Progress goes to standard error while a run with options works, when standard
error is a terminal.

Probabilities that no joint distribution has (a pair beyond its Frechet
bounds) are refused in batch mode; at the console a warning names them on
standard error and the bound is computed all the same.
Words after the expected numbers are not read; a warning says how many.

Ctrl-C (or SIGTERM, SIGHUP) ends a run at once, the earlier report and CSV
file left as they were; during the sharpest bounds it first ends them with the
best bounds proven so far, which are shown (a second Ctrl-C ends it at once).

Exit status: 0 on success, 1 for bad data (n, m or the input file), 2 for a
usage error, 128 + the signal number for a run stopped by a signal.

Examples:
  unionbound                              # ask for n and m at the console
  unionbound -n 10 -m 3                   # batch run on prob.txt
  unionbound -n 10 -m 3 --compare --csv passes.csv
  unionbound -n 10 -m 3 --exact --compare --json run.json
  unionbound -n 10 -m 2 --exact           # pairwise data: the exact bounds only
  unionbound -n 12 -m 3 --sharpest --compare
  unionbound -n 20 -m 3 --sharpest --time-limit 60
  unionbound -n 60 -m 5 --input data/prob.txt --report data/result.txt
)";
}

std::string versionText() {
    return std::string("unionbound ") + UNIONBOUND_VERSION + "\n";
}

std::string usageReminder() {
    return "Usage: unionbound [-n N -m M] [--input PATH] [--report PATH] [--csv PATH] "
           "[--json PATH] [--compare] [--exact] [--sharpest] [--threads N] [--time-limit "
           "SECONDS]\nRun \"unionbound --help\" for more information.\n";
}

}  // namespace unionbound
