// What a computation does: the methods, the threads, when to stop early,
// and where its progress, its passes and its diagnostics go.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unionbound/result.hpp"

namespace unionbound {

// The methods, by the names the options and the results use.
namespace method {
// The bound of the structured candidate bases of every pass: an upper
// bound, a floating-point value (needs an odd m with 3 ≤ m ≤ n/2).
inline constexpr std::string_view aggregation = "aggregation";
// The proven largest and smallest probability of the union that each
// pass's moments allow (any 1 ≤ m ≤ n).
inline constexpr std::string_view exact = "exact";
// The proven largest and smallest probability of the union over all joint
// distributions with these probabilities (any n whose positive
// intersections fit the memory plan; the time limit bounds the work).
inline constexpr std::string_view sharpest = "sharpest";
// Boole's, Bonferroni's, Hunter's, Dawson and Sankoff's and the sharp
// bounds from S_1 … S_m; only beside another method.
inline constexpr std::string_view classical = "classical";
}  // namespace method

// How far a computation has come, for a progress line.
struct Progress {
    std::string stage;  // "reading", or the name of the method at work
    std::int64_t done = 0;
    std::int64_t total = 0;  // 0 where unknown
    std::string text;        // one line that says it
};

struct Options {
    // The methods to run, by name (method::…), in any order.
    std::vector<std::string> methods = {std::string(method::aggregation)};
    // The threads that read and compute, the calling thread among them (0:
    // one per processor core). Every result is the same for any count.
    std::int32_t threads = 1;
    // Seconds from the start of run() after which the methods stop early;
    // each keeps what it found by then and says so (MethodResult::stop). A
    // limit of a century or more, or not a number, is none.
    std::optional<double> timeLimit;
    // Asked now and then in the calling thread; true stops the methods
    // early in the same way.
    std::function<bool()> stopRequested;
    // Probabilities of which a pair breaks its Fréchet bounds belong to no
    // distribution: they are refused (an error of kind inconsistent). With
    // false, the methods that do not need consistent data (the aggregation,
    // the classical bounds) run on them all the same and a warning says so;
    // the exact and the sharpest bounds refuse them either way.
    bool refuseInconsistentData = true;

    // Everything below is told in the calling thread.
    std::function<void(const Progress&)> progress;
    // Each pass of the aggregation method, in increasing l, once computed.
    std::function<void(const PassReport&)> passDone;
    // Each method, once it has ended.
    std::function<void(const MethodResult&)> methodDone;
    // What the computation noticed and went on with, one line each, as it
    // is noticed (Result::warnings keeps them too).
    std::function<void(std::string_view warning)> warning;
    // The numeric stages' messages about arguments they could not use
    // (they go on with a neutral result), each as it reads, a message that
    // ends a line with its line break; in the order a run on one thread
    // would give them. None goes anywhere without this.
    std::function<void(std::string_view message)> diagnostics;
};

}  // namespace unionbound
