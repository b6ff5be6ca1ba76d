// The binomial moments summed over runs of consecutive positions, compared
// bit for bit with the scan of every subset for every moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "moments/binomial_moments.hpp"
#include "moments/moment_sweep.hpp"
#include "moments/pass_division.hpp"
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

TEST(BinomialMoments, MatchTheScanOfEverySubsetForTheProgramsTables) {
    std::mt19937_64 random(11);
    for (int trial = 0; trial < 300; ++trial) {
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(1, 13)(random);
        const std::int32_t m = std::uniform_int_distribution<std::int32_t>(1, 5)(random);
        const std::int32_t l = std::uniform_int_distribution<std::int32_t>(1, n)(random);
        const RealVector prob = randomProbabilities(random, n, m);
        const PassDivision t = passDivision(n, l, m);
        const RealVector fast = binomialMoments(prob, n, l, m, t.pairs, t.orders);
        const RealVector literal = reference::binomialMoments(prob, n, l, m, t.pairs, t.orders);
        ASSERT_TRUE(sameBits(fast, literal)) << "n=" << n << " m=" << m << " l=" << l;
    }
}

TEST(BinomialMoments, RefuseEveryDivisionButTheChain) {
    // The chain for n = 8, l = 4, m = 3 is pairs {(1,2)}, orders {3, 3};
    // each case changes one thing.
    const std::int32_t n = 8, m = 3, l = 4;
    const RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)), 0.25);
    const struct {
        const char* change;
        IntMatrix pairs;
        IntVector orders;
    } cases[] = {
        {"a reversed pair", {{2, 1}}, {3, 3}},
        {"a subsequence paired with itself", {{2, 2}}, {3, 3}},
        {"a repeated pair", {{1, 2}, {1, 2}}, {3, 3}},
        {"a missing pair", {}, {3, 3}},
        {"a subsequence that does not exist", {{1, 3}}, {3, 3}},
        {"an order below m", {{1, 2}}, {3, 2}},
        {"an order above m", {{1, 2}}, {4, 3}},
        {"a third subsequence", {{1, 2}, {1, 3}}, {3, 3, 3}},
    };
    EXPECT_NO_THROW(binomialMoments(prob, n, l, m, {{1, 2}}, {3, 3}));
    for (const auto& c : cases) {
        EXPECT_FALSE(isChainDivision(n, m, {l, c.pairs, c.orders})) << c.change;
        EXPECT_THROW(binomialMoments(prob, n, l, m, c.pairs, c.orders), std::invalid_argument)
            << c.change;
    }
    // Probabilities that are not those of (n, m), and sizes without intersections.
    EXPECT_THROW(binomialMoments(RealVector(prob.size() - 1, 0.25), n, l, m, {{1, 2}}, {3, 3}),
                 std::invalid_argument);
    EXPECT_THROW(binomialMomentsOfPasses({}, 0, m, {}), std::invalid_argument);
    EXPECT_THROW(binomialMomentsOfPasses({}, n, 0, {}), std::invalid_argument);
}

// The program's passes of (n, m).
std::vector<PassDivision> programPasses(std::int32_t n, std::int32_t m) {
    std::vector<PassDivision> passes;
    for (std::int32_t l = m; l <= n / 2; ++l) {
        PassDivision t = passDivision(n, l, m);
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

TEST(BinomialMoments, OfAllPassesInOneWalkMatchEveryPassAlone) {
    std::mt19937_64 random(13);
    for (int trial = 0; trial < 24; ++trial) {
        const std::int32_t m = trial % 2 == 0 ? 3 : 5;
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(2 * m, 15)(random);
        const RealVector prob = randomProbabilities(random, n, m);
        const std::vector<PassDivision> passes = programPasses(n, m);
        expectEveryPassLikeTheScan(scannedMoments(prob, n, m, passes), n, m, passes,
                                   binomialMomentsOfPasses(prob, n, m, passes), "random");
    }
}

TEST(BinomialMoments, OfAllPassesWithLongRunsMatchEveryPassAlone) {
    // Subsequences of 9 events and more, so that runs of every length go
    // through the walk over the rows, short ones at once and long ones side
    // by side; m = 7 as well.
    std::mt19937_64 random(14);
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{34, 3}, {22, 5}, {18, 3}, {16, 7}};
    for (const auto& [n, m] : sizes) {
        const RealVector prob = randomProbabilities(random, n, m);
        const std::vector<PassDivision> passes = programPasses(n, m);
        expectEveryPassLikeTheScan(scannedMoments(prob, n, m, passes), n, m, passes,
                                   binomialMomentsOfPasses(prob, n, m, passes), "long runs");
    }
}

TEST(BinomialMoments, CountTheTermsThatEachPassAdds) {
    // With every probability 1.0 a moment is the number of its subsets.
    for (const auto& [n, m] : {std::pair{9, 3}, std::pair{14, 5}, std::pair{13, 3}}) {
        const RealVector ones(static_cast<std::size_t>(intersectionCount(n, m)), 1.0);
        std::vector<PassDivision> passes;
        for (std::int32_t l = m; l <= n / 2; ++l) {
            PassDivision t = passDivision(n, l, m);
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

TEST(PassMomentWalk, GivesTheSameMomentsWhereverTheBlocksAreCut) {
    // Blocks of one number, of a row's length and one either side of it, of
    // random sizes (empty ones too), and all at once: a row cut by a block
    // must be summed as the whole row is. The sizes reach m = 7 (and m > n),
    // and subsequences long enough for eight runs side by side.
    std::mt19937_64 random(15);
    for (const auto& [n, m] :
         {std::pair{6, 3}, {13, 5}, {34, 3}, {16, 7}, {40, 3}, {1, 1}, {7, 9}}) {
        const RealVector prob = randomProbabilities(random, n, m);
        std::vector<PassDivision> passes;
        for (std::int32_t l = 1; l <= n;
             l += 2) {  // every kind of division, not just the program's
            PassDivision t = passDivision(n, l, m);
            passes.push_back({l, t.pairs, t.orders});
        }
        const std::vector<RealVector> scanned = scannedMoments(prob, n, m, passes);
        const auto nu = static_cast<std::size_t>(n);
        for (const std::size_t block :
             {std::size_t{1}, nu - 1, nu, nu + 1, std::size_t{0}, nu * 3}) {
            PassMomentWalk walk(n, m, passes);
            const std::span<const double> all(prob);
            for (std::size_t at = 0; at < all.size();) {
                const std::size_t size = std::min(
                    all.size() - at,
                    block == nu * 3 ? std::uniform_int_distribution<std::size_t>(0, block)(random)
                                    : (block == 0 ? all.size() : block));
                walk.take(all.subspan(at, size));
                at += size;
            }
            expectEveryPassLikeTheScan(scanned, n, m, passes, walk.finish(),
                                       "blocks of " + std::to_string(block));
        }
    }
}

TEST(PassMomentWalk, RefusesNumbersPastTheLastAndMomentsBeforeIt) {
    const std::int32_t n = 8, m = 3;
    const RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)), 0.25);
    PassMomentWalk early(n, m, programPasses(n, m));
    early.take(std::span<const double>(prob).first(prob.size() - 1));
    EXPECT_THROW(early.finish(), std::invalid_argument);
    PassMomentWalk over(n, m, programPasses(n, m));
    over.take(prob);
    EXPECT_THROW(over.take(std::span<const double>(prob).first(1)), std::invalid_argument);
}

TEST(BinomialMoments, AddEveryTermOfALongRunInIncreasingOrder) {
    // 1.0 followed by terms of half an ulp: added one by one from the left
    // each rounds away; any other grouping of the run would keep them.
    const std::int32_t n = 40, m = 1, l = 20;
    RealVector prob(40, 0x1.0p-53);
    prob[0] = 1.0;
    const PassDivision t = passDivision(n, l, m);
    const RealVector fast = binomialMoments(prob, n, l, m, t.pairs, t.orders);
    EXPECT_EQ(fast[1], 1.0);
    EXPECT_TRUE(sameBits(fast, reference::binomialMoments(prob, n, l, m, t.pairs, t.orders)));
}

}  // namespace
}  // namespace unionbound::testing
