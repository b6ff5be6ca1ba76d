#include "numeric/double_double.hpp"

#include <gtest/gtest.h>

namespace unionbound {
namespace {

TEST(DoubleDouble, KeepsWhatOneDoubleWouldRoundAway) {
    // 1 + 2^-60 is not a double, but it is a double-double.
    const double tiny = 0x1p-60;
    const DoubleDouble sum = DoubleDouble(1.0) + DoubleDouble(tiny);
    EXPECT_EQ(sum.hi, 1.0);
    EXPECT_EQ(sum.lo, tiny);
    EXPECT_EQ((sum - DoubleDouble(1.0)).toDouble(), tiny);
}

TEST(DoubleDouble, MultipliesExactlyWhenTheProductFitsInTwoDoubles) {
    // (2^30 + 1)^2 = 2^60 + 2^31 + 1 needs 61 bits.
    const double a = 0x1p30 + 1.0;
    const DoubleDouble p = DoubleDouble(a) * DoubleDouble(a);
    EXPECT_EQ((p - DoubleDouble(0x1p60)).toDouble(), 0x1p31 + 1.0);
}

TEST(DoubleDouble, DividesToAboutThirtyDigits) {
    // 1/3·3 - 1 in double-double is of the order of 2^-106, not 2^-53.
    const DoubleDouble third = DoubleDouble(1.0) / DoubleDouble(3.0);
    const DoubleDouble residual = third * DoubleDouble(3.0) - DoubleDouble(1.0);
    constexpr double kDoubleDoubleUnit = 0x1p-104;  // a few units of 2^-106
    EXPECT_LE(std::abs(residual.toDouble()), kDoubleDoubleUnit);
    EXPECT_NE(third.lo, 0.0);
}

TEST(DoubleDouble, OrdersByHighThenLowPart) {
    EXPECT_TRUE(DoubleDouble(1.0, -1e-20) < DoubleDouble(1.0));
    EXPECT_FALSE(DoubleDouble(1.0) < DoubleDouble(1.0));
    EXPECT_TRUE(DoubleDouble(0.5, 1e-20) < DoubleDouble(1.0, -1e-20));
}

}  // namespace
}  // namespace unionbound
