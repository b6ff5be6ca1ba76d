#include "input/prob_reader.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "moments/probability_consumer.hpp"
#include "moments/subsets.hpp"
#include "text/numbers.hpp"
#include "text/plain_decimal.hpp"

namespace unionbound {

namespace {

// "(the probability of event 3)", "(the probability of the intersection of
// events 1, 4)": the number at `position` of the subset order.
std::string probabilityNamed(std::int32_t n, std::int32_t m, std::int64_t position) {
    std::ostringstream text;
    text << "(the probability of ";
    const IntVector events = subsetAtPosition(n, m, position);
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

// Checks the numbers of one file as its text arrives in pieces and hands
// them on in blocks; a token cut by the end of a piece is kept until the
// next piece completes it. What it holds does not grow with the file: the
// block, and a cut token of at most kLongestWord characters.
class ProbabilityParser {
  public:
    // The longest word the reader holds while it waits for the word's end.
    static constexpr std::size_t kLongestWord = std::size_t{1} << 20;
    // The numbers handed on at a time: a block stays in the cache while the
    // consumers go through it.
    static constexpr std::size_t kBlock = std::size_t{1} << 15;

    // `shown` names the text in messages ("prob.txt", quoted, or standard input).
    ProbabilityParser(std::int32_t n, std::int32_t m, std::string shown,
                      ProbabilityConsumer& consumer)
        : n_(n),
          m_(m),
          shown_(std::move(shown)),
          expected_(intersectionCount(n, m)),
          extended_(extendedDivision()),
          consumer_(consumer),
          block_(new double[kBlock]) {}

    // False once every expected number is read or an error is found.
    bool wantsMore() const { return error_.empty() && read_ < expected(); }
    bool refused() const { return !error_.empty(); }

    void feed(std::string_view piece) {
        const char* p = piece.data();
        const char* const end = p + piece.size();
        if (!error_.empty()) {
            return;
        }
        if (!wantsMore()) {
            countTrailingWords(p, end);
            return;
        }
        if (!pending_.empty()) {
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
        std::size_t left = wantsMore() ? expected() - read_ : 0;
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
                put(value);
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
        if (!wantsMore() && error_.empty()) {
            countTrailingWords(p, end);
        }
    }

    // The refusal of the file, or empty when every expected number was read
    // and handed on.
    std::string finish() {
        if (!pending_.empty() && wantsMore()) {
            const std::string last = pending_;
            pending_.clear();
            take(last);
        }
        if (error_.empty() && read_ < expected()) {
            std::ostringstream message;
            message << shown_ << " ends after " << read_ << " of the " << expected()
                    << " numbers expected for n=" << n_ << ", m=" << m_;
            error_ = message.str();
        }
        if (error_.empty()) {
            handOn();
        }
        return error_;
    }

    std::int64_t numbersRead() const { return static_cast<std::int64_t>(read_); }
    // The words after the expected numbers, counted once those were read.
    std::int64_t trailingWords() const { return trailing_; }
    std::int64_t numbersExpected() const { return expected_; }

  private:
    std::size_t expected() const { return static_cast<std::size_t>(expected_); }

    // A word cut by the end of a piece is counted once, where it starts.
    void countTrailingWords(const char* p, const char* end) {
        for (; p < end; ++p) {
            const bool blank = kBlank(*p);
            trailing_ += !blank && !inTrailingWord_ ? 1 : 0;
            inTrailingWord_ = !blank;
        }
    }

    void put(double value) {
        block_[filled_++] = value;
        ++read_;
        if (filled_ == kBlock) {
            handOn();
        }
    }

    void handOn() {
        if (filled_ > 0) {
            consumer_.take(std::span<const double>(block_.get(), filled_));
            filled_ = 0;
        }
    }

    void take(std::string_view token) {
        if (token.size() > kLongestWord) {
            error_ = where() + ": a word of more than " + std::to_string(kLongestWord) +
                     " characters is not a number";
            return;
        }
        const Parsed<double> number = parseDecimal(token);
        if (number.ok() && number.value() >= -kProbabilityTolerance &&
            number.value() <= 1.0 + kProbabilityTolerance) {
            put(number.value());
            return;
        }
        const std::string problem =
            number.ok() ? "is not a probability: it lies outside [0, 1]" : number.message();
        error_ = where() + ": \"" + printable(token) + "\" " + problem;
    }

    // "prob.txt", line L, number K of N (the probability of the intersection
    // of events a, b, c)
    std::string where() const {
        const std::size_t number = read_ + 1;
        std::ostringstream text;
        text << shown_ << ", line " << line_ << ", number " << number << " of "
             << expected() << " "
             << probabilityNamed(n_, m_, static_cast<std::int64_t>(number - 1));
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
    std::string shown_;
    std::int64_t expected_;
    const ExtendedDivision& extended_;
    ProbabilityConsumer& consumer_;
    std::unique_ptr<double[]> block_;
    std::size_t filled_ = 0;  // numbers in the block, not yet handed on
    std::size_t read_ = 0;    // numbers read and accepted
    std::string pending_;
    std::string error_;
    std::int64_t line_ = 1;
    std::int64_t trailing_ = 0;
    bool inTrailingWord_ = false;
};

std::string streamText(std::int32_t n, std::int32_t m, const TextSource& source,
                       ProbabilityConsumer& consumer, const ReadProgress& progress,
                       std::int64_t* trailingWords = nullptr);

std::string quoted(const std::string& name) {
    return '"' + name + '"';
}

// The outcome of a parser over the numbers it kept.
ProbabilityInput keptOrRefused(const std::string& refusal, KeptProbabilities& kept) {
    if (!refusal.empty()) {
        return refuse(refusal);
    }
    return kept.release();
}

}  // namespace

ProbabilityInput parseIntersectionProbabilities(std::string_view text, std::int32_t n,
                                                std::int32_t m, const std::string& name) {
    KeptProbabilities kept(intersectionCount(n, m));
    ProbabilityParser parser(n, m, quoted(name), kept);
    parser.feed(text);
    return keptOrRefused(parser.finish(), kept);
}

ProbabilityInput parseIntersectionProbabilityPieces(const std::vector<std::string_view>& pieces,
                                                    std::int32_t n, std::int32_t m,
                                                    const std::string& name) {
    KeptProbabilities kept(intersectionCount(n, m));
    ProbabilityParser parser(n, m, quoted(name), kept);
    for (const std::string_view piece : pieces) {
        if (!parser.wantsMore()) {
            break;
        }
        parser.feed(piece);
    }
    return keptOrRefused(parser.finish(), kept);
}

std::string TextSource::shown() const {
    return standardInput ? std::string("standard input") : quoted(path);
}

Expected<TrailingWords> streamIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                                        const TextSource& source,
                                                        ProbabilityConsumer& consumer,
                                                        const ReadProgress& progress) {
    TrailingWords trailing;
    const std::string refusal = streamText(n, m, source, consumer, progress, &trailing.count);
    if (!refusal.empty()) {
        return refuse(refusal);
    }
    return trailing;
}

Expected<void> streamGivenProbabilities(std::int32_t n, std::int32_t m, const RealVector& values,
                                        ProbabilityConsumer& consumer) {
    // The words of a file's refusals, the vector's place standing for the
    // file's: "the given probabilities end after …", "number K of N (…): …".
    const std::int64_t expected = intersectionCount(n, m);
    const auto given = static_cast<std::int64_t>(values.size());
    const std::string sizes = " expected for n=" + std::to_string(n) + ", m=" + std::to_string(m);
    if (given < expected) {
        return refuse("the given probabilities end after " + std::to_string(given) + " of the " +
                      std::to_string(expected) + " numbers" + sizes);
    }
    if (given > expected) {
        return refuse("the given probabilities hold " + std::to_string(given) +
                      " numbers, not the " + std::to_string(expected) + sizes);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double value = values[i];
        if (std::isfinite(value) && value >= -kProbabilityTolerance &&
            value <= 1.0 + kProbabilityTolerance) {
            continue;
        }
        // The shortest form that reads back, as programs write probabilities.
        char shown[40];
        const std::to_chars_result written = std::to_chars(shown, shown + sizeof shown, value);
        std::string problem = "is not a probability: it lies outside [0, 1]";
        if (!std::isfinite(value)) {
            problem = std::isnan(value) ? "is not a number" : "is not a finite number";
        }
        return refuse("number " + std::to_string(i + 1) + " of " + std::to_string(expected) + " " +
                      probabilityNamed(n, m, static_cast<std::int64_t>(i)) + ": " +
                      std::string(shown, written.ptr) + " " + problem);
    }
    feedInBlocks(values, consumer, ProbabilityParser::kBlock);
    return {};
}

namespace {

// Reads the text to its end (where a refusal does not end it first), so that
// the words after the numbers are counted too.
std::string streamText(std::int32_t n, std::int32_t m, const TextSource& source,
                       ProbabilityConsumer& consumer, const ReadProgress& progress,
                       std::int64_t* trailingWords) {
    ProbabilityParser parser(n, m, source.shown(), consumer);
    const auto close = [&](std::FILE* file) { return source.standardInput ? 0 : std::fclose(file); };
    const std::unique_ptr<std::FILE, decltype(close)> file(
        source.standardInput ? stdin : std::fopen(source.path.c_str(), "rb"), close);
    if (!file) {
        return "cannot open " + source.shown() + ": " + std::strerror(errno);
    }
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    for (;;) {
        const std::size_t got = std::fread(buffer.get(), 1, kPiece, file.get());
        if (got > 0) {
            const bool reading = parser.wantsMore();
            parser.feed(std::string_view(buffer.get(), got));
            if (progress && reading) {
                progress(parser.numbersRead(), parser.numbersExpected());
            }
        }
        if (parser.refused()) {
            break;
        }
        if (got < kPiece) {
            if (std::ferror(file.get())) {
                return "cannot read " + source.shown() + ": " + std::strerror(errno);
            }
            break;
        }
    }
    std::string refusal = parser.finish();
    if (trailingWords != nullptr) {
        *trailingWords = parser.trailingWords();
    }
    return refusal;
}

}  // namespace

ProbabilityInput readIntersectionProbabilities(std::int32_t n, std::int32_t m,
                                               const std::string& path,
                                               const ReadProgress& progress) {
    KeptProbabilities kept(intersectionCount(n, m));
    return keptOrRefused(streamText(n, m, TextSource::file(path), kept, progress), kept);
}

}  // namespace unionbound
