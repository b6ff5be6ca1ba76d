#include "app/prob_reader.hpp"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>

#include "moments/subsets.hpp"

namespace unionbound {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The blanks as a table, for the scan between numbers.
struct BlankTable {
    bool blank[256] = {};
    constexpr BlankTable() {
        for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
            blank[static_cast<unsigned char>(c)] = true;
        }
    }
    bool operator()(char c) const { return blank[static_cast<unsigned char>(c)]; }
};
constexpr BlankTable kBlank;

// 10^k for 0 ≤ k ≤ 22, each exact in a double.
constexpr double kExactPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Division in the 64-bit significand of the x87 long double, where every
// w < 2^63 and every 10^k with k ≤ 27 (2^k·5^k, 5^27 < 2^64) is exact. Used
// only when the type really rounds to 64 bits at run time and its bytes have
// the expected layout; otherwise `usable` is false.
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

const ExtendedDivision& extendedDivision() {
    static const ExtendedDivision division;
    return division;
}

bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// Eight characters at once, as one little-endian 64-bit word: whether all
// are digits, and their value as an eight-digit number.
constexpr bool kWordsAreLittleEndian = std::endian::native == std::endian::little;

bool eightDigits(std::uint64_t word) {
    return ((word & 0xF0F0F0F0F0F0F0F0u) |
            (((word + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) == 0x3333333333333333u;
}

std::uint64_t valueOfEightDigits(std::uint64_t word) {
    word -= 0x3030303030303030u;
    word = word * 10 + (word >> 8);  // pairs of digits in every other byte
    const std::uint64_t low = (word & 0x000000FF000000FFu) * (100 + (std::uint64_t{1000000} << 32));
    const std::uint64_t high =
        ((word >> 16) & 0x000000FF000000FFu) * (1 + (std::uint64_t{10000} << 32));
    return (low + high) >> 32;
}

// The quick reading of a plain decimal that starts at p and is followed by a
// character that is not part of it (a blank, for a token). Returns the end
// of the number, or nullptr when the number is not plain or its rounding is
// not settled here.
//
// The value is w / 10^k. With w ≤ 2^53 and k ≤ 22 both are doubles and one
// division rounds it. Otherwise the long double division gives r, the value
// rounded to 64 bits; r lies on the same side of every midpoint between two
// neighbouring doubles as the value (a midpoint has 54 significant bits, so
// rounding to 64 bits cannot carry the value across it), and only an r that
// is itself a midpoint (its last 11 bits 10000000000) leaves the rounding to
// 53 bits open.
//
// `end` bounds the eight-character reads; the number itself must end before
// `end` at a character that is not part of it.
const char* scanPlainDecimal(const char* p, const char* end, const ExtendedDivision& extended,
                             double& value) {
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

// Collects the numbers of one file as its text arrives in pieces; a token cut
// by the end of a piece is kept until the next piece completes it.
class ProbabilityParser {
  public:
    // The longest word the reader holds while it waits for the word's end.
    static constexpr std::size_t kLongestWord = std::size_t{1} << 20;

    ProbabilityParser(std::int32_t n, std::int32_t m, std::string name)
        : n_(n),
          m_(m),
          name_(std::move(name)),
          expected_(intersectionCount(n, m)),
          extended_(extendedDivision()) {
        values_.reserve(static_cast<std::size_t>(expected_));
    }

    // False once every expected number is read or an error is found.
    bool wantsMore() const { return error_.empty() && values_.size() < expected(); }

    void feed(std::string_view piece) {
        const char* p = piece.data();
        const char* const end = p + piece.size();
        if (!pending_.empty() && wantsMore()) {
            // The token cut by the end of the last piece.
            const char* q = p;
            while (q < end && !isBlank(*q)) {
                ++q;
            }
            pending_.append(p, q);
            if (pending_.size() > kLongestWord) {
                // Refused before its end: memory stays bounded on a file
                // without white space.
                take(pending_);
                pending_.clear();
                return;
            }
            if (q == end) {
                return;
            }
            const std::string token = std::move(pending_);
            pending_.clear();
            take(token);
            p = q;
        }
        // Every token before the last blank of the piece ends inside it, so
        // the scans up to there need no bounds check.
        const char* tail = end;
        while (tail > p && !isBlank(tail[-1])) {
            --tail;
        }
        std::size_t left = wantsMore() ? expected() - values_.size() : 0;
        while (left > 0) {
            while (p < tail && kBlank(*p)) {
                line_ += *p == '\n' ? 1 : 0;
                ++p;
            }
            if (p == tail) {
                break;
            }
            double value = 0.0;
            const char* q = scanPlainDecimal(p, end, extended_, value);
            if (q != nullptr && kBlank(*q) && value >= -kProbabilityTolerance &&
                value <= 1.0 + kProbabilityTolerance) {
                values_.push_back(value);
                p = q;
                --left;
                continue;
            }
            q = p;
            while (!kBlank(*q)) {
                ++q;
            }
            take(std::string_view(p, static_cast<std::size_t>(q - p)));
            if (!error_.empty()) {
                return;
            }
            p = q;
            --left;
        }
        if (left > 0 && tail < end) {
            pending_.assign(tail, end);  // may continue in the next piece
        }
    }

    ProbabilityInput finish() {
        if (!pending_.empty() && wantsMore()) {
            const std::string last = pending_;
            pending_.clear();
            take(last);
        }
        if (error_.empty() && values_.size() < expected()) {
            std::ostringstream message;
            message << '"' << name_ << "\" ends after " << values_.size() << " of the "
                    << expected() << " numbers expected for n=" << n_ << ", m=" << m_;
            error_ = message.str();
        }
        if (!error_.empty()) {
            return {{}, error_};
        }
        return {std::move(values_), {}};
    }

    void fail(std::string message) { error_ = std::move(message); }

    std::int64_t numbersRead() const { return static_cast<std::int64_t>(values_.size()); }
    std::int64_t numbersExpected() const { return expected_; }

  private:
    std::size_t expected() const { return static_cast<std::size_t>(expected_); }

    void take(std::string_view token) {
        if (token.size() > kLongestWord) {
            error_ = where() + ": a word of more than " + std::to_string(kLongestWord) +
                     " characters is not a number";
            return;
        }
        double value = 0.0;
        const TokenValue kind = parseProbabilityToken(token, value);
        if (kind == TokenValue::number && value >= -kProbabilityTolerance &&
            value <= 1.0 + kProbabilityTolerance) {
            values_.push_back(value);
            return;
        }
        const char* problem = kind == TokenValue::notANumber ? " is not a number"
                              : kind == TokenValue::notFinite
                                  ? " is not a finite number"
                                  : " is not a probability: it lies outside [0, 1]";
        error_ = where() + ": \"" + printable(token) + "\"" + problem;
    }

    // "prob.txt", line L, number K of N (the probability of the intersection
    // of events a, b, c)
    std::string where() const {
        const std::size_t number = values_.size() + 1;
        std::ostringstream text;
        text << '"' << name_ << "\", line " << line_ << ", number " << number << " of "
             << expected() << " (the probability of ";
        const IntVector events = subsetAtPosition(n_, m_, static_cast<std::int64_t>(number - 1));
        if (events.size() == 1) {
            text << "event " << events[0];
        } else {
            text << "the intersection of events ";
            for (std::size_t i = 0; i < events.size(); ++i) {
                text << (i == 0 ? "" : ", ") << events[i];
            }
        }
        text << ')';
        return text.str();
    }

    // The token as it can be shown in a one-line message: at most 40
    // characters, bytes outside printable ASCII as \xHH.
    static std::string printable(std::string_view token) {
        std::string shown;
        for (std::size_t i = 0; i < token.size() && i < 40; ++i) {
            const auto c = static_cast<unsigned char>(token[i]);
            if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
                shown += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                shown += hex;
            }
        }
        if (token.size() > 40) {
            shown += "...";
        }
        return shown;
    }

    std::int32_t n_;
    std::int32_t m_;
    std::string name_;
    std::int64_t expected_;
    const ExtendedDivision& extended_;
    RealVector values_;
    std::string pending_;
    std::string error_;
    std::int64_t line_ = 1;
};

}  // namespace

TokenValue parseProbabilityToken(std::string_view token, double& value) {
    // Stream extraction takes one optional sign; from_chars takes only '-'.
    if (token.size() >= 2 && token[0] == '+' && token[1] != '+' && token[1] != '-') {
        token.remove_prefix(1);
    }
    const char* first = token.data();
    const char* last = token.data() + token.size();
    // The common case: the whole token reads as a finite number. This format
    // of from_chars takes no hexadecimal form and reads "inf" and "nan" only
    // as values that are not finite, so such a token holds nothing but the
    // characters checked below, and the answer is the same.
    {
        double parsed = 0.0;
        const std::from_chars_result quick = std::from_chars(first, last, parsed);
        if (quick.ec == std::errc() && quick.ptr == last && std::isfinite(parsed)) {
            value = parsed;
            return TokenValue::number;
        }
    }
    // Only the characters that stream extraction gathers for a double: this
    // also keeps out "inf", "nan" and hexadecimal forms, which it refuses.
    for (char c : token) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
        if (!allowed) {
            return TokenValue::notANumber;
        }
    }
    const std::from_chars_result parsed = std::from_chars(first, last, value);
    if (parsed.ec == std::errc::invalid_argument || parsed.ptr != last) {
        return TokenValue::notANumber;
    }
    if (parsed.ec == std::errc::result_out_of_range) {
        // from_chars stores nothing here. A value that rounds to a subnormal
        // or to zero is a number to stream extraction, an overflow is not.
        const std::string copy(token);
        const double underflowed = std::strtod(copy.c_str(), nullptr);
        if (!std::isfinite(underflowed)) {
            return TokenValue::notFinite;
        }
        value = underflowed;
    }
    return TokenValue::number;
}

bool readPlainDecimal(std::string_view token, double& value) {
    char text[64];
    if (token.size() + 1 > sizeof text) {
        return false;
    }
    std::memcpy(text, token.data(), token.size());
    text[token.size()] = ' ';
    double read = 0.0;
    const char* end = scanPlainDecimal(text, text + token.size() + 1, extendedDivision(), read);
    if (end != text + token.size()) {
        return false;
    }
    value = read;
    return true;
}

ProbabilityInput parseIntersectionProbabilities(std::string_view text, std::int32_t n,
                                                std::int32_t m, const std::string& name) {
    ProbabilityParser parser(n, m, name);
    parser.feed(text);
    return parser.finish();
}

ProbabilityInput parseIntersectionProbabilityPieces(const std::vector<std::string_view>& pieces,
                                                    std::int32_t n, std::int32_t m,
                                                    const std::string& name) {
    ProbabilityParser parser(n, m, name);
    for (const std::string_view piece : pieces) {
        if (!parser.wantsMore()) {
            break;
        }
        parser.feed(piece);
    }
    return parser.finish();
}

ProbabilityInput readIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                               const std::string& path,
                                               const ReadProgress& progress) {
    ProbabilityParser parser(n, m, path);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) {
        return {{}, "cannot open \"" + path + "\": " + std::strerror(errno)};
    }
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    while (parser.wantsMore()) {
        const std::size_t got = std::fread(buffer.get(), 1, kPiece, file.get());
        if (got > 0) {
            parser.feed(std::string_view(buffer.get(), got));
            if (progress) {
                progress(parser.numbersRead(), parser.numbersExpected());
            }
        }
        if (got < kPiece) {
            if (std::ferror(file.get())) {
                return {{}, "cannot read \"" + path + "\": " + std::strerror(errno)};
            }
            break;
        }
    }
    return parser.finish();
}

}  // namespace unionbound
