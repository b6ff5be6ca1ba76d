#include "numeric/vector_ops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/capture.hpp"

namespace unionbound {
namespace {

using testing::captured;
using testing::outputOf;

TEST(ScalarProduct, SumsTheProductsInIncreasingOrder) {
    // 1 + 1e16 rounds to 1e16, so only the forward order gives exactly 0.
    EXPECT_EQ(ScalarProduct({1.0, 1e16, -1e16}, {1.0, 1.0, 1.0}), 0.0);
    EXPECT_EQ(ScalarProduct({1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}), 32.0);
}

TEST(ScalarProduct, OfTwoEmptyVectorsIsZeroWithoutMessage) {
    const auto [value, out] = captured([] { return ScalarProduct({}, {}); });
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(out, "");
}

TEST(ScalarProduct, OfDifferentLengthsSaysSoWithoutLineBreakAndGivesZero) {
    const std::string out = outputOf([] {
        EXPECT_EQ(ScalarProduct({1, 2}, {1, 2, 3}), 0.0);
        EXPECT_EQ(IntScalarProduct({1, 2}, {1}), 0);
        diagnose("next");
    });
    EXPECT_EQ(out, "Scalar product: wrong sizes!Scalar product: wrong sizes!next");
}

TEST(IntScalarProduct, SumsIntegerProducts) {
    EXPECT_EQ(IntScalarProduct({3, 3, 3}, {1, 1, 1}), 9);
    EXPECT_EQ(IntScalarProduct({-2, 5}, {7, 3}), 1);
    EXPECT_EQ(IntScalarProduct({}, {}), 0);
}

TEST(ElementWiseOperations, RefuseDifferentLengthsWithTheirOwnMessages) {
    const std::string out = outputOf([] {
        EXPECT_TRUE(vectsum({1, 2}, {3}).empty());
        EXPECT_TRUE(CoordProduct({1, 2}, {3}).empty());
    });
    EXPECT_EQ(out, "wrong sizes of the vectors in vectsumCoord product: wrong sizes!");
}

TEST(ElementWiseOperations, WorkEntryByEntry) {
    EXPECT_EQ(vectsum({1, 2}, {3, -4}), (RealVector{4, -2}));
    EXPECT_EQ(CoordProduct({1, 2}, {3, -4}), (RealVector{3, -8}));
    EXPECT_EQ(ScaleVector(-2.0, {1.5, -3}), (RealVector{-3, 6}));
}

TEST(DivideVector, TakesTheDivisorFirst) {
    EXPECT_EQ(DivideVector(2.0, {4, 6}), (RealVector{2, 3}));
}

TEST(DivideVector, ByZeroGivesIeeeResults) {
    const RealVector result = DivideVector(0.0, {1.0, -1.0, 0.0});
    EXPECT_EQ(result[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(result[1], -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(result[2]));
}

TEST(IntPower, MultipliesRepeatedly) {
    EXPECT_EQ(IntPower(5.0, 0), 1.0);
    EXPECT_EQ(IntPower(-1.0, 3), -1.0);
    EXPECT_EQ(IntPower(3.0, 4), 81.0);
    const double x = 1.1;
    EXPECT_EQ(IntPower(x, 3), (1.0 * x) * x * x);
}

TEST(IntPower, ReportsUndefinedPowersWithALineAndReturnsTheBase) {
    const auto [zero, zeroOut] = captured([] { return IntPower(0.0, 0); });
    EXPECT_EQ(zero, 0.0);
    EXPECT_EQ(zeroOut, "zero^zero is not defined\n");
    const auto [negative, negativeOut] = captured([] { return IntPower(2.0, -1); });
    EXPECT_EQ(negative, 2.0);
    EXPECT_EQ(negativeOut, "negative exponent does not yield integer\n");
}

TEST(IntPowerEach, ChecksEveryElement) {
    const auto [zeros, zerosOut] = captured([] { return IntPowerEach({0.0, 2.0, 0.0}, 0); });
    EXPECT_EQ(zeros, (RealVector{0.0, 1.0, 0.0}));
    EXPECT_EQ(zerosOut, "zero^zero is not defined\nzero^zero is not defined\n");
    const auto [negative, negativeOut] = captured([] { return IntPowerEach({1.0, 3.0}, -2); });
    EXPECT_EQ(negative, (RealVector{1.0, 3.0}));
    EXPECT_EQ(
        negativeOut,
        "negative exponent does not yield integer\nnegative exponent does not yield integer\n");
    EXPECT_EQ(IntPowerEach({2.0, -3.0}, 3), (RealVector{8.0, -27.0}));
}

TEST(MatVecProduct, GivesZeroForARowOfTheWrongLengthAndCarriesOn) {
    const RealMatrix A = {{1, 2}, {1, 2, 3}, {3, 4}};
    const auto [product, out] = captured([&] { return MatVecProduct(A, {1, 1}); });
    EXPECT_EQ(product, (RealVector{3, 0, 7}));
    EXPECT_EQ(out, "Scalar product: wrong sizes!");
    EXPECT_TRUE(MatVecProduct({}, {1, 2}).empty());
}

TEST(IntMatrixEqual, ComparesRowsInOrder) {
    EXPECT_TRUE(IntMatrixEqual({}, {}));
    EXPECT_TRUE(IntMatrixEqual({{1, 2}, {3}}, {{1, 2}, {3}}));
    EXPECT_FALSE(IntMatrixEqual({{1, 2}, {3}}, {{3}, {1, 2}}));
    EXPECT_FALSE(IntMatrixEqual({{1, 2}}, {{1, 2, 0}}));
    EXPECT_FALSE(IntMatrixEqual({{1, 2}}, {{1, 2}, {}}));
}

}  // namespace
}  // namespace unionbound
