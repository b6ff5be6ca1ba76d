#include "sharpest/event_sets.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <functional>
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

TEST(EventSetPricing, BoundsTheSharpAndHuntersMultipliersByTheirShapeAsTheLatticeDoes) {
    // With a search of one node, the shapes alone bound the violation: one
    // multiplier per size (the sharp bound's) by their polynomial, 1 on the
    // events and −1 on a forest (Hunter's) by the forest. Where every
    // intersection is positive, as tightly as the lattice; else, and for a
    // cycle, which is no forest, at least as much.
    const std::int32_t n = 12;
    const double bySize[4] = {0.3, -0.7, 0.9, -0.4};
    const auto sizes = [&](OutcomeMask mask) { return bySize[std::popcount(mask)]; };
    const auto path = [](OutcomeMask mask) {
        return std::popcount(mask) == 1 ? 1.0 : (mask & (mask >> 1)) != 0 ? -1.0 : 0.0;
    };
    const OutcomeMask ends = OutcomeMask{1} | (OutcomeMask{1} << (n - 1));
    const auto cycle = [&](OutcomeMask mask) { return mask == ends ? -1.0 : path(mask); };
    struct Case {
        std::int32_t m;
        double density;
        std::function<double(OutcomeMask)> y;
        bool tight;
    };
    const Case cases[] = {{3, 1.0, sizes, true},
                          {3, 0.35, sizes, false},
                          {2, 1.0, path, true},
                          {2, 1.0, cycle, false}};
    std::mt19937_64 random(31);
    for (const Case& c : cases) {
        const RealVector prob = testing::intersectionProbabilities(
            testing::randomMixture(n, 3 * n, c.density, random), c.m);
        const OutcomeRows rows(n, c.m);
        std::vector<double> everyRow = {c.y(0)};
        std::vector<double> positiveRow = {c.y(0)};
        for (std::int32_t row = 1; row < rows.rowCount(); ++row) {
            const bool positive = prob[static_cast<std::size_t>(row - 1)] != 0.0;
            everyRow.push_back(positive ? c.y(rows.maskOfRow(row)) : 0.0);
            if (positive) {
                positiveRow.push_back(everyRow.back());
            }
        }
        MultiplierProver lattice(rows, prob);
        EventSetSpace sets(n, c.m, prob);
        sets.proofBudget = 1;
        for (const MultiplierSide side : {MultiplierSide::atLeast, MultiplierSide::atMost}) {
            const double byLattice = lattice.prove(everyRow, side, 1.0, 0.0, true).shift;
            const double bySets = sets.prove(positiveRow, side, 1.0, 0.0).shift;
            // Hunter's multipliers bound only the largest union (at least).
            if (c.tight && (side == MultiplierSide::atLeast || c.y(1) != 1.0)) {
                EXPECT_EQ(bySets, byLattice) << c.m << " " << c.density;
            } else {
                EXPECT_GE(bySets, byLattice) << c.m << " " << c.density;
            }
        }
    }
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
