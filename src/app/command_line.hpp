// The options of the unionbound program. Without options the program asks
// for n and m at the console; "-n N -m M" runs it in batch mode.
#pragma once

#include <cstdint>
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
    std::string csvPath;  // empty: no CSV file
    bool compare = false;
    bool exact = false;
    bool sharpest = false;
    bool anyOption = false;  // at least one word was given
};

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
