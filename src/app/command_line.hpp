// The options of the unionbound program. Without options the program asks
// for n and m at the console; "-n N -m M" runs it in batch mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/parsed.hpp"

namespace unionbound {

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;

    bool batch = false;  // -n and -m given
    std::int64_t n = 0;  // as given; checked like the console answers
    std::int64_t m = 0;
    std::string inputPath = "prob.txt";
    std::string reportPath = "result.txt";
    std::string csvPath;   // empty: no CSV file
    std::string jsonPath;  // --json: the record of the run; "-" for standard output; empty: none
    bool compare = false;
    bool exact = false;
    bool sharpest = false;
    std::int32_t threads = 0;         // --threads N; 0 when not given
    std::optional<double> timeLimit;  // --time-limit SECONDS; none when not given
    bool anyOption = false;           // at least one word was given
};

// The most threads a run takes.
inline constexpr std::int32_t kMostThreads = 256;

// The threads of a run: `option` (--threads) when given (not 0), else the
// value of the environment variable UNIONBOUND_THREADS when set and not
// empty (`environment`, null when unset), else `cores` (the number the
// machine has; 1 when unknown, at most kMostThreads). A variable that is not
// a whole number from 1 to kMostThreads is refused, saying so.
Parsed<std::int32_t> chooseThreads(std::int32_t option, const char* environment, unsigned cores);

// Reads the words after the program name, left to right; the first problem
// (a usage error, refused with its message) or --help or --version ends the
// reading.
Parsed<CommandLine> parseCommandLine(const std::vector<std::string>& words);

// The text printed by --help, the line printed by --version, and the short
// reminder printed after a usage error.
std::string usageText();
std::string versionText();
std::string usageReminder();

}  // namespace unionbound
