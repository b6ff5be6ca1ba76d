// The reading of whole numbers and decimals from words: the decimal's quick
// paths (a whole-word finite parse, the plain decimal scan) against the full
// check of the characters that stream extraction gathers, and stream
// extraction itself.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <locale>
#include <sstream>
#include <random>
#include <string>

#include "text/numbers.hpp"
#include "reference/random_values.hpp"

namespace unionbound::testing {
namespace {

// The kinds of reading that parseDecimal tells apart by its messages.
enum class TokenValue { number, notANumber, notFinite };

TokenValue kindOf(std::string_view token, double& value) {
    const Parsed<double> read = parseDecimal(token);
    if (read.ok()) {
        value = read.value();
        return TokenValue::number;
    }
    EXPECT_TRUE(read.message() == "is not a number" || read.message() == "is not a finite number")
        << read.message();
    return read.message() == "is not a finite number" ? TokenValue::notFinite
                                                      : TokenValue::notANumber;
}

bool quickReading(std::string_view token, double& value) {
    const Parsed<double> read = readPlainDecimal(token);
    value = read.ok() ? read.value() : value;
    return read.ok();
}

// The reading of one token without the quick path.
TokenValue checkedToken(std::string_view token, double& value) {
    if (token.size() >= 2 && token[0] == '+' && token[1] != '+' && token[1] != '-') {
        token.remove_prefix(1);
    }
    for (char c : token) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
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
    const TokenValue a = kindOf(token, quick);
    const TokenValue b = checkedToken(token, checked);
    EXPECT_EQ(a, b) << token;
    if (a == TokenValue::number) {
        EXPECT_TRUE(sameBits(quick, checked)) << token;
    }
}

TEST(ProbabilityToken, ReadsOddTokensLikeTheFullCheck) {
    for (const char* token : {"0",
                              "-0",
                              "+0",
                              "0.25",
                              ".5",
                              "+.5",
                              "-.5",
                              "1e-3",
                              "2.5E-02",
                              "1e400",
                              "-1e400",
                              "1e-400",
                              "4.9e-324",
                              "2e-324",
                              "inf",
                              "-inf",
                              "+inf",
                              "infinity",
                              "nan",
                              "NaN",
                              "nan(1)",
                              "0x1p3",
                              "1e",
                              "e1",
                              ".",
                              "+",
                              "-",
                              "+-1",
                              "++1",
                              "--1",
                              "1,5",
                              "1.5.5",
                              "1e+",
                              "0.1f",
                              "1e+3",
                              "00.5",
                              "1.00000000000000000000000000001"}) {
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

// The quick reading of a plain decimal: when it answers, the double is the
// one of the full reading; it must answer for the usual tokens.
void expectSameQuickReading(const std::string& token, bool mustAnswer) {
    double quick = -7.0, full = -7.0;
    const bool answered = quickReading(token, quick);
    if (mustAnswer) {
        EXPECT_TRUE(answered) << token;
    }
    if (answered) {
        ASSERT_EQ(kindOf(token, full), TokenValue::number) << token;
        EXPECT_TRUE(sameBits(quick, full)) << token << ": " << quick << " vs " << full;
    }
}

TEST(PlainDecimal, ReadsLikeTheFullReading) {
    for (const char* token : {"0", "-0", "+0", "0.0", "-0.000", "1", "1.", ".5", "-.5", "+.5",
                              "0.25", "00.5", "1e-3", "2.5E-02", "7e+0", "0.1e1", "123e-5",
                              "0.000000000000000000000000001", "999999999999999999e-27"}) {
        expectSameQuickReading(token, true);
    }
    // Not plain, or beyond its digits and scales: the long way answers.
    for (const char* token : {"", ".", "-", "+", "e1", "1e", "1e+", "+-1", "1.5.5", "1,5", "0x1p3",
                              "inf", "nan", "1e5", "1e-28", "1e-99999", "1234567890123456789",
                              "0.1234567890123456789", "1.00000000000000000000000000001"}) {
        double value = -7.0;
        EXPECT_FALSE(quickReading(token, value)) << token;
    }
}

TEST(PlainDecimal, ReadsRandomDecimalsOfEveryLengthLikeTheFullReading) {
    std::mt19937_64 random(77);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    char buffer[64];
    for (int trial = 0; trial < 400000; ++trial) {
        const double value = trial % 4 == 0 ? awkwardProbability(random) : unit(random);
        const int digits = 1 + trial % 17;
        const auto format =
            trial % 3 == 0 ? std::chars_format::scientific : std::chars_format::general;
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, format, digits);
        const std::string token(buffer, end.ptr);
        const bool usual = value == 0.0 || std::fabs(value) >= 1e-9;
        expectSameQuickReading(token, usual);
        // The shortest form that reads back, as probgen writes it.
        const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value);
        expectSameQuickReading(std::string(buffer, shortest.ptr), false);
    }
}

TEST(PlainDecimal, ReadsRandomDigitStringsLikeTheFullReading) {
    // 15 to 18 digits after "0." and a few leading zeros: most need more
    // than the 53 bits of a double, so they take the long double division.
    std::mt19937_64 random(78);
    int answered = 0;
    for (int trial = 0; trial < 400000; ++trial) {
        std::string token = "0.";
        token.append(static_cast<std::size_t>(random() % 4), '0');
        const int digits = 15 + static_cast<int>(random() % 4);
        for (int d = 0; d < digits; ++d) {
            token += static_cast<char>('0' + random() % 10);
        }
        double value = 0.0;
        answered += quickReading(token, value) ? 1 : 0;
        expectSameQuickReading(token, false);
    }
    if (std::numeric_limits<long double>::digits == 64) {
        // Where the long double division is there, only ties go the long way.
        EXPECT_GT(answered, 399000);
    }
}

TEST(PlainDecimal, LeavesTheTiesToTheFullReadingOrRoundsThemToEven) {
    // u / 2^k with u odd and 2^53 < u < 2^54 lies exactly halfway between two
    // doubles; written as (u·5^k) / 10^k it has at most 18 digits.
    std::mt19937_64 random(79);
    for (int trial = 0; trial < 20000; ++trial) {
        const std::uint64_t u =
            (std::uint64_t{1} << 53) | (random() & ((std::uint64_t{1} << 53) - 1)) | 1u;
        const int k = trial % 3;
        std::uint64_t w = u;
        for (int i = 0; i < k; ++i) {
            w *= 5;
        }
        std::string token = std::to_string(w);
        if (k > 0) {
            token.insert(token.size() - static_cast<std::size_t>(k), ".");
        }
        expectSameQuickReading(token, false);
        // The neighbours of the tie, one unit of the last digit away.
        expectSameQuickReading(std::to_string(w + 1), false);
        expectSameQuickReading(std::to_string(w - 1), false);
    }
}

// The double that formatted stream extraction in the C locale gives.
double extracted(const std::string& token) {
    std::istringstream in(token);
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    return value;
}

TEST(ProbabilityTokens, ReadExactlyAsStreamExtraction) {
    for (const char* token :
         {"0.25", ".5", "5.", "1e-3", "2.5E-02", "+0.25", "0", "-0", "1",
          "0.1000000000000000055511151231257827", "8.74999999999999944E-02", "1e-320", "4.9e-324",
          "2e-330", "1e-400", "00.125", "1.e-2", "0.30000000000000004"}) {
        double value = -7.0;
        ASSERT_EQ(kindOf(token, value), TokenValue::number) << token;
        const double expected = extracted(token);
        EXPECT_EQ(value, expected) << token;
        EXPECT_EQ(std::signbit(value), std::signbit(expected)) << token;
    }
}

TEST(ProbabilityTokens, RefuseWhatStreamExtractionDoesNotTakeWhole) {
    for (const char* token : {"abc", "inf", "nan", "infinity", "0x1p-3", "1e", "e5", ".", "+", "-",
                              "++1", "+-1", "1,5", "0.5x", "1e5.3", "--1", "5%"}) {
        double value = 0.0;
        EXPECT_EQ(kindOf(token, value), TokenValue::notANumber) << token;
    }
}

TEST(ProbabilityTokens, CallAnOverflowNotFinite) {
    double value = 0.0;
    EXPECT_EQ(kindOf("1e400", value), TokenValue::notFinite);
    EXPECT_EQ(kindOf("-1e999", value), TokenValue::notFinite);
}

TEST(ParseWholeNumber, TakesAnOptionalSignAndDigits) {
    const struct {
        const char* word;
        std::int64_t value;
    } cases[] = {{"+10", 10},
                 {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
                 {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
                 {"007", 7}};
    for (const auto& c : cases) {
        const Parsed<std::int64_t> number = parseWholeNumber(c.word);
        ASSERT_TRUE(number.ok()) << c.word << ": " << number.message();
        EXPECT_EQ(number.value(), c.value) << c.word;
    }
}

TEST(ParseWholeNumber, RefusesEverythingElseSayingWhetherItIsOutOfRange) {
    const struct {
        const char* word;
        const char* message;
    } cases[] = {{"", "is not a whole number"},
                 {"+", "is not a whole number"},
                 {"-", "is not a whole number"},
                 {"+-1", "is not a whole number"},
                 {"-+1", "is not a whole number"},
                 {"++1", "is not a whole number"},
                 {"1.0", "is not a whole number"},
                 {"1e3", "is not a whole number"},
                 {"0x10", "is not a whole number"},
                 {" 1", "is not a whole number"},
                 {"1 ", "is not a whole number"},
                 {"ten", "is not a whole number"},
                 {"9223372036854775808", "is too large to be counted"},
                 {"+99999999999999999999", "is too large to be counted"},
                 {"-9223372036854775809", "is too small to be counted"}};
    for (const auto& c : cases) {
        const Parsed<std::int64_t> number = parseWholeNumber(c.word);
        EXPECT_FALSE(number.ok()) << c.word;
        EXPECT_EQ(number.message(), c.message) << c.word;
        EXPECT_EQ(hasWholeNumberForm(c.word), c.message[3] != 'n') << c.word;
    }
}

}  // namespace
}  // namespace unionbound::testing
