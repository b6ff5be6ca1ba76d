// The probgen program: writes a valid "prob.txt" for n events and orders up
// to m, and prints the probability of the union it comes from.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "numeric/types.hpp"
#include "text/parsed.hpp"

namespace unionbound {

struct ProbgenCommand {
    enum class Action { run, help, version };
    enum class Source { none, independent, data, mixture, clustered, records };
    Action action = Action::run;

    Source source = Source::none;
    std::int32_t n = 0;  // 0 when not given
    std::int32_t m = 0;
    RealVector probabilities;  // --independent: one per event, or one for all n events
    std::string dataPath;      // --data
    std::uint64_t seed = 0;    // --mixture, --clustered, --records
    std::int32_t outcomes = 20;
    double density = 0.0;                 // 0: min(0.5, 6/n), about six events per outcome at most
    std::int32_t groupSize = 4;           // --clustered
    std::int64_t items = 50000;           // --records
    std::string outputPath = "prob.txt";  // "-" for standard output
};

// Reads the words after the program name; the first problem (a usage error,
// refused with its message) or --help or --version ends the reading.
Parsed<ProbgenCommand> parseProbgenCommand(const std::vector<std::string>& words);

std::string probgenUsageText();

// Parses and runs; returns the exit status (cli/exit_status.hpp: success,
// bad data, usage error). The probabilities go to the output file (or `out` for "-"),
// the closing lines to `out`, problems to `err`.
int runProbgen(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace unionbound
