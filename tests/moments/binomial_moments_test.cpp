#include "moments/binomial_moments.hpp"

#include <gtest/gtest.h>

#include <random>

#include "moments/moment_index.hpp"
#include "moments/subsets.hpp"
#include "reference/literal_pipeline.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

// The driver's tables for subsequence length l.
struct Tables {
    IntMatrix pairs;
    IntVector orders;
};
Tables tablesFor(std::int32_t n, std::int32_t l, std::int32_t m) {
    Tables t;
    const std::int32_t q = n / l;
    for (std::int32_t c = 2; c <= q; ++c) {
        t.pairs.push_back({1, c});
    }
    t.orders.assign(q, m);
    return t;
}

TEST(BinomialMoments, SumTheIntersectionsOfEachSubsequenceAndPair) {
    // Powers of two keep every sum exact and show which terms it holds.
    const RealVector prob = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
    //                      P1 P2 P3 P4 P12 P13 P14 P23  P24  P34
    const RealVector moments = binomialMoments(prob, 4, 2, 2, {{1, 2}}, {2, 2});
    EXPECT_EQ(moments, (RealVector{1, 1 + 2, 16, 4 + 8, 512, 32 + 64 + 128 + 256}));
}

TEST(BinomialMoments, LetTheLastSubsequenceReachToN) {
    RealVector prob(intersectionCount(10, 3), 0.0);
    for (std::int32_t x = 1; x <= 10; ++x) {
        prob[x - 1] = x;  // P(x) = x, so a first-order moment shows its events
    }
    const Tables t = tablesFor(10, 3, 3);
    const RealVector moments = binomialMoments(prob, 10, 3, 3, t.pairs, t.orders);
    ASSERT_EQ(moments.size(), 16u);
    EXPECT_EQ(moments[1], 1 + 2 + 3);
    EXPECT_EQ(moments[4], 4 + 5 + 6);
    EXPECT_EQ(moments[7], 7 + 8 + 9 + 10);
}

TEST(BinomialMoments, CountOnlyIntersectionsWithTheExactSplitBetweenThePair) {
    const std::int32_t n = 10;
    RealVector prob(intersectionCount(n, 3), 0.0);
    // Mark {1,2,4} (two in subsequence 1, one in 2) and {1,2,3} (all in 1).
    std::size_t position = 0;
    for (SubsetCursor cursor(n, 3); cursor.valid(); cursor.next(), ++position) {
        if (cursor.subset() == IntVector{1, 2, 4})
            prob[position] = 0.25;
        if (cursor.subset() == IntVector{1, 2, 3})
            prob[position] = 0.5;
    }
    const Tables t = tablesFor(n, 3, 3);
    const RealVector moments = binomialMoments(prob, n, 3, 3, t.pairs, t.orders);
    EXPECT_EQ(moments[3], 0.5);    // ((1),(3))
    EXPECT_EQ(moments[11], 0.25);  // ((1,2),(2,1))
    EXPECT_EQ(moments[12], 0.0);   // ((1,2),(1,2))
}

TEST(BinomialMoments, GiveZeroForAnOrderLargerThanTheSubsequence) {
    const std::int32_t n = 4;
    const RealVector prob(intersectionCount(n, 3), 0.125);
    const RealVector moments = binomialMoments(prob, n, 2, 3, {{1, 2}}, {3, 3});
    EXPECT_EQ(moments[3], 0.0);  // ((1),(3)): subsequence 1 has two events
    EXPECT_EQ(moments[0], 1.0);
}

TEST(BinomialMoments, EqualThePlainScanOnRandomInputsToTheLastBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 60; ++trial) {
        const std::int32_t m = trial % 2 == 0 ? 3 : 5;
        const std::int32_t n = 2 * m + static_cast<std::int32_t>(random() % 6);
        RealVector prob(intersectionCount(n, m));
        for (double& p : prob) {
            p = unit(random) * 1e-2;
        }
        for (std::int32_t l = m; l <= n / 2; ++l) {
            const Tables t = tablesFor(n, l, m);
            ASSERT_EQ(binomialMoments(prob, n, l, m, t.pairs, t.orders),
                      reference::binomialMoments(prob, n, l, m, t.pairs, t.orders))
                << "n=" << n << " m=" << m << " l=" << l;
        }
    }
}

TEST(BinomialMoments, AreTheMomentsOfTheSubsequenceCounts) {
    // A known joint distribution: E[C(X_c, k)] computed outcome by outcome.
    std::mt19937_64 random(11);
    const std::int32_t n = 9, m = 3, l = 3;
    const testing::JointDistribution d = testing::randomMixture(n, 6, 0.4, random);
    const RealVector prob = testing::intersectionProbabilities(d, m);
    const Tables t = tablesFor(n, l, m);
    const RealVector moments = binomialMoments(prob, n, l, m, t.pairs, t.orders);
    const IntMatrixList index = momentIndexList(m, t.pairs, t.orders);
    const auto choose = [](std::int32_t a, std::int32_t b) {
        return static_cast<double>(subsetCount(a, b));
    };
    for (std::size_t i = 1; i < index.size(); ++i) {
        double expected = 0.0;
        for (const testing::Outcome& o : d.outcomes) {
            IntVector X(n / l + 1, 0);
            for (std::int32_t x = 1; x <= n; ++x) {
                X[std::min((x - 1) / l + 1, n / l)] += o.occurs[x - 1];
            }
            const IntMatrix& e = index[i];
            expected += o.weight * (e[0].size() == 1 ? choose(X[e[0][0]], e[1][0])
                                                     : choose(X[e[0][0]], e[1][0]) *
                                                           choose(X[e[0][1]], e[1][1]));
        }
        // Sums of a few products of weights: rounding only.
        EXPECT_NEAR(moments[i], expected, 1e-12) << "moment " << i;
    }
}

}  // namespace
}  // namespace unionbound
