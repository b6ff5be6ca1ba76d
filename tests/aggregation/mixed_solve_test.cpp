// The mixed system solved block by block, and the candidates' values built
// on it, compared bit for bit (and message for message) with the dense
// matrix solved as a whole.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <tuple>

#include "aggregation/basis_evaluator.hpp"
#include "aggregation/candidates.hpp"
#include "aggregation/mixed_solve.hpp"
#include "aggregation/moment_shift.hpp"
#include "aggregation/passes.hpp"
#include "moments/binomial_moments.hpp"
#include "moments/moment_index.hpp"
#include "moments/power_moments.hpp"
#include "moments/subsets.hpp"
#include "reference/literal_pipeline.hpp"
#include "reference/random_values.hpp"
#include "support/capture.hpp"

namespace unionbound::testing {
namespace {

bool sameSolution(const MixedSolution& a, const MixedSolution& b) {
    return sameBits(a.weights, b.weights) && sameBits(a.residual, b.residual) &&
           sameBits(a.cost, b.cost);
}

struct MixedCase {
    RealMatrix columns;
    IntMatrixList momentIndex;
    IntVector orders;
    std::int32_t m;
    RealVector shiftedMoments;
    RealVector mixedCosts;
};

// With anyPairs, the pairs are drawn from all coordinates, a coordinate
// with itself and reversed pairs included, instead of (1,2) … (1,q).
MixedCase randomMixedCase(std::mt19937_64& random, bool awkward, bool anyPairs = false) {
    MixedCase c;
    c.m = std::uniform_int_distribution<int>(0, 2)(random) == 0 ? 5 : 3;
    const std::int32_t q = std::uniform_int_distribution<std::int32_t>(2, 6)(random);
    c.orders.assign(q, c.m);
    IntMatrix pairs;
    for (std::int32_t i = 2; i <= q; ++i) {
        if (anyPairs) {
            std::uniform_int_distribution<std::int32_t> member(1, q);
            pairs.push_back({member(random), member(random)});
        } else {
            pairs.push_back({1, i});
        }
    }
    c.momentIndex = momentIndexList(c.m, pairs, c.orders);
    for (std::int32_t j = 0; j < q; ++j) {
        RealVector row(static_cast<std::size_t>(c.m + 3));
        for (std::size_t t = 0; t < row.size(); ++t) {
            row[t] =
                awkward ? awkwardValue(random)
                        : static_cast<double>(t) - std::uniform_int_distribution<int>(0, 3)(random);
        }
        c.columns.push_back(row);
    }
    for (std::size_t i = 0; i < c.momentIndex.size(); ++i) {
        c.shiftedMoments.push_back(awkward ? awkwardValue(random)
                                           : std::uniform_real_distribution<double>(-2, 2)(random));
    }
    const std::size_t mixed = c.momentIndex.size() - 1 - static_cast<std::size_t>(q * c.m);
    for (std::size_t i = 0; i < mixed; ++i) {
        c.mixedCosts.push_back(std::uniform_int_distribution<int>(0, 1)(random) == 0 ? 0.0 : -1.0);
    }
    return c;
}

void expectSameAsWholeSolve(const MixedCase& c, int trial) {
    std::string fastText, literalText;
    MixedSolution fast, literal;
    std::tie(fast, fastText) = captured([&] {
        return solveMixedColumnsByBlocks(c.mixedCosts, c.shiftedMoments, c.columns, c.momentIndex,
                                         c.orders, c.m);
    });
    std::tie(literal, literalText) = captured([&] {
        return reference::solveMixedColumns(
            c.mixedCosts, c.shiftedMoments,
            reference::buildMixedMomentMatrix(c.columns, c.momentIndex, c.orders, c.m));
    });
    ASSERT_TRUE(sameSolution(fast, literal)) << "trial " << trial;
    ASSERT_EQ(fastText, literalText) << "trial " << trial;
}

TEST(MixedColumns, SolvedBlockByBlockMatchTheWholeSystemOnOrdinaryValues) {
    std::mt19937_64 random(32);
    for (int trial = 0; trial < 1000; ++trial) {
        expectSameAsWholeSolve(randomMixedCase(random, false), trial);
    }
}

TEST(MixedColumns, SolvedBlockByBlockMatchTheWholeSystemWithZerosOfBothSignsAndSingularBlocks) {
    std::mt19937_64 random(33);
    for (int trial = 0; trial < 3000; ++trial) {
        expectSameAsWholeSolve(randomMixedCase(random, true), trial);
    }
}

TEST(MixedColumns, SolvedBlockByBlockMatchTheWholeSystemForAnyPairs) {
    std::mt19937_64 random(34);
    for (int trial = 0; trial < 1000; ++trial) {
        expectSameAsWholeSolve(randomMixedCase(random, trial % 2 == 0, true), trial);
    }
}

TEST(MixedColumns, KeepTheSignOfAZeroTargetInALaterBlock) {
    // Two pairs with one order each (m = 2). The whole solve adds the zero
    // products of block 1 to the target of block 2: -0.0 becomes +0.0 there,
    // and the weight of block 2 is +0.0 / 1 = +0.0, not -0.0.
    MixedCase c;
    c.m = 2;
    c.orders = {2, 2, 2};
    c.momentIndex = momentIndexList(2, {{1, 2}, {1, 3}}, c.orders);
    c.columns = {{0.0, 1.0, 2.0}, {0.0, -1.0, 3.0}, {0.0, 1.0, 1.0}};
    c.shiftedMoments = RealVector(c.momentIndex.size(), 0.5);
    c.shiftedMoments.back() = -0.0;
    c.mixedCosts = {-1.0, -1.0};
    const MixedSolution literal = reference::solveMixedColumns(
        c.mixedCosts, c.shiftedMoments,
        reference::buildMixedMomentMatrix(c.columns, c.momentIndex, c.orders, c.m));
    const MixedSolution fast = solveMixedColumnsByBlocks(c.mixedCosts, c.shiftedMoments, c.columns,
                                                         c.momentIndex, c.orders, c.m);
    EXPECT_FALSE(std::signbit(literal.weights[1]));
    EXPECT_TRUE(sameSolution(fast, literal));
}

TEST(MixedColumns, TakeTheLastRowOfTheWholeSystemWhenABlockIsSingular) {
    // Block 1 is all zeros: the whole solve writes the singular message and
    // puts 1.0 into the last row of the whole matrix, which lies in block 2.
    MixedCase c;
    c.m = 2;
    c.orders = {2, 2, 2};
    c.momentIndex = momentIndexList(2, {{1, 2}, {1, 3}}, c.orders);
    c.columns = {{0.0, 0.0, 2.0}, {0.0, 0.0, 3.0}, {0.0, 2.0, 1.0}};
    c.shiftedMoments = RealVector(c.momentIndex.size(), 0.5);
    c.mixedCosts = {-1.0, -1.0};
    std::string text;
    MixedSolution fast;
    std::tie(fast, text) = captured([&] {
        return solveMixedColumnsByBlocks(c.mixedCosts, c.shiftedMoments, c.columns, c.momentIndex,
                                         c.orders, c.m);
    });
    std::string literalText;
    MixedSolution literal;
    std::tie(literal, literalText) = captured([&] {
        return reference::solveMixedColumns(
            c.mixedCosts, c.shiftedMoments,
            reference::buildMixedMomentMatrix(c.columns, c.momentIndex, c.orders, c.m));
    });
    EXPECT_NE(text.find("(LinSolve) The matrix A is singular.\n"), std::string::npos);
    EXPECT_EQ(text, literalText);
    EXPECT_TRUE(sameSolution(fast, literal));
}

TEST(BasisEvaluation, MatchesTheDenseEvaluationForEveryCandidateOfRandomPasses) {
    std::mt19937_64 random(34);
    for (int trial = 0; trial < 30; ++trial) {
        const std::int32_t m = trial % 2 == 0 ? 3 : 5;
        const std::int32_t n = std::uniform_int_distribution<std::int32_t>(2 * m, 16)(random);
        const std::int32_t l = std::uniform_int_distribution<std::int32_t>(m, n / 2)(random);
        RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)));
        for (double& p : prob) {
            p = awkwardProbability(random);
        }
        const PassTables t = passTables(n, l, m);
        const RealVector rhs =
            powerMoments(m, t.pairs, t.orders, binomialMoments(prob, n, l, m, t.pairs, t.orders));
        const IntMatrixList momentIndex = momentIndexList(m, t.pairs, t.orders);
        IntVector lengths;
        for (const RealVector& row : t.counts) {
            lengths.push_back(static_cast<std::int32_t>(row.size()) - 1);
        }
        for (std::int32_t j = -1; j <= m - 1; ++j) {
            const CandidateSet candidates = buildCandidates(lengths, m, t.pairs, j);
            for (std::size_t c = 0; c < candidates.subscripts.size(); ++c) {
                const ShiftedColumns s =
                    shiftColumns(t.counts, candidates.subscripts[c], candidates.highCounts[c]);
                const RealVector shifted = shiftMoments(rhs, s.shifts, momentIndex, t.orders);
                const BasisEvaluation fast =
                    evaluateBasis(thresholdPenalty, s.columns, s.shifts, t.orders, m, shifted,
                                  candidates.highCounts[c], momentIndex);
                const BasisEvaluation literal =
                    reference::evaluateBasis(thresholdPenalty, s.columns, s.shifts, t.orders, m,
                                             shifted, candidates.highCounts[c], momentIndex);
                ASSERT_TRUE(sameBits(fast.value, literal.value)) << "n=" << n << " l=" << l;
                ASSERT_EQ(fast.Kjs, literal.Kjs);
            }
        }
    }
}

}  // namespace
}  // namespace unionbound::testing
