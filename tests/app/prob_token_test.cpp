// The token reader's quick path (a whole-token finite parse) against the
// full check of the characters that stream extraction gathers.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "app/prob_reader.hpp"
#include "reference/random_values.hpp"

namespace unionbound::testing {
namespace {

// The reading of one token without the quick path.
TokenValue checkedToken(std::string_view token, double& value) {
    if (token.size() >= 2 && token[0] == '+' && token[1] != '+' && token[1] != '-') {
        token.remove_prefix(1);
    }
    for (char c : token) {
        const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                             c == '+' || c == '-';
        if (!allowed) {
            return TokenValue::notANumber;
        }
    }
    const char* first = token.data();
    const char* last = token.data() + token.size();
    const std::from_chars_result parsed = std::from_chars(first, last, value);
    if (parsed.ec == std::errc::invalid_argument || parsed.ptr != last) {
        return TokenValue::notANumber;
    }
    if (parsed.ec == std::errc::result_out_of_range) {
        const std::string copy(token);
        const double underflowed = std::strtod(copy.c_str(), nullptr);
        if (!std::isfinite(underflowed)) {
            return TokenValue::notFinite;
        }
        value = underflowed;
    }
    return TokenValue::number;
}

void expectSameReading(const std::string& token) {
    double quick = -7.0, checked = -7.0;
    const TokenValue a = parseProbabilityToken(token, quick);
    const TokenValue b = checkedToken(token, checked);
    EXPECT_EQ(a, b) << token;
    if (a == TokenValue::number) {
        EXPECT_TRUE(sameBits(quick, checked)) << token;
    }
}

TEST(ProbabilityToken, ReadsOddTokensLikeTheFullCheck) {
    for (const char* token :
         {"0", "-0", "+0", "0.25", ".5", "+.5", "-.5", "1e-3", "2.5E-02", "1e400", "-1e400",
          "1e-400", "4.9e-324", "2e-324", "inf", "-inf", "+inf", "infinity", "nan", "NaN", "nan(1)",
          "0x1p3", "1e", "e1", ".", "+", "-", "+-1", "++1", "--1", "1,5", "1.5.5", "1e+", "0.1f",
          "1e+3", "00.5", "1.00000000000000000000000000001"}) {
        expectSameReading(token);
    }
}

TEST(ProbabilityToken, ReadsRandomDecimalsLikeTheFullCheck) {
    std::mt19937_64 random(51);
    char buffer[64];
    for (int trial = 0; trial < 20000; ++trial) {
        const double value = awkwardProbability(random) * (trial % 2 == 0 ? 1.0 : -1.0);
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::general, 1 + trial % 17);
        expectSameReading(std::string(buffer, end.ptr));
        expectSameReading("+" + std::string(buffer, end.ptr));
    }
}

}  // namespace
}  // namespace unionbound::testing
