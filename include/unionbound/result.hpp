// Every bound a computation found, as plain data: per method its upper and
// lower bound (or why there is none), its passes, the consistency of the
// data, and the best interval with the method that gives each side.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unionbound {

// Why a method ended before it was done: every method that stops early keeps
// what it found up to then.
enum class Stop {
    none,         // it ran to the end
    timeLimit,    // the time limit passed
    interrupted,  // the stop request said so
    memoryPlan,   // it would have needed more memory than its plan allows
};

// One bound on the probability of the union.
struct Bound {
    // The value, or none (then `why` says why, in one line).
    std::optional<double> value;
    // Proven: the value is certified (every rounding accounted for) to lie
    // on its side of every probability of the union the data allow. Not
    // proven: a floating-point computation, which rounding may have moved
    // by a few units in its last digits.
    bool proven = false;
    std::string why;
    // How far a proven value may lie from the best value its method can
    // give (known for the sharpest bounds), where known.
    std::optional<double> distance;
    // The subsequence length l of the pass that gives it; 0 when the
    // method does not work pass by pass.
    std::int32_t pass = 0;
};

// One pass of a method that works pass by pass (the aggregation, the exact
// passes): the events in q consecutive subsequences of l events, the last
// one taking the rest.
struct PassBounds {
    std::int32_t l = 0;
    std::int32_t q = 0;
    Bound upper;
    Bound lower;
    // Processor time of the pass in seconds, where the method times it.
    std::optional<double> seconds;
};

// A bound that a method forms among others, by its name and formula (the
// classical bounds: Boole, Bonferroni, …). No value where the order m of
// the data is too small for it.
struct NamedBound {
    std::string name;
    std::string formula;
    std::optional<double> value;
};

// What one method found.
struct MethodResult {
    std::string name;
    Bound upper;  // its best upper bound
    Bound lower;  // its best lower bound
    std::vector<PassBounds> passes;
    std::vector<NamedBound> upperParts;
    std::vector<NamedBound> lowerParts;
    Stop stop = Stop::none;
    // Wall-clock seconds the method ran.
    double seconds = 0.0;
};

// The aggregation method's account of one pass, with everything the report
// of a run shows of it.
struct PassReport {
    std::int32_t l = 0;
    std::int32_t q = 0;
    // The best candidate basis's objective value v: the bound is −v. It is
    // −1.7e308, where the search starts, when no candidate gave a value.
    double objective = 0.0;
    double seconds = 0.0;  // processor time of the pass
    std::vector<double> binomialMoments;
    // The index tables of the best candidate: Kjs, its j (coordinate 1 has
    // m − jbest − 1 high subscripts) and its subscripts Vks, one row of m per
    // subsequence; and the basis subscripts derived from them.
    std::vector<std::vector<std::int32_t>> kjs;
    std::int32_t jbest = 0;
    std::vector<std::vector<std::int32_t>> vks;
    std::vector<std::vector<std::int32_t>> basisSubscripts;
};

// What was checked of the data before the bounds that need consistent data
// were sought (inconsistent data end the computation with an error).
struct Consistency {
    bool pairsChecked = false;  // every pair against its Fréchet bounds
    // The first pair that breaks them, in words, where the data were not
    // refused for it (Options::refuseInconsistentData); empty when none.
    std::string violation;
};

// A method asked for that these sizes leave out, and why.
struct LeftOut {
    std::string method;
    std::string why;
};

// The best bounds over all methods: the smallest upper and the largest lower
// bound, each with the method that gives it (among equal values the most
// certain, else the first). The bounds are of three kinds, from the least
// certain: the aggregation's floating-point value, the classical closed
// forms evaluated in floating point, and the proven exact and sharpest
// bounds. A bound that contradicts a more certain one of the other side (an
// upper bound below a lower bound) is rounding that moved it past the
// truth: it is passed over, and a note says so.
struct Interval {
    Bound lower;
    Bound upper;
    std::string lowerMethod;
    std::string upperMethod;
    // Where a lower bound lies above an upper bound: which, and why, one
    // line each.
    std::vector<std::string> notes;
};

struct Result {
    std::int32_t n = 0;
    std::int32_t m = 0;
    std::vector<MethodResult> methods;  // in the engine's order of methods
    std::vector<LeftOut> leftOut;
    Consistency consistency;
    Interval best;
    // What the computation noticed and went on with, one line each: words
    // after the expected numbers of a file, data that break the Fréchet
    // bounds where they were not refused.
    std::vector<std::string> warnings;
    // Wall-clock seconds the reading and checking of the probabilities took.
    double readingSeconds = 0.0;

    // The result of the method of that name, or null when it did not run.
    const MethodResult* method(std::string_view name) const {
        for (const MethodResult& result : methods) {
            if (result.name == name) {
                return &result;
            }
        }
        return nullptr;
    }
};

}  // namespace unionbound
