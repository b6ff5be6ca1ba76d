// Bounds the union of six disjoint events of probability 1/8 through the
// installed library's public API alone: the union is 6/8 = 0.75 exactly,
// every intersection 0. Exits 0 when the proven interval holds it tightly.
#include <unionbound/unionbound.hpp>

#include <cstdio>
#include <vector>

int main() {
    std::vector<double> probabilities(6, 0.125);
    probabilities.resize(6 + 15 + 20, 0.0);  // C(6,2) pairs and C(6,3) triples
    unionbound::Options options;
    options.methods = {"exact"};
    const auto result =
        unionbound::bounds(unionbound::Problem::fromProbabilities(6, 3, probabilities), options);
    if (!result.ok()) {
        std::fprintf(stderr, "refused: %s\n", result.message().c_str());
        return 1;
    }
    const unionbound::Interval& best = result.value().best;
    if (!best.lower.value || !best.upper.value) {
        std::fprintf(stderr, "no interval: %s; %s\n", best.lower.why.c_str(),
                     best.upper.why.c_str());
        return 1;
    }
    std::printf("[%.17g, %.17g]\n", *best.lower.value, *best.upper.value);
    // The moments of every pass pin the disjoint events down.
    return best.lower.proven && best.upper.proven && *best.lower.value <= 0.75 &&
                   *best.upper.value >= 0.75 && *best.upper.value - *best.lower.value < 1e-9
               ? 0
               : 1;
}
