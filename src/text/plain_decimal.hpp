// The quick reading of a plain decimal straight from a text buffer, without
// copying the token: eight digits at a time and one exact division. Inline,
// so that a reader's scan between numbers keeps it in its own loop.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace unionbound {

// Division in the 64-bit significand of the x87 long double, where every
// w < 2^63 and every 10^k with k ≤ 27 (2^k·5^k, 5^27 < 2^64) is exact.
// `usable` only when the type really rounds to 64 bits at run time and its
// bytes have the expected layout.
struct ExtendedDivision {
    bool usable = false;
    long double powers[28] = {};

    ExtendedDivision() {
        if (std::numeric_limits<long double>::digits != 64 || sizeof(long double) < 10) {
            return;
        }
        volatile long double one = 1.0L;
        volatile long double smallest = 0x1p-63L;
        const long double sum = one + smallest;
        if (sum == 1.0L) {
            return;  // the hardware rounds to fewer bits than the type claims
        }
        if (significandOf(sum) != ((std::uint64_t{1} << 63) | 1u)) {
            return;
        }
        long double power = 1.0L;
        for (long double& p : powers) {
            p = power;
            power = power * 10.0L;
        }
        usable = true;
    }

    static std::uint64_t significandOf(long double x) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &x, sizeof bits);
        return bits;
    }
};

// The one ExtendedDivision of the process.
const ExtendedDivision& extendedDivision();

namespace plain_decimal_detail {

// 10^k for 0 ≤ k ≤ 22, each exact in a double.
inline constexpr double kExactPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// Eight characters at once, as one little-endian 64-bit word: whether all
// are digits, and their value as an eight-digit number.
inline constexpr bool kWordsAreLittleEndian = std::endian::native == std::endian::little;

inline bool eightDigits(std::uint64_t word) {
    return ((word & 0xF0F0F0F0F0F0F0F0u) |
            (((word + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) == 0x3333333333333333u;
}

inline std::uint64_t valueOfEightDigits(std::uint64_t word) {
    word -= 0x3030303030303030u;
    word = word * 10 + (word >> 8);  // pairs of digits in every other byte
    const std::uint64_t low = (word & 0x000000FF000000FFu) * (100 + (std::uint64_t{1000000} << 32));
    const std::uint64_t high =
        ((word >> 16) & 0x000000FF000000FFu) * (1 + (std::uint64_t{10000} << 32));
    return (low + high) >> 32;
}

}  // namespace plain_decimal_detail

// The quick reading of a plain decimal that starts at p and is followed by a
// character that is not part of it (a blank, for a token): an optional sign,
// digits with at most one '.', an optional exponent (e or E, an optional
// sign, one to four digits), at least one digit before the exponent and at
// most 18 significant digits, whose value is w / 10^k for 0 ≤ k ≤ 27.
// Returns the end of the number with `value` rounded to nearest, ties to
// even; nullptr when the number is not plain or its rounding is not settled
// here (those go the long way, parseDecimal).
//
// With w ≤ 2^53 and k ≤ 22 both are doubles and one division rounds the
// value. Otherwise the long double division gives r, the value rounded to 64
// bits; r lies on the same side of every midpoint between two neighbouring
// doubles as the value (a midpoint has 54 significant bits, so rounding to 64
// bits cannot carry the value across it), and only an r that is itself a
// midpoint (its last 11 bits 10000000000) leaves the rounding to 53 bits
// open.
//
// `end` bounds the eight-character reads; the number itself must end before
// `end` at a character that is not part of it.
inline const char* scanPlainDecimal(const char* p, const char* end,
                                    const ExtendedDivision& extended, double& value) {
    using namespace plain_decimal_detail;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    } else if (*p == '+') {
        ++p;
    }
    std::uint64_t w = 0;
    int significant = 0;
    int fraction = 0;
    bool anyDigit = false;
    while (*p == '0') {
        ++p;
        anyDigit = true;
    }
    while (isDigit(*p)) {
        if (++significant > 18) {
            return nullptr;
        }
        w = w * 10 + static_cast<std::uint64_t>(*p - '0');
        ++p;
        anyDigit = true;
    }
    if (*p == '.') {
        ++p;
        if (w == 0) {
            while (*p == '0') {
                ++p;
                ++fraction;
                anyDigit = true;
            }
        }
        if constexpr (kWordsAreLittleEndian) {
            while (end - p >= 8 && significant <= 10) {
                std::uint64_t word = 0;
                std::memcpy(&word, p, sizeof word);
                if (!eightDigits(word)) {
                    break;
                }
                w = w * 100000000u + valueOfEightDigits(word);
                significant += 8;
                fraction += 8;
                p += 8;
                anyDigit = true;
            }
        }
        while (isDigit(*p)) {
            if (++significant > 18) {
                return nullptr;
            }
            w = w * 10 + static_cast<std::uint64_t>(*p - '0');
            ++fraction;
            ++p;
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return nullptr;
    }
    int exponent = 0;
    if (*p == 'e' || *p == 'E') {
        ++p;
        bool negativeExponent = false;
        if (*p == '-') {
            negativeExponent = true;
            ++p;
        } else if (*p == '+') {
            ++p;
        }
        int digits = 0;
        while (isDigit(*p)) {
            if (++digits > 4) {
                return nullptr;
            }
            exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (digits == 0) {
            return nullptr;
        }
        exponent = negativeExponent ? -exponent : exponent;
    }
    const int k = fraction - exponent;
    double magnitude = 0.0;
    if (w != 0) {
        if (k < 0 || k > 27) {
            return nullptr;
        }
        if (w <= (std::uint64_t{1} << 53) && k <= 22) {
            magnitude = static_cast<double>(w) / kExactPowers[k];
        } else if (extended.usable) {
            const long double r =
                static_cast<long double>(static_cast<std::int64_t>(w)) / extended.powers[k];
            if ((ExtendedDivision::significandOf(r) & 0x7ff) == 0x400) {
                return nullptr;
            }
            magnitude = static_cast<double>(r);
        } else {
            return nullptr;
        }
    }
    value = negative ? -magnitude : magnitude;
    return p;
}

}  // namespace unionbound
