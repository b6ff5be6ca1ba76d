// Reading numbers from words: whole numbers (counts, seeds) and decimals
// (probabilities, shares), each exactly as the C locale's stream extraction
// would take the whole word.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/parsed.hpp"

namespace unionbound {

// A word as a whole number: an optional sign ('+' or '-') and decimal
// digits, nothing else. Refused with "is not a whole number" for any other
// word, with "is too large to be counted" or "is too small to be counted"
// for one outside the 64-bit range.
Parsed<std::int64_t> parseWholeNumber(std::string_view word);

// An optional sign and one or more decimal digits: a whole number in form,
// though perhaps one out of range.
bool hasWholeNumberForm(std::string_view word);

// A word as a decimal: exactly the double that formatted stream extraction
// in the C locale gives for the whole word (a leading '+', a leading '.',
// exponent forms, and values that round to a subnormal or to zero
// included). Refused with "is not a number" (also for "inf", "nan" and
// hexadecimal forms, which stream extraction refuses) or "is not a finite
// number" (an overflow).
Parsed<double> parseDecimal(std::string_view word);

// scanPlainDecimal (text/plain_decimal.hpp) on a whole word: the value
// parseDecimal gives, or a refusal for every other word and for the rare
// value whose rounding the quick reading cannot settle.
Parsed<double> readPlainDecimal(std::string_view word);

}  // namespace unionbound
