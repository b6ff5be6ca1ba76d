// The options of the unionbound program. Without options the program asks
// for n and m at the console; "-n N -m M" runs it in batch mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace unionbound {

// Exit status of a command line that cannot be used.
inline constexpr int kExitUsage = 2;

struct CommandLine {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    std::string problem;  // the usage error, when action is usageError

    bool batch = false;  // -n and -m given
    std::int64_t n = 0;  // as given; checked like the console answers
    std::int64_t m = 0;
    std::string inputPath = "prob.txt";
    std::string reportPath = "result.txt";
    std::string csvPath;  // empty: no CSV file
    bool compare = false;
    bool anyOption = false;  // at least one word was given
};

// Reads the words after the program name, left to right; the first problem
// (or --help, or --version) ends the reading.
CommandLine parseCommandLine(const std::vector<std::string>& words);

// The text printed by --help, the line printed by --version, and the short
// reminder printed after a usage error.
std::string usageText();
std::string versionText();
std::string usageReminder();

}  // namespace unionbound
