// Captures what a call writes to standard output, for the tests of the
// library's fixed messages (the library writes them to std::cout).
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <utility>

namespace unionbound::testing {

// Runs `call` and returns {its result, everything it wrote to std::cout}.
template <typename Call>
auto captured(Call&& call) {
    std::ostringstream text;
    std::streambuf* const saved = std::cout.rdbuf(text.rdbuf());
    struct Restore {
        std::streambuf* saved;
        ~Restore() { std::cout.rdbuf(saved); }
    } restore{saved};
    auto result = std::forward<Call>(call)();
    return std::make_pair(std::move(result), text.str());
}

// Everything `call` (returning nothing) writes to std::cout.
template <typename Call>
std::string outputOf(Call&& call) {
    return captured([&] {
               std::forward<Call>(call)();
               return 0;
           })
        .second;
}

}  // namespace unionbound::testing
