#include "numeric/directed_rounding.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <random>

namespace unionbound {
namespace {

// A double with a random sign, significand and exponent in [-lo, hi].
double randomDouble(std::mt19937_64& random, int lowest, int highest) {
    std::uniform_int_distribution<int> exponent(lowest, highest);
    std::uniform_real_distribution<double> significand(1.0, 2.0);
    const double x = std::ldexp(significand(random), exponent(random));
    return random() % 2 == 0 ? x : -x;
}

// Checks lower ≤ exact ≤ upper, and that neither bound could be a double
// closer to the exact value.
void expectTightBounds(double lower, double upper, const mpq_class& exact) {
    ASSERT_TRUE(std::isfinite(lower) && std::isfinite(upper));
    EXPECT_LE(mpq_class(lower), exact);
    EXPECT_GE(mpq_class(upper), exact);
    EXPECT_GT(mpq_class(nextUp(lower)), exact);
    EXPECT_LT(mpq_class(nextDown(upper)), exact);
}

TEST(DirectedRounding, SumsAndProductsOfRandomDoublesAreBoundedTightlyOnBothSides) {
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        // Wide exponents for the sums (cancellation, absorption); products
        // also near both ends of the range where Dekker's trick stops.
        const double a = randomDouble(random, -60, 60);
        const double b = i % 3 == 0 ? a * (1.0 + 0x1p-40) : randomDouble(random, -60, 60);
        expectTightBounds(addDown(a, b), addUp(a, b), mpq_class(a) + mpq_class(b));
        expectTightBounds(mulDown(a, b), mulUp(a, b), mpq_class(a) * mpq_class(b));
        const double c = randomDouble(random, 490, 510);
        const double d = randomDouble(random, -520, -470);
        EXPECT_LE(mpq_class(mulDown(c, c)), mpq_class(c) * mpq_class(c));  // may overflow
        EXPECT_LE(mpq_class(mulDown(d, d)), mpq_class(d) * mpq_class(d));  // may underflow
        EXPECT_GE(mpq_class(mulUp(d, d)), mpq_class(d) * mpq_class(d));
    }
}

TEST(DirectedRounding, ExactResultsStayAsTheyAre) {
    EXPECT_EQ(addDown(0.5, 0.25), 0.75);
    EXPECT_EQ(addUp(0.5, 0.25), 0.75);
    EXPECT_EQ(mulDown(3.0, -7.0), -21.0);
    EXPECT_EQ(mulUp(0.0, -7.0), 0.0);
}

TEST(DirectedRounding, AnOverflowingSumIsBoundedByTheLargestDouble) {
    const double big = std::numeric_limits<double>::max();
    EXPECT_EQ(addDown(big, big), big);
    EXPECT_EQ(addUp(big, big), std::numeric_limits<double>::infinity());
    EXPECT_EQ(addUp(-big, -big), -big);
}

}  // namespace
}  // namespace unionbound
