// Bounds the union of six disjoint events of probability 1/8 through the
// installed library: the union is 6/8 = 0.75 exactly, every intersection 0.
// Exits 0 when the library gives what that known answer implies.
#include <cstdio>
#include <sstream>
#include <string>

#include "aggregation/passes.hpp"
#include "classical/classical_bounds.hpp"
#include "input/prob_reader.hpp"
#include "moments/problem_size.hpp"

int main() {
    using namespace unionbound;
    const Parsed<ProblemSize> size = checkOrder(6, 3);
    if (!size.ok()) {
        std::fprintf(stderr, "checkOrder refused n=6, m=3: %s\n", size.message().c_str());
        return 1;
    }
    std::string text = "0.125 0.125 0.125 0.125 0.125 0.125\n";
    for (int i = 0; i < 15 + 20; ++i) {  // C(6,2) pairs and C(6,3) triples
        text += "0 ";
    }
    const ProbabilityInput prob = parseIntersectionProbabilities(text, 6, 3, "prob.txt");
    if (!prob.ok()) {
        std::fprintf(stderr, "the probabilities were refused: %s\n", prob.message().c_str());
        return 1;
    }
    // The union's probability is 0.75; every bound lies above it, and Boole's
    // is the sum of the six, exact in binary.
    const ClassicalBounds classical = classicalBounds(prob.value(), 6, 3);
    const RunSummary best = runPasses(prob.value(), 6, 3);
    const double bound = -best.bestValue;
    std::printf("Boole %.17g, aggregation %.17g\n", classical.boole, bound);
    // Slack for the rounding of the small linear systems behind the bound.
    constexpr double kSolveSlack = 1e-9;
    const bool right = classical.boole == 0.75 && bound >= 0.75 - kSolveSlack && bound <= 1.0;
    return right ? 0 : 1;
}
