// The bounds of one problem, computed by the methods the options ask for.
// A front end makes an Engine with its options, gives it the problem, lets
// it read the probabilities and runs it; bounds() does all three.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "unionbound/expected.hpp"
#include "unionbound/export.hpp"
#include "unionbound/options.hpp"
#include "unionbound/problem.hpp"
#include "unionbound/result.hpp"

namespace unionbound {

// The methods that will run for a problem, in the order they run, and
// those asked for that its sizes leave out.
struct Plan {
    std::vector<std::string> methods;
    std::vector<LeftOut> leftOut;
};

class UNIONBOUND_API Engine {
  public:
    explicit Engine(Options options = {});
    ~Engine();
    Engine(Engine&&) noexcept;
    Engine& operator=(Engine&&) noexcept;

    // Checks n and m against the methods asked for. Each method takes the
    // sizes it can (the aggregation an odd m with 3 ≤ m ≤ n/2, the exact
    // and the sharpest bounds any 1 ≤ m ≤ n); one that cannot is left out
    // while another can run, else the problem is refused with its reason.
    // (The sharpest bounds of data whose positive intersections outgrow
    // their memory plan say so in their result, once the data are read.)
    Expected<Plan> setProblem(Problem problem);

    // Reads the probabilities (from the file, or the vector given) and
    // checks every number, keeping only what the methods need; then, where
    // a method needs consistent data, checks every pair against its
    // Fréchet bounds. Refusals say what is wrong and where.
    Expected<void> readProbabilities();

    // Runs the methods, each after the other, and gathers what they found.
    // Data that a method proves inconsistent end the run with that error.
    Expected<Result> run();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// All three steps.
UNIONBOUND_API Expected<Result> bounds(Problem problem, const Options& options = {});

// The methods that can run for n events and order m, in the order they run:
// each whose sizes they are, the classical bounds only beside another. Empty when none can; asked
// for all methods, setProblem then says why.
UNIONBOUND_API std::vector<std::string> methodsFor(std::int64_t n, std::int64_t m);

}  // namespace unionbound
