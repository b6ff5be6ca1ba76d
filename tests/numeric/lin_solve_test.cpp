#include "numeric/lin_solve.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "reference/literal_pipeline.hpp"
#include "reference/random_values.hpp"
#include "support/capture.hpp"

namespace unionbound {
namespace {

using testing::captured;

constexpr const char* kSingular = "(LinSolve) The matrix A is singular.\n";
constexpr const char* kSize = "Size problem in the input of LinSolve.\n";

TEST(LinSolve, SolvesARegularSystemByGaussJordanSteps) {
    const auto [x, out] = captured([] { return LinSolve({{2, 1}, {1, 3}}, {3, 5}); });
    // Step 0 divides by 2 and removes row 0 from row 1; step 1 divides by 2.5.
    const double x1 = 3.5 / 2.5;
    EXPECT_EQ(x, (RealVector{1.5 - x1 * 0.5, x1}));
    EXPECT_DOUBLE_EQ(x[0], 0.8);
    EXPECT_DOUBLE_EQ(x[1], 1.4);
    EXPECT_EQ(out, "");
    EXPECT_EQ(LinSolve({{4}}, {2}), (RealVector{0.5}));
}

TEST(LinSolve, TakesTheFirstNonZeroPivotBelow) {
    const auto [x, out] = captured([] { return LinSolve({{0, 1}, {1, 0}}, {2, 3}); });
    EXPECT_EQ(x, (RealVector{3, 2}));
    EXPECT_EQ(out, "");
}

TEST(LinSolve, PrefersATinyPivotByPositionOverALargeOneBelow) {
    // Pivoting on 1e-300 loses x0 entirely (partial pivoting would give 1, 1).
    EXPECT_EQ(LinSolve({{1e-300, 1}, {1, 1}}, {1, 2}), (RealVector{0, 1}));
}

TEST(LinSolve, FallsBackToAUnitPivotInTheLastRowOnASingularStep) {
    const auto [x, out] = captured([] { return LinSolve({{1, 1}, {1, 1}}, {2, 2}); });
    EXPECT_EQ(x, (RealVector{2, 0}));
    EXPECT_EQ(out, kSingular);

    const auto [single, singleOut] = captured([] { return LinSolve({{0}}, {5}); });
    EXPECT_EQ(single, (RealVector{5}));
    EXPECT_EQ(singleOut, kSingular);

    // Column 1 is zero in rows 1 and 2: the 1.0 goes to the last row, which
    // then becomes the pivot (a 1.0 in row 1 would give (1, 0.5, 1.5)).
    const auto [three, threeOut] = captured([] {
        return LinSolve({{1, 0, 0}, {0, 0, 1}, {0, 0, 2}}, {1, 2, 3});
    });
    EXPECT_EQ(three, (RealVector{1, -1, 2}));
    EXPECT_EQ(threeOut, kSingular);
}

TEST(LinSolve, ReportsOneSingularStepPerZeroColumn) {
    const auto [x, out] = captured([] { return LinSolve({{0, 0}, {0, 0}}, {1, 1}); });
    EXPECT_EQ(out, std::string(kSingular) + kSingular);
    EXPECT_EQ(x.size(), 2u);
}

TEST(LinSolve, IgnoresExtraColumnsAfterTheSizeMessage) {
    const auto [x, out] = captured([] { return LinSolve({{2, 1, 7}, {1, 3, 9}}, {3, 5}); });
    EXPECT_EQ(x, LinSolve({{2, 1}, {1, 3}}, {3, 5}));
    EXPECT_EQ(out, kSize);
}

TEST(LinSolve, ReturnsExtraEntriesOfBUnchanged) {
    const auto [x, out] = captured([] { return LinSolve({{2, 1}, {1, 3}}, {3, 5, 42}); });
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[2], 42.0);
    EXPECT_EQ(RealVector(x.begin(), x.begin() + 2), LinSolve({{2, 1}, {1, 3}}, {3, 5}));
    EXPECT_EQ(out, kSize);
}

TEST(LinSolve, ReturnsBUnchangedWhenTheSystemCannotBeRead) {
    const RealVector b = {1, 2};
    const struct {
        const char* what;
        RealMatrix A;
        RealVector b;
    } cases[] = {
        {"no rows", {}, b},
        {"a short row 0", {{1}, {1, 2}}, b},
        {"a short later row", {{1, 2}, {1}}, b},
        {"rows of unequal length beyond n", {{1, 2, 3}, {1, 2, 3, 4}}, b},
        {"a short b", {{1, 2}, {3, 4}}, {1}},
    };
    for (const auto& c : cases) {
        const auto [x, out] = captured([&] { return LinSolve(c.A, c.b); });
        EXPECT_EQ(x, c.b) << c.what;
        EXPECT_EQ(out, kSize) << c.what;
    }
}

TEST(LinSolve, LeavesTheCallersSystemUnchanged) {
    const RealMatrix A = {{0, 2, 1}, {1, 1, 0}, {4, 0, 1}};
    const RealVector b = {1, 2, 3};
    const RealMatrix copyA = A;
    const RealVector copyB = b;
    const RealVector x = LinSolve(A, b);
    EXPECT_EQ(A, copyA);
    EXPECT_EQ(b, copyB);
    // And the answer solves the system (entries are small integers).
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(A[i][0] * x[0] + A[i][1] * x[1] + A[i][2] * x[2], b[i], 1e-12);
    }
}

TEST(LinSolve, MatchesGaussJordanOnRowVectors) {
    std::mt19937_64 random(31);
    for (int trial = 0; trial < 2000; ++trial) {
        const std::size_t n = std::uniform_int_distribution<std::size_t>(1, 7)(random);
        RealMatrix A(n, RealVector(n));
        RealVector b(n);
        for (RealVector& row : A) {
            for (double& entry : row) {
                entry = testing::awkwardValue(random);
            }
        }
        for (double& entry : b) {
            entry = testing::awkwardValue(random);
        }
        std::string fastText, literalText;
        RealVector fast, literal;
        std::tie(fast, fastText) = captured([&] { return LinSolve(A, b); });
        std::tie(literal, literalText) = captured([&] { return reference::LinSolve(A, b); });
        ASSERT_TRUE(testing::sameBits(fast, literal)) << "trial " << trial;
        ASSERT_EQ(fastText, literalText) << "trial " << trial;
    }
}

}  // namespace
}  // namespace unionbound
