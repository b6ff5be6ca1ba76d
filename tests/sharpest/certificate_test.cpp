#include "sharpest/certificate.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "moments/subsets.hpp"

namespace unionbound {
namespace {

// A bound rounded outward over a few dozen operations on numbers of order 1
// exceeds its exact value by less than this.
constexpr double kOutwardRounding = 1e-14;

// Multipliers for n events and order m from a rule on the size of the
// intersection: y_0 = rule(0), y_S = rule(|S|).
std::vector<double> bySize(std::int32_t n, std::int32_t m, std::vector<double> rule) {
    std::vector<double> y{rule[0]};
    for (const IntVector& subset : allSubsets(n, m)) {
        y.push_back(rule[subset.size()]);
    }
    return y;
}

// Σ y_S·p_S exactly.
mpq_class exactValue(const std::vector<double>& y, const RealVector& prob) {
    mpq_class value(y[0]);
    for (std::size_t k = 0; k < prob.size(); ++k) {
        value += mpq_class(y[k + 1]) * mpq_class(prob[k]);
    }
    return value;
}

struct ProofCase {
    const char* name;
    std::vector<double> rule;  // multiplier by intersection size
    MultiplierSide side;
    double shift;  // the violation the proof must find (exact)
};

// n = 4, m = 2, all p_i = 1/4, all p_ij = 1/16 (independent events).
// F(ω) at an outcome of k events is Σ_j rule[j]·C(k, j).
const ProofCase kProofCases[] = {
    // Boole: F = k ≥ 1 on every outcome with an event; feasible as it is.
    {"Boole", {0.0, 1.0, 0.0}, MultiplierSide::atLeast, 0.0},
    // S1 − S2 is a lower bound: F = k − C(k,2) ≤ 1.
    {"Bonferroni", {0.0, 1.0, -1.0}, MultiplierSide::atMost, 0.0},
    // Half of Boole: F = k/2 misses 1 by 1/2 at one event.
    {"half of Boole", {0.0, 0.5, 0.0}, MultiplierSide::atLeast, 0.5},
    // 2·S1 as a lower bound: F = 2k exceeds 1 by 7 at four events.
    {"twice S1", {0.0, 2.0, 0.0}, MultiplierSide::atMost, 7.0},
    // Nothing: F = 0 misses 1 everywhere but at ∅.
    {"zero", {0.0, 0.0, 0.0}, MultiplierSide::atLeast, 1.0},
};

TEST(Certificate, MovesRowZeroByTheLargestViolationAndBoundsOnTheRightSide) {
    const std::int32_t n = 4;
    const std::int32_t m = 2;
    const OutcomeRows rows(n, m);
    RealVector prob;
    for (const IntVector& subset : allSubsets(n, m)) {
        prob.push_back(subset.size() == 1 ? 0.25 : 0.0625);
    }
    ProofScratch scratch;
    for (const ProofCase& c : kProofCases) {
        std::vector<double> y = bySize(n, m, c.rule);
        const MultiplierProof proof =
            proveMultipliers(rows, y, prob, c.side, 1.0, 0.0, false, scratch);
        ASSERT_TRUE(proof.valid) << c.name;
        EXPECT_EQ(proof.shift, c.shift) << c.name;
        y[0] += c.side == MultiplierSide::atLeast ? c.shift : -c.shift;
        const mpq_class exact = exactValue(y, prob);
        if (c.side == MultiplierSide::atLeast) {
            EXPECT_GE(mpq_class(proof.bound), exact) << c.name;
        } else {
            EXPECT_LE(mpq_class(proof.bound), exact) << c.name;
        }
        EXPECT_NEAR(proof.bound, exact.get_d(), kOutwardRounding) << c.name;
    }
}

TEST(Certificate, RepairsOutcomesWithAZeroIntersectionThroughItsOwnMultiplier) {
    // Two disjoint events of probability 1/2; the multipliers (0, 1, 1, −2)
    // give 0 at the outcome of both events, which only row {1,2} may fix.
    const OutcomeRows rows(2, 2);
    const RealVector prob = {0.5, 0.5, 0.0};
    const std::vector<double> y = {0.0, 1.0, 1.0, -2.0};
    ProofScratch scratch;
    const MultiplierProof apart =
        proveMultipliers(rows, y, prob, MultiplierSide::atLeast, 1.0, 0.0, true, scratch);
    const MultiplierProof together =
        proveMultipliers(rows, y, prob, MultiplierSide::atLeast, 1.0, 0.0, false, scratch);
    ASSERT_TRUE(apart.valid && together.valid);
    EXPECT_EQ(apart.shift, 0.0);
    EXPECT_GE(apart.bound, 1.0);  // the union is exactly 1
    EXPECT_NEAR(apart.bound, 1.0, kOutwardRounding);
    EXPECT_EQ(together.shift, 1.0);
    EXPECT_GE(together.bound, 2.0);
}

TEST(Certificate, ProvesNothingFromMultipliersThatAreNotFinite) {
    const OutcomeRows rows(2, 1);
    const RealVector prob = {0.5, 0.5};
    ProofScratch scratch;
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        const std::vector<double> y = {0.0, bad, 1.0};
        EXPECT_FALSE(
            proveMultipliers(rows, y, prob, MultiplierSide::atLeast, 1.0, 0.0, true, scratch)
                .valid);
    }
    // Finite multipliers whose bound overflows.
    const std::vector<double> huge = {0.0, 1e308, 1e308};
    const RealVector certain = {1.0, 1.0};
    EXPECT_FALSE(
        proveMultipliers(rows, huge, certain, MultiplierSide::atLeast, 1.0, 0.0, true, scratch)
            .valid);
}

TEST(Certificate, ChargesTheSlackOfEveryProbabilityToAFarkasProof) {
    // P(1) = P(2) = 1/2 and P(1∩2) = 1/2 + d: the combination P(1) − P(1∩2)
    // is never negative, and is −d here; with a slack of 1e-9 per number the
    // proof holds for d = 1e-6 and fails for d = 1e-9.
    const OutcomeRows rows(2, 2);
    const std::vector<double> z = {0.0, 1.0, 0.0, -1.0};
    ProofScratch scratch;
    for (const auto& [d, proven] : {std::pair{1e-6, true}, std::pair{1e-9, false}}) {
        const RealVector prob = {0.5, 0.5, 0.5 + d};
        const MultiplierProof proof =
            proveMultipliers(rows, z, prob, MultiplierSide::atLeast, 0.0, 1e-9, false, scratch);
        ASSERT_TRUE(proof.valid);
        EXPECT_EQ(proof.shift, 0.0);
        EXPECT_EQ(proof.bound < 0.0, proven) << "d=" << d << " bound " << proof.bound;
    }
}

TEST(ReadingError, CoversTheDecimalEachDoubleWasReadFrom) {
    const std::vector<std::pair<std::string, mpq_class>> decimals = {
        {"0.1", mpq_class(1, 10)},
        {"0.3333333333333333333", mpq_class("3333333333333333333/10000000000000000000")},
        {"1e-400", mpq_class(1) / mpq_class(mpz_class("1" + std::string(400, '0')))},
        {"0.9999999999999999999", mpq_class("9999999999999999999/10000000000000000000")},
        {"1", mpq_class(1)},
        {"0.5000000000000000001", mpq_class("5000000000000000001/10000000000000000000")},
    };
    for (const auto& [text, exact] : decimals) {
        const double p = std::strtod(text.c_str(), nullptr);
        mpq_class gap = exact - mpq_class(p);
        if (gap < 0) {
            gap = -gap;
        }
        EXPECT_LE(gap, mpq_class(readingError(p))) << text;
    }
}

}  // namespace
}  // namespace unionbound
