#include "text/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "text/plain_decimal.hpp"

namespace unionbound {

const ExtendedDivision& extendedDivision() {
    static const ExtendedDivision division;
    return division;
}

bool hasWholeNumberForm(std::string_view word) {
    if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
        word.remove_prefix(1);
    }
    return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

Parsed<std::int64_t> parseWholeNumber(std::string_view word) {
    const std::string_view given = word;
    // from_chars takes only '-'; stream extraction takes one sign of either kind.
    if (word.size() >= 2 && word[0] == '+' && word[1] != '-' && word[1] != '+') {
        word.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto parsed = std::from_chars(word.data(), word.data() + word.size(), value);
    if (parsed.ec == std::errc() && parsed.ptr == word.data() + word.size()) {
        return value;
    }
    if (hasWholeNumberForm(given)) {
        return refuse(given[0] == '-' ? "is too small to be counted"
                                      : "is too large to be counted");
    }
    return refuse("is not a whole number");
}

Parsed<double> parseDecimal(std::string_view word) {
    // Stream extraction takes one optional sign; from_chars takes only '-'.
    if (word.size() >= 2 && word[0] == '+' && word[1] != '+' && word[1] != '-') {
        word.remove_prefix(1);
    }
    const char* first = word.data();
    const char* last = word.data() + word.size();
    // The common case: the whole word reads as a finite number. This format
    // of from_chars takes no hexadecimal form and reads "inf" and "nan" only
    // as values that are not finite, so such a word holds nothing but the
    // characters checked below, and the answer is the same.
    {
        double parsed = 0.0;
        const std::from_chars_result quick = std::from_chars(first, last, parsed);
        if (quick.ec == std::errc() && quick.ptr == last && std::isfinite(parsed)) {
            return parsed;
        }
    }
    // Only the characters that stream extraction gathers for a double: this
    // also keeps out "inf", "nan" and hexadecimal forms, which it refuses.
    for (char c : word) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
        if (!allowed) {
            return refuse("is not a number");
        }
    }
    double value = 0.0;
    const std::from_chars_result parsed = std::from_chars(first, last, value);
    if (parsed.ec == std::errc::invalid_argument || parsed.ptr != last) {
        return refuse("is not a number");
    }
    if (parsed.ec == std::errc::result_out_of_range) {
        // from_chars stores nothing here. A value that rounds to a subnormal
        // or to zero is a number to stream extraction, an overflow is not.
        const std::string copy(word);
        const double underflowed = std::strtod(copy.c_str(), nullptr);
        if (!std::isfinite(underflowed)) {
            return refuse("is not a finite number");
        }
        value = underflowed;
    }
    return value;
}

Parsed<double> readPlainDecimal(std::string_view word) {
    char text[64];
    if (word.size() + 1 > sizeof text) {
        return refuse("is too long for the quick reading");
    }
    std::memcpy(text, word.data(), word.size());
    text[word.size()] = ' ';
    double read = 0.0;
    const char* end = scanPlainDecimal(text, text + word.size() + 1, extendedDivision(), read);
    if (end != text + word.size()) {
        return refuse("is not a plain decimal whose rounding the quick reading settles");
    }
    return read;
}

}  // namespace unionbound
