#include "moments/power_moments.hpp"

#include <gtest/gtest.h>

#include <random>

#include "moments/binomial_moments.hpp"
#include "numeric/vector_ops.hpp"
#include "support/distribution.hpp"

namespace unionbound {
namespace {

TEST(Stirling2, FollowsTheRecursion) {
    EXPECT_EQ(stirling2(0, 0), 1);
    EXPECT_EQ(stirling2(4, 2), 7);
    EXPECT_EQ(stirling2(5, 3), 25);
    EXPECT_EQ(stirling2(3, 0), 0);
    EXPECT_EQ(stirling2(2, 3), 0);
    EXPECT_EQ(stirling2(7, 1), 1);
    EXPECT_EQ(stirling2(10, 5), 42525);
}

TEST(Factorial, MultipliesUpToK) {
    EXPECT_EQ(factorial(0), 1);
    EXPECT_EQ(factorial(1), 1);
    EXPECT_EQ(factorial(5), 120);
    EXPECT_EQ(factorial(12), 479001600);
    EXPECT_EQ(factorial(-3), 1);
}

TEST(PowerMomentMatrix, HoldsStirlingBlocksOnTheDiagonal) {
    const RealMatrix matrix = powerMomentMatrix(2, {{1, 2}}, {2, 2});
    EXPECT_EQ(matrix, (RealMatrix{{1, 0, 0, 0, 0, 0},
                                  {0, 1, 0, 0, 0, 0},
                                  {0, 1, 2, 0, 0, 0},
                                  {0, 0, 0, 1, 0, 0},
                                  {0, 0, 0, 1, 2, 0},
                                  {0, 0, 0, 0, 0, 1}}));
}

TEST(PowerMomentMatrix, ForOrderThreeHasTheUnivariateAndBivariateBlocks) {
    const RealMatrix matrix = powerMomentMatrix(3, {{1, 2}, {1, 3}}, {3, 3, 3});
    ASSERT_EQ(matrix.size(), 16u);
    const RealMatrix univariate = {{1, 0, 0}, {1, 2, 0}, {1, 6, 6}};
    const RealMatrix bivariate = {{1, 0, 0}, {1, 2, 0}, {1, 0, 2}};
    RealMatrix expected(16, RealVector(16, 0.0));
    expected[0][0] = 1;
    for (std::size_t block : {1u, 4u, 7u}) {
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t c = 0; c < 3; ++c)
                expected[block + r][block + c] = univariate[r][c];
    }
    for (std::size_t block : {10u, 13u}) {
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t c = 0; c < 3; ++c)
                expected[block + r][block + c] = bivariate[r][c];
    }
    EXPECT_EQ(matrix, expected);
}

TEST(PowerMomentMatrix, TurnsBinomialMomentsIntoPowerMoments) {
    // From a known joint distribution: rhs = (1, E[X1], E[X1^2], E[X1^3], …,
    // E[X1·X2], E[X1^2·X2], E[X1·X2^2]) computed outcome by outcome.
    std::mt19937_64 random(5);
    const std::int32_t n = 6, m = 3, l = 3;
    const testing::JointDistribution d = testing::randomMixture(n, 5, 0.5, random);
    const RealVector prob = testing::intersectionProbabilities(d, m);
    const IntMatrix pairs = {{1, 2}};
    const IntVector orders = {3, 3};
    const RealVector rhs = MatVecProduct(powerMomentMatrix(m, pairs, orders),
                                         binomialMoments(prob, n, l, m, pairs, orders));
    RealVector expected(rhs.size(), 0.0);
    for (const testing::Outcome& o : d.outcomes) {
        const double x1 = o.occurs[0] + o.occurs[1] + o.occurs[2];
        const double x2 = o.occurs[3] + o.occurs[4] + o.occurs[5];
        const RealVector power = {1,       x1,           x1 * x1, x1 * x1 * x1, x2,
                                  x2 * x2, x2 * x2 * x2, x1 * x2, x1 * x1 * x2, x1 * x2 * x2};
        for (std::size_t i = 0; i < power.size(); ++i) {
            expected[i] += o.weight * power[i];
        }
    }
    ASSERT_EQ(rhs.size(), expected.size());
    EXPECT_EQ(rhs[0], 1.0);
    for (std::size_t i = 0; i < rhs.size(); ++i) {
        // Sums of a few weighted small integers: rounding only.
        EXPECT_NEAR(rhs[i], expected[i], 1e-12) << "entry " << i;
    }
}

}  // namespace
}  // namespace unionbound
