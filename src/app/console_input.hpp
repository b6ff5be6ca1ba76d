// The two numbers of the console dialogue, read and checked before anything
// else happens.
#pragma once

#include <ios>
#include <istream>
#include <ostream>

#include "moments/problem_size.hpp"
#include "text/parsed.hpp"

namespace unionbound {

// The longest word the dialogue reads for n or m: a longer one is refused on
// its first characters, so a console fed an endless word holds no more.
inline constexpr std::streamsize kLongestConsoleWord = 64;

// Writes "Number of events. n=", reads a word from `in` and checks it
// (checkEvents); then the same for "Maximum order of the intersections (must
// be an odd number). m=" (checkOrder). Gives n and m, or the first problem
// (the second prompt is then not written).
Parsed<ProblemSize> askEventsAndOrder(std::istream& in, std::ostream& out);

}  // namespace unionbound
