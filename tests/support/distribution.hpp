// Small joint distributions of events with known answers: a weighted mixture
// of outcome vectors, its intersection probabilities in the subset order and
// its probability of the union.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "moments/subsets.hpp"
#include "numeric/types.hpp"

namespace unionbound::testing {

struct Outcome {
    std::vector<bool> occurs;  // occurs[x-1]: event x occurs
    double weight;             // probability of the outcome
};

struct JointDistribution {
    std::int32_t n = 0;
    std::vector<Outcome> outcomes;  // weights sum to 1 (one outcome may be "nothing occurs")
};

// `count` random outcomes, each event occurring with probability `density`,
// random weights normalised to 1.
inline JointDistribution randomMixture(std::int32_t n, int count, double density,
                                       std::mt19937_64& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    JointDistribution distribution{n, {}};
    double total = 0.0;
    for (int k = 0; k < count; ++k) {
        Outcome outcome{std::vector<bool>(n), unit(random) + 0.05};
        for (std::int32_t x = 0; x < n; ++x) {
            outcome.occurs[x] = unit(random) < density;
        }
        total += outcome.weight;
        distribution.outcomes.push_back(outcome);
    }
    for (Outcome& outcome : distribution.outcomes) {
        outcome.weight /= total;
    }
    return distribution;
}

// P(all events of the subset occur), for every subset of the order (n, m).
inline RealVector intersectionProbabilities(const JointDistribution& distribution, std::int32_t m) {
    RealVector prob;
    for (SubsetCursor cursor(distribution.n, m); cursor.valid(); cursor.next()) {
        double p = 0.0;
        for (const Outcome& outcome : distribution.outcomes) {
            bool all = true;
            for (std::int32_t x : cursor.subset()) {
                all = all && outcome.occurs[x - 1];
            }
            p += all ? outcome.weight : 0.0;
        }
        prob.push_back(p);
    }
    return prob;
}

// P(at least one event occurs).
inline double unionProbability(const JointDistribution& distribution) {
    double p = 0.0;
    for (const Outcome& outcome : distribution.outcomes) {
        for (bool occurs : outcome.occurs) {
            if (occurs) {
                p += outcome.weight;
                break;
            }
        }
    }
    return p;
}

}  // namespace unionbound::testing
