// The unionbound program from its command line to its exit status.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace unionbound {

// Parses `words` (the arguments after the program name) and runs: the
// console dialogue without -n/-m, batch mode with them, or --help/--version.
// Usage errors go to `err` with a reminder of the usage (status 2). Progress
// lines go to `err` only when `errIsTerminal` and some option was given, so
// a run without arguments writes exactly what it always wrote.
int runCommandLine(const std::vector<std::string>& words, std::istream& in, std::ostream& out,
                   std::ostream& err, bool errIsTerminal);

}  // namespace unionbound
