// The binomial moments summed over runs of consecutive positions, compared
// bit for bit with the scan of every subset for every moment.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <utility>

#include "app/driver.hpp"
#include "moments/binomial_moments.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/subsets.hpp"
#include "reference/literal_pipeline.hpp"
#include "reference/random_values.hpp"

namespace unionbound::testing {
namespace {

RealVector randomProbabilities(std::mt19937_64& random, std::int32_t n, std::int32_t m) {
    RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)));
    for (double& p : prob) {
        p = awkwardProbability(random);
    }
    return prob;
}

TEST(BinomialMoments, MatchTheScanOfEverySubsetForTheDriversTables) {
    std::mt19937_64 random(11);
    for (int trial = 0; trial < 300; ++trial) {
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(1, 13)(random);
        const std::int32_t m = std::uniform_int_distribution<std::int32_t>(1, 5)(random);
        const std::int32_t l = std::uniform_int_distribution<std::int32_t>(1, n)(random);
        const RealVector prob = randomProbabilities(random, n, m);
        const PassTables t = passTables(n, l, m);
        const RealVector fast = binomialMoments(prob, n, l, m, t.pairs, t.orders);
        const RealVector literal = reference::binomialMoments(prob, n, l, m, t.pairs, t.orders);
        ASSERT_TRUE(sameBits(fast, literal)) << "n=" << n << " m=" << m << " l=" << l;
    }
}

TEST(BinomialMoments, MatchTheScanForPairsAndOrdersTheDriverNeverBuilds) {
    // Reversed and repeated pairs, a subsequence that does not exist, orders
    // of 0 and above m.
    std::mt19937_64 random(12);
    for (int trial = 0; trial < 300; ++trial) {
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(2, 12)(random);
        const std::int32_t m = std::uniform_int_distribution<std::int32_t>(1, 5)(random);
        const std::int32_t l = std::uniform_int_distribution<std::int32_t>(1, n)(random);
        const std::int32_t q = n / l;
        std::uniform_int_distribution<std::int32_t> member(0, q + 1);
        IntMatrix pairs(std::uniform_int_distribution<int>(0, 4)(random));
        for (IntVector& pair : pairs) {
            pair = {member(random), member(random)};
            if (pair[0] == pair[1]) {
                pair[1] = pair[0] + 1;  // a subsequence with itself: see the next test
            }
        }
        IntVector orders(std::uniform_int_distribution<int>(0, q + 1)(random));
        for (std::int32_t& order : orders) {
            order = std::uniform_int_distribution<std::int32_t>(-1, m + 1)(random);
        }
        const RealVector prob = randomProbabilities(random, n, m);
        const RealVector fast = binomialMoments(prob, n, l, m, pairs, orders);
        const RealVector literal = reference::binomialMoments(prob, n, l, m, pairs, orders);
        std::ostringstream tables;
        for (const IntVector& pair : pairs) {
            tables << "(" << pair[0] << "," << pair[1] << ")";
        }
        tables << " orders";
        for (std::int32_t order : orders) {
            tables << " " << order;
        }
        for (std::size_t i = 0; i < fast.size() && i < literal.size(); ++i) {
            if (!sameBits(fast[i], literal[i])) {
                tables << " | entry " << i << ": " << fast[i] << " vs " << literal[i];
            }
        }
        ASSERT_TRUE(sameBits(fast, literal))
            << "n=" << n << " m=" << m << " l=" << l << " pairs " << tables.str();
    }
}

TEST(BinomialMoments, OfASubsequencePairedWithItselfAreZero) {
    // The program's choice for a pair the driver never builds: such a pair
    // matches no subset.
    const std::int32_t n = 8, m = 3, l = 4;
    const RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)), 0.25);
    const RealVector moments = binomialMoments(prob, n, l, m, {{2, 2}, {1, 2}}, {3, 3});
    ASSERT_EQ(moments.size(), 1u + 6u + 6u);
    for (std::size_t i = 7; i < 10; ++i) {
        EXPECT_TRUE(sameBits(moments[i], 0.0)) << i;
    }
    EXPECT_EQ(moments[10], 16 * 0.25);  // (1,2),(1,1): 4 · 4 pairs of events
}

// The driver's passes of (n, m) and, beside them, the same divisions with
// every pair reversed, which the walk over the rows does not take.
std::vector<PassDivision> driverPasses(std::int32_t n, std::int32_t m, bool reversed) {
    std::vector<PassDivision> passes;
    for (std::int32_t l = m; l <= n / 2; ++l) {
        PassTables t = passTables(n, l, m);
        if (reversed) {
            for (IntVector& pair : t.pairs) {
                std::swap(pair[0], pair[1]);
            }
        }
        passes.push_back({l, t.pairs, t.orders});
    }
    return passes;
}

// The moments of every pass by the scan of every subset.
std::vector<RealVector> scannedMoments(const RealVector& prob, std::int32_t n, std::int32_t m,
                                       const std::vector<PassDivision>& passes) {
    std::vector<RealVector> scanned;
    for (const PassDivision& pass : passes) {
        scanned.push_back(reference::binomialMoments(prob, n, pass.l, m, pass.pairs, pass.orders));
    }
    return scanned;
}

void expectEveryPassLikeTheScan(const std::vector<RealVector>& scanned, std::int32_t n,
                                std::int32_t m, const std::vector<PassDivision>& passes,
                                const std::vector<PassMoments>& all, const std::string& label) {
    ASSERT_EQ(all.size(), passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        ASSERT_TRUE(sameBits(all[i].moments, scanned[i]))
            << "n=" << n << " m=" << m << " l=" << passes[i].l << " " << label;
    }
}

TEST(BinomialMoments, OfAllPassesInOneWalkMatchEveryPassAloneForAnyPieceSize) {
    std::mt19937_64 random(13);
    for (int trial = 0; trial < 24; ++trial) {
        const std::int32_t m = trial % 2 == 0 ? 3 : 5;
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(2 * m, 15)(random);
        const RealVector prob = randomProbabilities(random, n, m);
        for (bool reversed : {false, true}) {
            const std::vector<PassDivision> passes = driverPasses(n, m, reversed);
            const std::vector<RealVector> scanned = scannedMoments(prob, n, m, passes);
            for (std::int64_t piece : {std::int64_t{1}, std::int64_t{2}, std::int64_t{7},
                                       std::int64_t{61}, kMomentPiece}) {
                // Every sum side by side, none, and a mix.
                for (std::int64_t longRun :
                     {std::int64_t{0}, std::int64_t{2}, kLongRun, std::int64_t{1} << 40}) {
                    std::ostringstream label;
                    label << "reversed=" << reversed << " piece=" << piece
                          << " longRun=" << longRun;
                    expectEveryPassLikeTheScan(
                        scanned, n, m, passes,
                        binomialMomentsOfPasses(prob, n, m, passes, piece, longRun), label.str());
                }
            }
        }
    }
}

TEST(BinomialMoments, OfAllPassesWithLongRunsMatchEveryPassAlone) {
    // Subsequences of 9 events and more, so that runs of every length go
    // through the walk over the rows, short ones at once and long ones side
    // by side; m = 7 as well. The reversed pairs take the walk in pieces.
    std::mt19937_64 random(14);
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{34, 3}, {22, 5}, {18, 3}, {16, 7}};
    for (const auto& [n, m] : sizes) {
        const RealVector prob = randomProbabilities(random, n, m);
        for (bool reversed : {false, true}) {
            const std::vector<PassDivision> passes = driverPasses(n, m, reversed);
            expectEveryPassLikeTheScan(scannedMoments(prob, n, m, passes), n, m, passes,
                                       binomialMomentsOfPasses(prob, n, m, passes),
                                       reversed ? "reversed" : "driver");
        }
    }
}

TEST(BinomialMoments, CountTheTermsThatEachPassAdds) {
    // With every probability 1.0 a moment is the number of its subsets.
    for (const auto& [n, m] : {std::pair{9, 3}, std::pair{14, 5}, std::pair{13, 3}}) {
        const RealVector ones(static_cast<std::size_t>(intersectionCount(n, m)), 1.0);
        std::vector<PassDivision> passes;
        for (std::int32_t l = m; l <= n / 2; ++l) {
            PassTables t = passTables(n, l, m);
            passes.push_back({l, t.pairs, t.orders});
        }
        const std::vector<PassMoments> all = binomialMomentsOfPasses(ones, n, m, passes);
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const RealVector counted = reference::binomialMoments(
                ones, n, passes[i].l, m, passes[i].pairs, passes[i].orders);
            double terms = 0.0;
            for (std::size_t k = 1; k < counted.size(); ++k) {
                terms += counted[k];
            }
            EXPECT_EQ(static_cast<double>(all[i].terms), terms)
                << "n=" << n << " l=" << passes[i].l;
        }
    }
}

TEST(BinomialMoments, AddEveryTermOfALongRunInIncreasingOrder) {
    // 1.0 followed by terms of half an ulp: added one by one from the left
    // each rounds away; any other grouping of the run would keep them.
    const std::int32_t n = 40, m = 1, l = 20;
    RealVector prob(40, 0x1.0p-53);
    prob[0] = 1.0;
    const PassTables t = passTables(n, l, m);
    const RealVector fast = binomialMoments(prob, n, l, m, t.pairs, t.orders);
    EXPECT_EQ(fast[1], 1.0);
    EXPECT_TRUE(sameBits(fast, reference::binomialMoments(prob, n, l, m, t.pairs, t.orders)));
}

}  // namespace
}  // namespace unionbound::testing
