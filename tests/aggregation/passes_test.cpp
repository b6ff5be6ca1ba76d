#include "aggregation/passes.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "support/distribution.hpp"

namespace unionbound {
namespace {

TEST(ThresholdPenalty, CountsAPointWhereSomeEventOccurs) {
    EXPECT_EQ(thresholdPenalty({0.0, 0.0}), 0.0);
    EXPECT_EQ(thresholdPenalty({0.0, 1.0}), -1.0);
    EXPECT_EQ(thresholdPenalty({0.1, -3.0}), 0.0);
    EXPECT_EQ(thresholdPenalty({0.10000000000000002}), -1.0);
    EXPECT_EQ(thresholdPenalty({std::numeric_limits<double>::quiet_NaN()}), 0.0);
    EXPECT_EQ(thresholdPenalty({}), 0.0);
}

TEST(PassTables, SplitTheEventsWithTheRemainderInTheLastSubsequence) {
    const PassTables three = passTables(10, 3, 3);
    EXPECT_EQ(three.counts, (RealMatrix{{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3, 4}}));
    EXPECT_EQ(three.pairs, (IntMatrix{{1, 2}, {1, 3}}));
    EXPECT_EQ(three.orders, (IntVector{3, 3, 3}));

    const PassTables four = passTables(10, 4, 3);
    EXPECT_EQ(four.counts, (RealMatrix{{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 5, 6}}));
    EXPECT_EQ(four.pairs, (IntMatrix{{1, 2}}));
    EXPECT_EQ(four.orders, (IntVector{3, 3}));

    EXPECT_EQ(passTables(11, 3, 3).counts.back(), (RealVector{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(passTables(10, 5, 3).counts, (RealMatrix{{0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}}));
}

// Slack for the rounding of the eliminations: the moments are sums of at
// most a few hundred probabilities and the systems are small.
constexpr double kRoundingSlack = 1e-9;

TEST(EveryPass, BoundsTheTrueProbabilityOfTheUnionFromAbove) {
    // Random joint distributions with a known union probability; for odd m
    // every pass's bound is an upper bound.
    std::mt19937_64 random(2026);
    int passes = 0;
    for (int trial = 0; trial < 40; ++trial) {
        const std::int32_t m = trial % 3 == 2 ? 5 : 3;
        const std::int32_t n =
            std::max(2 * m, 6 + static_cast<std::int32_t>(random() % 9));  // 6 … 14
        const double density = 0.05 + 0.5 * static_cast<double>(random() % 100) / 100.0;
        const testing::JointDistribution d =
            testing::randomMixture(n, 2 + static_cast<int>(random() % 8), density, random);
        const RealVector prob = testing::intersectionProbabilities(d, m);
        const double truth = testing::unionProbability(d);
        runPasses(prob, n, m, [&](const PassResult& pass) {
            EXPECT_GE(-pass.solution.value, truth - kRoundingSlack)
                << "n=" << n << " m=" << m << " l=" << pass.l << " trial " << trial;
            ++passes;
        });
    }
    EXPECT_GT(passes, 60);
}

TEST(EveryPass, ChoosesTheSmallestBoundAndTheEarliestOfEqualOnes) {
    // Independent events with equal probabilities: compare the best pass of
    // runPasses with the passes themselves.
    const std::int32_t n = 12, m = 3;
    testing::JointDistribution d{n, {}};
    std::mt19937_64 random(9);
    d = testing::randomMixture(n, 5, 0.3, random);
    const RealVector prob = testing::intersectionProbabilities(d, m);
    double smallest = std::numeric_limits<double>::infinity();
    std::int32_t first = 0;
    std::int32_t expectedL = m;
    const RunSummary best = runPasses(prob, n, m, [&](const PassResult& pass) {
        EXPECT_EQ(pass.l, expectedL++);  // every length, in increasing order
        const double bound = -pass.solution.value;
        if (bound < smallest) {
            smallest = bound;
            first = pass.l;
        }
    });
    EXPECT_EQ(-best.bestValue, smallest);
    EXPECT_EQ(best.bestL, first);
    // Every pass is handed on once.
    EXPECT_EQ(expectedL, n / 2 + 1);
}

}  // namespace
}  // namespace unionbound
