#include "sharpest/event_sets.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <optional>
#include <random>
#include <vector>

#include "generator/generators.hpp"
#include "sharpest/certificate.hpp"
#include "sharpest/outcome_lattice.hpp"
#include "sharpest/sharpest_bounds.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

// Data whose intersections are positive where some outcome of a random
// mixture holds them (about a third of the larger ones are 0), and random
// multipliers on the positive ones (0 on the others, so that both spaces
// round them to the same grid).
struct PricingCase {
    std::int32_t n, m;
    RealVector prob;
    std::vector<double> everyRow;     // one multiplier per intersection, row 0 first
    std::vector<double> positiveRow;  // the same on the positive intersections
};

PricingCase pricingCase(std::int32_t n, std::int32_t m, std::mt19937_64& random) {
    PricingCase c{n, m, {}, {}, {}};
    const testing::JointDistribution distribution = testing::randomMixture(n, 3 * n, 0.35, random);
    c.prob = testing::intersectionProbabilities(distribution, m);
    std::uniform_real_distribution<double> multiplier(-1.0, 1.0);
    c.everyRow.push_back(multiplier(random));
    c.positiveRow.push_back(c.everyRow.back());
    for (double p : c.prob) {
        c.everyRow.push_back(p == 0.0 ? 0.0 : multiplier(random));
        if (p != 0.0) {
            c.positiveRow.push_back(c.everyRow.back());
        }
    }
    return c;
}

TEST(EventSetPricing, FindsTheLatticesLargestViolationAndBoundsItWhenCutShort) {
    std::mt19937_64 random(23);
    for (std::int32_t n : {4, 7, 10, 13, 16}) {
        for (std::int32_t m = 1; m <= 4 && m <= n; ++m) {
            const PricingCase c = pricingCase(n, m, random);
            const OutcomeRows rows(n, m);
            MultiplierProver lattice(rows, c.prob);
            EventSetSpace sets(n, m, c.prob);
            for (const MultiplierSide side : {MultiplierSide::atLeast, MultiplierSide::atMost}) {
                const std::string what =
                    "n=" + std::to_string(n) + " m=" + std::to_string(m) +
                    (side == MultiplierSide::atLeast ? " at least" : " at most");
                const MultiplierProof byLattice = lattice.prove(c.everyRow, side, 1.0, 0.0, true);
                sets.proofBudget = std::int64_t{1} << 22;
                const MultiplierProof bySearch = sets.prove(c.positiveRow, side, 1.0, 0.0);
                ASSERT_TRUE(byLattice.valid && bySearch.valid) << what;
                // The same outcomes, the same grid: the same largest violation.
                EXPECT_EQ(bySearch.shift, byLattice.shift) << what;
                // Cut short after a few nodes, or by a deadline already
                // past, the search still bounds it.
                sets.proofBudget = 8;
                EXPECT_GE(sets.prove(c.positiveRow, side, 1.0, 0.0).shift, byLattice.shift) << what;
                sets.proofBudget = std::int64_t{1} << 22;
                sets.setDeadline(std::chrono::steady_clock::now());
                EXPECT_GE(sets.prove(c.positiveRow, side, 1.0, 0.0).shift, byLattice.shift) << what;
                sets.setDeadline(std::nullopt);
            }
        }
    }
}

TEST(EventSetPricing, BoundsMultipliersOfTheSizeAloneByTheirPolynomialAsTheLatticeDoes) {
    // One multiplier per size, as the sharp bounds from S_1 … S_m have:
    // over every outcome (all intersections positive) the same largest
    // violation as the lattice's, else at least it.
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> multiplier(-1.0, 1.0);
    for (const double density : {1.0, 0.35}) {
        const std::int32_t n = 12;
        const std::int32_t m = 3;
        const RealVector prob = testing::intersectionProbabilities(
            testing::randomMixture(n, 3 * n, density, random), m);
        const OutcomeRows rows(n, m);
        MultiplierProver lattice(rows, prob);
        EventSetSpace sets(n, m, prob);
        const std::vector<double> bySize = {multiplier(random), multiplier(random),
                                            multiplier(random), multiplier(random)};
        std::vector<double> everyRow = {bySize[0]};
        std::vector<double> positiveRow = {bySize[0]};
        for (std::int32_t row = 1; row < rows.rowCount(); ++row) {
            const double y = bySize[static_cast<std::size_t>(std::popcount(rows.maskOfRow(row)))];
            everyRow.push_back(prob[static_cast<std::size_t>(row - 1)] == 0.0 ? 0.0 : y);
            if (prob[static_cast<std::size_t>(row - 1)] != 0.0) {
                positiveRow.push_back(y);
            }
        }
        sets.proofBudget = 1;  // the search could not
        for (const MultiplierSide side : {MultiplierSide::atLeast, MultiplierSide::atMost}) {
            const double byLattice = lattice.prove(everyRow, side, 1.0, 0.0, true).shift;
            const double bySets = sets.prove(positiveRow, side, 1.0, 0.0).shift;
            if (density == 1.0) {
                EXPECT_EQ(bySets, byLattice);
            } else {
                EXPECT_GE(bySets, byLattice);
            }
        }
    }
}

TEST(EventSetPricing, BoundsHuntersMultipliersByTheirForestAsTheLatticeDoes) {
    // 1 on every event, −1 on the pairs of a path, on data whose
    // intersections are all positive: the search could not, the forest
    // gives the lattice's largest violation.
    std::mt19937_64 random(37);
    const std::int32_t n = 12;
    const std::int32_t m = 2;
    const RealVector prob =
        testing::intersectionProbabilities(testing::randomMixture(n, 3 * n, 1.0, random), m);
    const OutcomeRows rows(n, m);
    std::vector<double> y(static_cast<std::size_t>(rows.rowCount()), 0.0);
    for (std::int32_t row = 1; row < rows.rowCount(); ++row) {
        const OutcomeMask mask = rows.maskOfRow(row);
        const bool pathPair = std::popcount(mask) == 2 && (mask & (mask >> 1)) != 0;
        y[static_cast<std::size_t>(row)] = std::popcount(mask) == 1 ? 1.0 : (pathPair ? -1.0 : 0.0);
    }
    MultiplierProver lattice(rows, prob);
    EventSetSpace sets(n, m, prob);
    sets.proofBudget = 1;
    const MultiplierProof bySets = sets.prove(y, MultiplierSide::atLeast, 1.0, 0.0);
    EXPECT_EQ(bySets.shift, lattice.prove(y, MultiplierSide::atLeast, 1.0, 0.0, true).shift);
    // Closed to a cycle, the pairs are no forest: all n events violate by 1,
    // and the bound must say at least that.
    y[static_cast<std::size_t>(rows.rowOf(OutcomeMask{1} | (OutcomeMask{1} << (n - 1))))] = -1.0;
    EXPECT_GE(sets.prove(y, MultiplierSide::atLeast, 1.0, 0.0).shift,
              lattice.prove(y, MultiplierSide::atLeast, 1.0, 0.0, true).shift);
}

TEST(EventSetPricing, GivesTheLatticesSharpestBoundsToRounding) {
    // The two pricings solve the same LP: their proven bounds agree.
    constexpr double kAgreement = 1e-9;
    std::mt19937_64 random(5);
    struct Data {
        std::int32_t n, m;
        RealVector prob;
    };
    std::vector<Data> data;
    for (const auto& [n, m] : {std::pair{10, 3}, std::pair{14, 2}, std::pair{20, 3}}) {
        const testing::JointDistribution mixture = testing::randomMixture(n, 20, 0.3, random);
        data.push_back({n, m, testing::intersectionProbabilities(mixture, m)});
    }
    for (const auto& [n, m] : {std::pair{10, 3}, std::pair{12, 2}}) {
        const Observations records = randomRecords({n, static_cast<std::uint64_t>(n), 2000});
        data.push_back({n, m, intersectionFrequencies(records, m)});
    }
    for (const Data& d : data) {
        SharpestOptions options;
        options.method = SharpestMethod::columnGeneration;
        options.pricing = SharpestPricing::lattice;
        const ProvenInterval byLattice = sharpestBounds(d.n, d.m, d.prob, options);
        options.pricing = SharpestPricing::branchAndBound;
        const ProvenInterval bySearch = sharpestBounds(d.n, d.m, d.prob, options);
        const std::string what = "n=" + std::to_string(d.n) + " m=" + std::to_string(d.m);
        ASSERT_TRUE(byLattice.upper.value && byLattice.lower.value) << what;
        ASSERT_TRUE(bySearch.upper.value && bySearch.lower.value) << what;
        EXPECT_NEAR(*bySearch.upper.value, *byLattice.upper.value, kAgreement) << what;
        EXPECT_NEAR(*bySearch.lower.value, *byLattice.lower.value, kAgreement) << what;
    }
}

}  // namespace
}  // namespace unionbound
