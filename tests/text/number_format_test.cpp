#include "text/number_format.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace unionbound {
namespace {

TEST(NumberFormat, WritesFifteenSignificantDigitsInGeneralNotation) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.1 + 0.2, "0.3"},
                 {1.0 / 3.0, "0.333333333333333"},
                 {2.0 / 3.0 * 1e-20, "6.66666666666667e-21"},
                 {-0.0, "-0"},
                 {123456789012345678.0, "1.23456789012346e+17"}};
    for (const auto& c : cases) {
        EXPECT_EQ(general15(c.value), c.text);
    }
}

TEST(NumberFormat, WritesSeventeenDigitsThatReadBackToTheSameDouble) {
    for (double value : {0.1 + 0.2, 1.0 / 3.0, std::numeric_limits<double>::denorm_min(),
                         std::numeric_limits<double>::max(), -1e-300 / 7.0}) {
        EXPECT_EQ(std::strtod(general17(value).c_str(), nullptr), value) << general17(value);
    }
    EXPECT_EQ(general17(0.1 + 0.2), "0.30000000000000004");
}

}  // namespace
}  // namespace unionbound
