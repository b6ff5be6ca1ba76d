// The number forms shared by the program's writers.
#pragma once

#include <string>

namespace unionbound {

// `value` with 15 significant digits in general notation (printf's %.15g):
// the form of the bounds in the summary, the comparison and the progress line.
std::string general15(double value);

// `value` with 17 significant digits in general notation (%.17g): enough for
// every double to read back exactly, the form of the CSV file.
std::string general17(double value);

}  // namespace unionbound
