#include "app/prob_reader.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "moments/subsets.hpp"

namespace unionbound {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Collects the numbers of one file as its text arrives in pieces; a token cut
// by the end of a piece is kept until the next piece completes it.
class ProbabilityParser {
public:
    ProbabilityParser(std::int32_t n, std::int32_t m, std::string name)
        : n_(n), m_(m), name_(std::move(name)), expected_(intersectionCount(n, m)) {
        values_.reserve(static_cast<std::size_t>(expected_));
    }

    // False once every expected number is read or an error is found.
    bool wantsMore() const { return error_.empty() && values_.size() < expected(); }

    void feed(std::string_view piece) {
        std::size_t i = 0;
        while (i < piece.size() && wantsMore()) {
            if (pending_.empty()) {
                while (i < piece.size() && isBlank(piece[i])) {
                    line_ += piece[i] == '\n' ? 1 : 0;
                    ++i;
                }
            }
            const std::size_t start = i;
            while (i < piece.size() && !isBlank(piece[i])) {
                ++i;
            }
            if (i == piece.size()) {
                pending_.append(piece.substr(start));  // may continue in the next piece
                return;
            }
            if (pending_.empty()) {
                take(piece.substr(start, i - start));
            } else {
                pending_.append(piece.substr(start, i - start));
                take(pending_);
                pending_.clear();
            }
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
        const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                             c == '+' || c == '-';
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
