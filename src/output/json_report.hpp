// The machine-readable record of a run (--json): one JSON object holding the
// problem, every method's upper and lower bound with its proof or the reason
// there is none, the passes, the best interval and the method that gives
// each side, the timings and the program's version. docs/program.md lists every
// key.
#pragma once

#include <ostream>
#include <string>

#include "unionbound/result.hpp"

namespace unionbound {

// What the record says of the run besides its result.
struct JsonRun {
    std::string version;  // the program's version, "0.1.0"
    std::string input;    // the file the probabilities were read from
};

// The object, indented by two spaces, and a line break. A number that is
// not finite is written as null; a reason or a method that is empty too.
void writeJsonReport(std::ostream& out, const JsonRun& run, const Result& result);

// The word a stop reason has in the record: "none", "time_limit",
// "interrupted", "memory_plan".
const char* stopName(Stop stop);

}  // namespace unionbound
