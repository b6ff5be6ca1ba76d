#include "classical/classical_bounds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "moments/binomial_sums.hpp"
#include "moments/probability_consumer.hpp"
#include "moments/subsets.hpp"
#include "reference/literal_pipeline.hpp"
#include "reference/random_values.hpp"

namespace unionbound {
namespace {

// Sums of a few exactly given decimals in double precision differ from the
// decimal result by a few units in the last place.
constexpr double kDecimalRounding = 1e-14;
// The precision promised for the sharp bound.
constexpr double kSharpPrecision = 1e-9;
// Primal and dual feasibility of a basis solved in long double on n ≤ 9:
// values this far below zero are rounding, not infeasibility.
constexpr long double kFeasibilitySlack = 1e-12L;

std::vector<DoubleDouble> sumsOf(const std::vector<double>& values) {
    std::vector<DoubleDouble> sums;
    for (double v : values) {
        sums.emplace_back(v);
    }
    return sums;
}

long double binomial(std::int32_t k, std::int32_t j) {
    if (j < 0 || k < j) {
        return 0.0L;
    }
    long double c = 1.0L;
    for (std::int32_t t = 1; t <= j; ++t) {
        c = c * static_cast<long double>(k - j + t) / static_cast<long double>(t);
    }
    return c;
}

// S_0 … S_m of a count X with P(X = k) = weights[k].
std::vector<double> momentsOfCount(const std::vector<double>& weights, std::int32_t m) {
    std::vector<double> sums;
    for (std::int32_t j = 0; j <= m; ++j) {
        long double s = 0.0L;
        for (std::size_t k = 0; k < weights.size(); ++k) {
            s += weights[k] * binomial(static_cast<std::int32_t>(k), j);
        }
        sums.push_back(static_cast<double>(s));
    }
    return sums;
}

// The probabilities, in the subset order, of the intersections of events
// defined as a weighted mixture of outcome vectors (each row: which events occur).
RealVector mixtureProbabilities(const std::vector<std::vector<int>>& outcomes,
                                const std::vector<double>& weights, std::int32_t n,
                                std::int32_t m) {
    RealVector prob;
    for (const IntVector& subset : allSubsets(n, m)) {
        double p = 0.0;
        for (std::size_t o = 0; o < outcomes.size(); ++o) {
            bool all = true;
            for (std::int32_t e : subset) {
                all = all && outcomes[o][e - 1] == 1;
            }
            p += all ? weights[o] : 0.0;
        }
        prob.push_back(p);
    }
    return prob;
}

TEST(ClassicalBounds, MatchHandComputedValuesForThreeEvents) {
    // P(1)=.5 P(2)=.4 P(3)=.3, P(12)=.2 P(13)=.1 P(23)=.15, P(123)=.05:
    // S1 = 1.2, S2 = .45, S3 = .05; the heaviest tree takes 12 and 23 (.35).
    const RealVector prob{0.5, 0.4, 0.3, 0.2, 0.1, 0.15, 0.05};
    const ClassicalBounds bounds = classicalBounds(prob, 3, 3);
    EXPECT_EQ(bounds.boole, 1.0);
    EXPECT_NEAR(bounds.bonferroni, 0.8, kDecimalRounding);
    EXPECT_NEAR(bounds.hunter, 0.85, kDecimalRounding);
    // With three events S1 - S2 + S3 is the exact probability of the union,
    // and the only basis is {0, 1, 2, 3}.
    EXPECT_NEAR(bounds.sharp.value, 0.8, kDecimalRounding);
    EXPECT_EQ(bounds.sharp.basis, (IntVector{0, 1, 2, 3}));
}

TEST(ClassicalBounds, BooleIsTheSumOfTheSingleProbabilitiesWhenBelowOne) {
    const RealVector prob{0.1, 0.2, 0.05, 0.15, 0.01, 0.02, 0.03, 0.0, 0.01, 0.02};
    const std::vector<DoubleDouble> sums = binomialSums(prob, 4, 2);
    EXPECT_NEAR(booleBound(sums), 0.5, kDecimalRounding);
    EXPECT_NEAR(sums[2].toDouble(), 0.09, kDecimalRounding);
}

TEST(ClassicalBounds, HunterSubtractsTheHeaviestSpanningTree) {
    // Edges 12=.13, 13=.12, 14=.2, 23=.15, 24=.02, 34=.11: the heaviest tree
    // is 14, 23, 12 = .48 (a chain 1-4-... through 34 would weigh less).
    const RealVector prob{0.3, 0.3, 0.3, 0.3, 0.13, 0.12, 0.2, 0.15, 0.02, 0.11};
    EXPECT_NEAR(hunterBound(prob, 4, 2), 1.2 - 0.48, kDecimalRounding);
}

TEST(ClassicalBounds, HunterSkipsAnEdgeThatWouldCloseACycle) {
    // 12=.3, 13=.29, 23=.28 form a triangle; the tree takes 12 and 13 and
    // then 34=.01 rather than 23.
    const RealVector prob{0.5, 0.5, 0.5, 0.5, 0.3, 0.29, 0.0, 0.28, 0.0, 0.01};
    EXPECT_NEAR(hunterBound(prob, 4, 2), 2.0 - 0.6, kDecimalRounding);
}

TEST(ClassicalBounds, BoundsAreAtLeastTheTrueUnionOfAMixture) {
    // Outcome 0 has no event, so the union has probability 1 - 0.3.
    const std::vector<std::vector<int>> outcomes{{0, 0, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 0},
                                                 {0, 1, 1, 1, 0, 0, 0}, {0, 0, 0, 0, 1, 0, 1},
                                                 {1, 0, 1, 0, 1, 0, 1}, {0, 0, 0, 0, 0, 1, 0}};
    const std::vector<double> weights{0.3, 0.2, 0.1, 0.15, 0.05, 0.2};
    const RealVector prob = mixtureProbabilities(outcomes, weights, 7, 3);
    const ClassicalBounds bounds = classicalBounds(prob, 7, 3);
    const double truth = 0.7;
    EXPECT_GE(bounds.boole, truth - kDecimalRounding);
    EXPECT_GE(bounds.bonferroni, truth - kDecimalRounding);
    EXPECT_GE(bounds.hunter, truth - kDecimalRounding);
    EXPECT_GE(bounds.sharp.value, truth - kDecimalRounding);
    // The sharp bound uses S1 and S2 as well as S3, so it is never above
    // Bonferroni's (its basis {0, 1, 2, 3}).
    EXPECT_LE(bounds.sharp.value, bounds.bonferroni + kDecimalRounding);
}

TEST(BinomialSums, KeepTheDigitsOfAMillionTerms) {
    // 10^6 times the double nearest 0.1 is 100000.0000000000055511151231257827…
    const RealVector prob(1000000, 0.1);
    const std::vector<DoubleDouble> sums = binomialSums(prob, 1000000, 1);
    ASSERT_EQ(sums.size(), 2u);
    EXPECT_EQ(sums[0].toDouble(), 1.0);
    EXPECT_EQ(sums[1].hi, 100000.0);
    // The low part is exact to well below its own last place.
    constexpr double kLowPartPrecision = 1e-26;
    EXPECT_NEAR(sums[1].lo, 5.5511151231257827e-12, kLowPartPrecision);
}

TEST(BinomialSums, AreTheSameWhereverTheBlocksOfAStreamAreCut) {
    std::mt19937_64 random(16);
    const struct { std::int32_t n, m; } sizes[] = {{9, 3}, {14, 5}, {30, 3}, {2, 4}};
    for (const auto& [n, m] : sizes) {
        RealVector prob(static_cast<std::size_t>(intersectionCount(n, m)));
        for (double& p : prob) {
            p = testing::awkwardProbability(random);
        }
        const std::vector<DoubleDouble> expected = reference::binomialSums(prob, n, m);
        for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{0}}) {
            BinomialSumsAccumulator streamed(n, m);
            feedInBlocks(prob, streamed, block);
            ASSERT_EQ(streamed.sums().size(), expected.size());
            for (std::size_t k = 0; k < expected.size(); ++k) {
                EXPECT_TRUE(testing::sameBits(streamed.sums()[k].hi, expected[k].hi) &&
                            testing::sameBits(streamed.sums()[k].lo, expected[k].lo))
                    << "n=" << n << " m=" << m << " k=" << k << " blocks of " << block;
            }
        }
        // Numbers past those of (n, m) change nothing.
        RealVector longer = prob;
        longer.push_back(0.5);
        EXPECT_EQ(binomialSums(longer, n, m).back().hi, expected.back().hi);
    }
}

// --- the sharp bound against a search over every basis -------------------

struct BasisSolution {
    std::vector<long double> x;
    bool primalFeasible;
    bool dualFeasible;       // its dual polynomial is ≥ 1{k ≥ 1} at every k: an upper bound
    bool dualFeasibleBelow;  // ≤ 1{k ≥ 1} at every k: a lower bound
    long double objective;
};

// Solves A z = b (A square) by Gaussian elimination with partial pivoting.
std::vector<long double> solve(std::vector<std::vector<long double>> a,
                               std::vector<long double> b) {
    const std::size_t size = b.size();
    for (std::size_t c = 0; c < size; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < size; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (std::size_t r = c + 1; r < size; ++r) {
            const long double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k < size; ++k) {
                a[r][k] -= f * a[c][k];
            }
            b[r] -= f * b[c];
        }
    }
    std::vector<long double> z(size);
    for (std::size_t c = size; c-- > 0;) {
        long double s = b[c];
        for (std::size_t k = c + 1; k < size; ++k) {
            s -= a[c][k] * z[k];
        }
        z[c] = s / a[c][c];
    }
    return z;
}

// The basic solution of Σ_{k in basis} C(k, j)·x_k = S_j (j = 0 … m) and its
// dual y (Σ_j C(k, j)·y_j = [k ≥ 1] on the basis), checked against every
// column k = 0 … n.
BasisSolution solveBasis(const IntVector& basis, const std::vector<double>& sums, std::int32_t n) {
    const std::size_t size = basis.size();
    std::vector<std::vector<long double>> a(size, std::vector<long double>(size));
    std::vector<std::vector<long double>> at(size, std::vector<long double>(size));
    std::vector<long double> rhs(size), cost(size);
    for (std::size_t j = 0; j < size; ++j) {
        rhs[j] = sums[j];
        cost[j] = basis[j] >= 1 ? 1.0L : 0.0L;
        for (std::size_t t = 0; t < size; ++t) {
            a[j][t] = binomial(basis[t], static_cast<std::int32_t>(j));
            at[t][j] = a[j][t];
        }
    }
    BasisSolution s;
    s.x = solve(a, rhs);
    s.primalFeasible =
        std::all_of(s.x.begin(), s.x.end(), [](long double v) { return v >= -kFeasibilitySlack; });
    s.objective = 0.0L;
    for (std::size_t t = 0; t < size; ++t) {
        s.objective += cost[t] * s.x[t];
    }
    const std::vector<long double> y = solve(at, cost);
    s.dualFeasible = true;
    s.dualFeasibleBelow = true;
    for (std::int32_t k = 0; k <= n; ++k) {
        long double reduced = 0.0L;
        for (std::size_t j = 0; j < size; ++j) {
            reduced += binomial(k, static_cast<std::int32_t>(j)) * y[j];
        }
        const long double c = k >= 1 ? 1.0L : 0.0L;
        s.dualFeasible = s.dualFeasible && reduced >= c - kFeasibilitySlack;
        s.dualFeasibleBelow = s.dualFeasibleBelow && reduced <= c + kFeasibilitySlack;
    }
    return s;
}

struct SharpCase {
    std::int32_t n;
    std::int32_t m;
    unsigned seed;
    bool concentrated;  // mass near n, where the moments are largest
};

class SharpBoundSearch : public ::testing::TestWithParam<SharpCase> {};

TEST_P(SharpBoundSearch, BothSidesEqualTheBestPrimalFeasibleBasesAndTheirBasesAreDualFeasible) {
    const SharpCase c = GetParam();
    std::mt19937_64 random(c.seed);
    std::vector<double> weights(c.n + 1);
    double total = 0.0;
    // Spread thinly (mass falling with k) or concentrated (a lump at 0 and
    // most of the rest near n); both keep the bound below 1 in most cases.
    for (std::int32_t k = 0; k <= c.n; ++k) {
        const double u = static_cast<double>(random() % 1000 + 1);
        if (c.concentrated) {
            weights[k] = k == 0 ? 20000.0 : k < c.n / 2 ? u / 50.0 : u;
        } else {
            weights[k] = u / ((k + 1.0) * (k + 1.0) * (k + 1.0));
        }
        total += weights[k];
    }
    for (double& w : weights) {
        w /= total;
    }
    const std::vector<double> sums = momentsOfCount(weights, c.m);
    const SharpBound sharp = sharpBound(sumsOf(sums), c.n);
    const SharpBound lower = sharpLowerBound(sumsOf(sums), c.n);

    // Every (m+1)-subset of {0, …, n} as a basis.
    IntVector points;
    for (std::int32_t k = 0; k <= c.n; ++k) {
        points.push_back(k);
    }
    long double lpOptimum = -1.0L;
    long double lpMinimum = 2.0L;
    long double smallestDual = 2.0L;
    long double largestDualBelow = -1.0L;
    std::vector<bool> choose(points.size(), false);
    std::fill(choose.begin(), choose.begin() + (c.m + 1), true);
    do {
        IntVector basis;
        for (std::size_t t = 0; t < points.size(); ++t) {
            if (choose[t]) {
                basis.push_back(points[t]);
            }
        }
        const BasisSolution s = solveBasis(basis, sums, c.n);
        if (s.primalFeasible) {
            lpOptimum = std::max(lpOptimum, s.objective);
            lpMinimum = std::min(lpMinimum, s.objective);
        }
        if (s.dualFeasible) {
            smallestDual = std::min(smallestDual, s.objective);
        }
        if (s.dualFeasibleBelow) {
            largestDualBelow = std::max(largestDualBelow, s.objective);
        }
    } while (std::prev_permutation(choose.begin(), choose.end()));

    ASSERT_GE(lpOptimum, 0.0L) << "no primal feasible basis: the moments are not from a count";
    // Strong duality in the brute force itself.
    EXPECT_NEAR(static_cast<double>(smallestDual), static_cast<double>(lpOptimum), kSharpPrecision);
    EXPECT_NEAR(sharp.value, static_cast<double>(std::min(1.0L, lpOptimum)), kSharpPrecision);
    ASSERT_EQ(sharp.basis.size(), static_cast<std::size_t>(c.m + 1));
    const BasisSolution chosen = solveBasis(sharp.basis, sums, c.n);
    EXPECT_TRUE(chosen.dualFeasible);
    EXPECT_NEAR(static_cast<double>(std::min(1.0L, chosen.objective)), sharp.value,
                kSharpPrecision);
    // The truth P(X ≥ 1) lies below.
    EXPECT_LE(1.0 - weights[0], sharp.value + kSharpPrecision);

    // The same for the minimum, which the truth lies above.
    EXPECT_NEAR(static_cast<double>(largestDualBelow), static_cast<double>(lpMinimum),
                kSharpPrecision);
    EXPECT_NEAR(lower.value, static_cast<double>(std::max(0.0L, lpMinimum)), kSharpPrecision);
    ASSERT_EQ(lower.basis.size(), static_cast<std::size_t>(c.m + 1));
    const BasisSolution chosenBelow = solveBasis(lower.basis, sums, c.n);
    EXPECT_TRUE(chosenBelow.dualFeasibleBelow);
    EXPECT_GE(1.0 - weights[0], lower.value - kSharpPrecision);
}

INSTANTIATE_TEST_SUITE_P(SmallCounts, SharpBoundSearch,
                         ::testing::Values(SharpCase{3, 3, 1, false}, SharpCase{5, 3, 2, false},
                                           SharpCase{6, 3, 3, true}, SharpCase{8, 3, 4, false},
                                           SharpCase{9, 3, 5, true}, SharpCase{5, 5, 6, false},
                                           SharpCase{7, 5, 7, false}, SharpCase{8, 5, 8, true},
                                           SharpCase{9, 5, 9, false}, SharpCase{7, 7, 10, false},
                                           SharpCase{9, 7, 11, true}, SharpCase{9, 1, 12, false},
                                           SharpCase{4, 2, 13, false}, SharpCase{8, 2, 14, true},
                                           SharpCase{7, 4, 15, false}, SharpCase{9, 4, 16, true},
                                           SharpCase{9, 6, 17, false}, SharpCase{6, 1, 18, true}));

TEST(SharpBound, OfOrderThreeMatchesTheClosedFormOverNeighbourPairs) {
    std::mt19937_64 random(77);
    for (std::int32_t n : {4, 7, 12, 30}) {
        std::vector<double> weights(n + 1);
        double total = 0.0;
        for (double& w : weights) {
            w = static_cast<double>(random() % 100 + 1);
            total += w;
        }
        for (double& w : weights) {
            w /= total;
        }
        const std::vector<double> s = momentsOfCount(weights, 3);
        double formula = 1.0;
        for (std::int32_t i = 1; i <= n - 1; ++i) {
            const double ii = i * (i + 1.0);
            formula = std::min(formula, s[1] - 2.0 * (2.0 * i - 1.0) / ii * s[2] + 6.0 / ii * s[3]);
        }
        // The closed form in doubles loses digits to cancellation as n grows.
        constexpr double kClosedFormRounding = 1e-11;
        EXPECT_NEAR(sharpBound(sumsOf(s), n).value, formula, kClosedFormRounding) << "n=" << n;
    }
}

TEST(SharpBound, IsOneWhenEveryOutcomeHasAnEvent) {
    // X = 1 always: P(X ≥ 1) = 1 whatever the basis.
    const std::vector<double> weights{0.0, 1.0, 0.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(sharpBound(sumsOf(momentsOfCount(weights, 3)), 5).value, 1.0);
}

TEST(SharpBound, OfOrderOneIsBoole) {
    EXPECT_EQ(sharpBound(sumsOf({1.0, 0.4}), 10).value, 0.4);
    EXPECT_EQ(sharpBound(sumsOf({1.0, 1.7}), 10).value, 1.0);
}

TEST(DawsonSankoff, IsTheSharpLowerBoundOfOrderTwo) {
    std::mt19937_64 random(2026);
    for (std::int32_t n : {2, 5, 11, 40}) {
        std::vector<double> weights(n + 1);
        double total = 0.0;
        for (double& w : weights) {
            w = static_cast<double>(random() % 100 + 1);
            total += w;
        }
        for (double& w : weights) {
            w /= total;
        }
        const std::vector<DoubleDouble> sums = sumsOf(momentsOfCount(weights, 2));
        EXPECT_NEAR(dawsonSankoffBound(sums), sharpLowerBound(sums, n).value, kSharpPrecision)
            << "n=" << n;
        EXPECT_LE(dawsonSankoffBound(sums), 1.0 - weights[0] + kSharpPrecision);
    }
}

TEST(SharpLowerBound, OfOrderOneSpreadsTheSumOverAllEvents) {
    // From S_1 alone the union is smallest when X is n or 0: S_1 / n.
    EXPECT_EQ(sharpLowerBound(sumsOf({1.0, 2.5}), 10).value, 0.25);
    EXPECT_TRUE(std::isnan(dawsonSankoffBound(sumsOf({1.0, 2.5})))) << "needs S_2";
}

// --- the sharp bound for large n, against exact integer arithmetic -------

// A count X with P(X = k) = c_k / 2^20 on a few points; every S_j is then a
// dyadic rational that a double holds exactly (checked), and every basis
// value 1 - E[Π (r - X)] / Π r can be formed exactly in 128-bit integers.
struct ExactCount {
    std::vector<std::pair<std::int32_t, std::int64_t>> mass;  // (k, c_k), Σ c_k = 2^20
};

constexpr double kTwoTo20 = 1048576.0;

// A 128-bit integer: wide enough for every product below (GCC extension).
__extension__ typedef __int128 Int128;

Int128 exactBinomial(std::int32_t k, std::int32_t j) {
    if (j < 0 || k < j) {
        return 0;
    }
    Int128 c = 1;
    for (std::int32_t t = 1; t <= j; ++t) {
        c = c * (k - j + t) / t;
    }
    return c;
}

// The smallest (or, with `largest`, the largest) basis value over all
// choices of h disjoint neighbour pairs in first … last beside the given
// roots, each formed exactly and only then divided.
long double exactBestBasisValue(const ExactCount& count, std::int32_t last, std::int32_t h,
                                std::int32_t first, IntVector& roots, bool largest) {
    if (h == 0) {
        Int128 expectation = 0;  // E[Π (r - X)]·2^20
        Int128 rootProduct = 1;
        for (std::int32_t r : roots) {
            rootProduct *= r;
        }
        for (const auto& [k, c] : count.mass) {
            Int128 product = c;
            for (std::int32_t r : roots) {
                product *= (r - k);
            }
            expectation += product;
        }
        return 1.0L - static_cast<long double>(expectation) /
                          (static_cast<long double>(rootProduct) * kTwoTo20);
    }
    long double best = largest ? -1e300L : 1e300L;
    for (std::int32_t i = first; i + 2 * h - 1 <= last; ++i) {
        roots.push_back(i);
        roots.push_back(i + 1);
        const long double value = exactBestBasisValue(count, last, h - 1, i + 2, roots, largest);
        best = largest ? std::max(best, value) : std::min(best, value);
        roots.pop_back();
        roots.pop_back();
    }
    return best;
}

struct LargeCase {
    std::int32_t n;
    std::int32_t m;
};

class SharpBoundLargeN : public ::testing::TestWithParam<LargeCase> {};

TEST_P(SharpBoundLargeN, IsRightToTheRequiredPrecisionWhenTheMomentsCancel) {
    const auto [n, m] = GetParam();
    // Most mass far from 0, so S_m is of the order of C(n, m) and the basis
    // values cancel by many digits; the union has probability 1 - 2^-2.
    const ExactCount count{
        {{0, 262144}, {1, 100000}, {n / 3, 300000}, {n - 1, 186432}, {n, 200000}}};
    std::vector<DoubleDouble> sums;
    for (std::int32_t j = 0; j <= m; ++j) {
        Int128 numerator = 0;
        for (const auto& [k, c] : count.mass) {
            numerator += c * exactBinomial(k, j);
        }
        const double s = static_cast<double>(numerator) / kTwoTo20;
        ASSERT_EQ(static_cast<Int128>(s * kTwoTo20), numerator) << "S_" << j << " not exact";
        sums.emplace_back(s);
    }
    IntVector roots{1};
    const long double exact = exactBestBasisValue(count, n, (m - 1) / 2, 2, roots, false);
    const SharpBound sharp = sharpBound(sums, n);
    EXPECT_NEAR(sharp.value, static_cast<double>(std::min(1.0L, exact)), kSharpPrecision);
    EXPECT_GE(sharp.value, 0.75 - kSharpPrecision);
    // The lower side, for odd m: pairs in 1 … n-1 closed by the root n.
    IntVector lowerRoots{n};
    const long double exactLower =
        exactBestBasisValue(count, n - 1, (m - 1) / 2, 1, lowerRoots, true);
    const SharpBound lower = sharpLowerBound(sums, n);
    EXPECT_NEAR(lower.value, static_cast<double>(std::max(0.0L, exactLower)), kSharpPrecision);
    EXPECT_LE(lower.value, 0.75 + kSharpPrecision);
}

// The largest n for each m is the largest whose C(n,1) + … + C(n,m)
// probabilities the program can count in a signed 32-bit integer.
INSTANTIATE_TEST_SUITE_P(UpToTheLargestInputs, SharpBoundLargeN,
                         ::testing::Values(LargeCase{500, 3}, LargeCase{2344, 3}, LargeCase{100, 5},
                                           LargeCase{192, 5}, LargeCase{74, 7}, LargeCase{48, 9},
                                           LargeCase{38, 11}));

}  // namespace
}  // namespace unionbound
