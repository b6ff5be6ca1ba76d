// The engine's list of methods: what each takes, what it needs of the
// reading, and how it runs. A new method is a folder of its own and one
// entry here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/probability_reading.hpp"
#include "moments/problem_size.hpp"
#include "text/parsed.hpp"
#include "threads/pool.hpp"
#include "unionbound/options.hpp"
#include "unionbound/result.hpp"

namespace unionbound::engine {

// When the methods of a run stop early: the time limit, or the caller's
// stop request (asked in the calling thread only). The first that says so
// is kept as the reason.
class StopCheck {
  public:
    StopCheck(std::optional<std::chrono::steady_clock::time_point> deadline,
              std::function<bool()> requested);
    // True once the deadline has passed or the request said so.
    bool operator()();
    Stop reason() const { return reason_; }
    const std::optional<std::chrono::steady_clock::time_point>& deadline() const {
        return deadline_;
    }
    const std::function<bool()>& requested() const { return requested_; }

  private:
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::function<bool()> requested_;
    Stop reason_ = Stop::none;
};

// What a method is given.
struct MethodContext {
    std::int32_t n;
    std::int32_t m;
    // What the reading kept; a method may take its own parts away.
    ReadingResult& data;
    ThreadPool& pool;
    const Options& options;
    StopCheck& stop;
    // How messages name the probabilities: the probabilities of "prob.txt".
    std::string subject;
    // What a method noticed and went on with (Options::warning, Result::warnings).
    std::function<void(std::string)> warn;
    // The results of the methods that ran before, in their order.
    const std::vector<MethodResult>* earlier = nullptr;

    void progress(std::string_view stage, std::int64_t done, std::int64_t total,
                  std::string text) const;
};

// What a method needs of the reading of the probabilities.
struct Needs {
    bool passMoments = false;       // the binomial moments of every pass
    bool sums = false;              // S_0 … S_m
    bool singlesAndPairs = false;   // the probabilities of the single events and the pairs
    bool everyProbability = false;  // all of them
    // Refuses data that break the Fréchet bounds of a pair whatever the
    // options say (every method has them checked).
    bool consistentData = false;
};

// How far a method's values can be trusted, from the least: where bounds of
// two methods contradict each other, the less certain one gives way.
enum class Certainty {
    floatingPoint,  // a chain of floating-point solves: its rounding is not bounded
    closedForm,     // closed forms evaluated in floating point from exact sums
    proven,         // certified, every rounding accounted for
};

struct MethodEntry {
    std::string_view name;
    Certainty certainty;
    // Runs only beside another method: it alone does not decide which
    // sizes a problem may have.
    bool companion;
    // The sizes the method takes, or why it cannot take these.
    Parsed<ProblemSize> (*sizes)(std::int64_t n, std::int64_t m);
    Needs needs;
    Expected<MethodResult> (*run)(MethodContext& context);
};

// Every method, in the order they run: the proven ones first, so that data
// they prove inconsistent are refused before anything else is done with
// them.
const std::vector<MethodEntry>& methodList();

}  // namespace unionbound::engine
