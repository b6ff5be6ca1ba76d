#include "app/prob_reader.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

#include "moments/subsets.hpp"
#include "reference/random_values.hpp"

#include "e2e/program_runner.hpp"

namespace unionbound {
namespace {

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
        ASSERT_EQ(parseProbabilityToken(token, value), TokenValue::number) << token;
        const double expected = extracted(token);
        EXPECT_EQ(value, expected) << token;
        EXPECT_EQ(std::signbit(value), std::signbit(expected)) << token;
    }
}

TEST(ProbabilityTokens, RefuseWhatStreamExtractionDoesNotTakeWhole) {
    for (const char* token : {"abc", "inf", "nan", "infinity", "0x1p-3", "1e", "e5", ".", "+", "-",
                              "++1", "+-1", "1,5", "0.5x", "1e5.3", "--1", "5%"}) {
        double value = 0.0;
        EXPECT_EQ(parseProbabilityToken(token, value), TokenValue::notANumber) << token;
    }
}

TEST(ProbabilityTokens, CallAnOverflowNotFinite) {
    double value = 0.0;
    EXPECT_EQ(parseProbabilityToken("1e400", value), TokenValue::notFinite);
    EXPECT_EQ(parseProbabilityToken("-1e999", value), TokenValue::notFinite);
}

ProbabilityInput parse(const std::string& text, std::int32_t n = 4, std::int32_t m = 2) {
    return parseIntersectionProbabilities(text, n, m, "prob.txt");
}

TEST(ProbabilityFile, AcceptsAnyWhiteSpaceBetweenNumbers) {
    const RealVector expected = {0.1, 0.2, 0.3, 0.4, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06};
    for (const char* text :
         {"0.1 0.2 0.3 0.4 0.01 0.02 0.03 0.04 0.05 0.06",
          "0.1\t0.2\n0.3\r\n0.4\r\n\r\n0.01 \t 0.02\v0.03\f0.04\n\n0.05\n0.06\n",
          "\n\n   0.1 0.2 0.3 0.4\r\n0.01 0.02 0.03 0.04 0.05 0.06 0.9 garbage after"}) {
        const ProbabilityInput input = parse(text);
        ASSERT_TRUE(input.ok()) << input.error;
        EXPECT_EQ(input.values, expected);
    }
}

TEST(ProbabilityFile, RefusesAShortFileSayingHowShort) {
    EXPECT_EQ(parse("0.1 0.2 0.3 0.4 0.01 0.02 0.03 0.04").error,
              "\"prob.txt\" ends after 8 of the 10 numbers expected for n=4, m=2");
    EXPECT_EQ(parse("").error, "\"prob.txt\" ends after 0 of the 10 numbers expected for n=4, m=2");
    EXPECT_TRUE(parse("0.1 0.2").values.empty());
}

TEST(ProbabilityFile, NamesTheLinePositionAndIntersectionOfABadToken) {
    EXPECT_EQ(parse("0.1 0.2 0.3 0.4\n0.01 abc").error,
              "\"prob.txt\", line 2, number 6 of 10 (the probability of the intersection of "
              "events 1, 3): \"abc\" is not a number");
    EXPECT_EQ(parse("0.1 0.2 nan").error,
              "\"prob.txt\", line 1, number 3 of 10 (the probability of event 3): \"nan\" is not "
              "a number");
    EXPECT_EQ(parse("0.1\r\n1e999").error,
              "\"prob.txt\", line 2, number 2 of 10 (the probability of event 2): \"1e999\" is "
              "not a finite number");
    EXPECT_EQ(parse(std::string("0.1 0.2 0.3 0.4 0.0\0"
                                "1",
                                21))
                  .error,
              "\"prob.txt\", line 1, number 5 of 10 (the probability of the intersection of "
              "events 1, 2): \"0.0\\x001\" is not a number");
}

TEST(ProbabilityFile, RefusesValuesOutsideTheUnitIntervalBeyondRounding) {
    const std::string rest = " 0.2 0.3 0.4 0.01 0.02 0.03 0.04 0.05 0.06";
    EXPECT_TRUE(parse("1.0000000005" + rest).ok());
    EXPECT_TRUE(parse("-0.0000000005" + rest).ok());
    EXPECT_EQ(parse("1.5" + rest).error,
              "\"prob.txt\", line 1, number 1 of 10 (the probability of event 1): \"1.5\" is not "
              "a probability: it lies outside [0, 1]");
    EXPECT_FALSE(parse("-0.001" + rest).ok());
    EXPECT_FALSE(parse("1.000000002" + rest).ok());
}

TEST(ProbabilityFile, ReadsTheNumbersOfAFileOnDisk) {
    testing::ScratchDir dir;
    testing::writeFile(dir.path() / "p.txt", "0.5 .25 1e-1 +0.125 0 0 0 0 0 0 surplus");
    const ProbabilityInput input =
        readIntersectionProbabilities(4, 2, (dir.path() / "p.txt").string());
    ASSERT_TRUE(input.ok()) << input.error;
    EXPECT_EQ(input.values, (RealVector{0.5, 0.25, 0.1, 0.125, 0, 0, 0, 0, 0, 0}));
}

TEST(ProbabilityFile, ReadsANumberCutByTheEndOfAPiece) {
    // The reader takes the file in pieces of 1 MiB: put a number across the
    // first boundary.
    testing::ScratchDir dir;
    const std::size_t piece = std::size_t{1} << 20;
    std::string text(piece - 3, ' ');
    text += "0.123456 0.5";
    const std::int32_t n = 2;
    testing::writeFile(dir.path() / "p.txt", text);
    const ProbabilityInput input =
        readIntersectionProbabilities(n, 1, (dir.path() / "p.txt").string());
    ASSERT_TRUE(input.ok()) << input.error;
    EXPECT_EQ(input.values, (RealVector{0.123456, 0.5}));
}

TEST(ProbabilityFile, ReadsAFileOfManyPiecesLikeEachTokenAlone) {
    // About 3 MiB of numbers in every written form, with every kind of blank
    // between them, so that tokens and blank runs fall across the ends of the
    // pieces: the file reads as the tokens one by one.
    std::mt19937_64 random(90);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const char* blanks[] = {" ", "\n", "\r\n", "\t", "  \n\n", "\v", "\f"};
    const std::int32_t n = 160, m = 3;  // 682 800 numbers
    const auto count = static_cast<std::size_t>(intersectionCount(n, m));
    std::string text;
    RealVector expected;
    char buffer[64];
    for (std::size_t i = 0; i < count; ++i) {
        const double value = i % 50 == 0 ? 0.0 : unit(random) * (i % 7 == 0 ? 1e-6 : 1.0);
        std::to_chars_result end{};
        switch (i % 5) {
            case 0:
                end = std::to_chars(buffer, buffer + sizeof buffer, value);
                break;
            case 1:
                end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 17);
                break;
            case 2:
                end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::scientific, 1 + static_cast<int>(i % 19));
                break;
            case 3:
                end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                    1 + static_cast<int>(i % 25));
                break;
            default:
                end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 1 + static_cast<int>(i % 8));
                break;
        }
        const std::string token(buffer, end.ptr);
        double read = 0.0;
        ASSERT_EQ(parseProbabilityToken(token, read), TokenValue::number) << token;
        expected.push_back(read);
        text += (i % 11 == 0 ? "+" : "") + token;
        text += blanks[random() % 7];
    }
    ASSERT_GT(text.size(), std::size_t{3} << 20);
    testing::ScratchDir dir;
    testing::writeFile(dir.path() / "p.txt", text);
    const ProbabilityInput input =
        readIntersectionProbabilities(n, m, (dir.path() / "p.txt").string());
    ASSERT_TRUE(input.ok()) << input.error;
    ASSERT_EQ(input.values.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(testing::sameBits(input.values[i], expected[i])) << i;
    }
    const ProbabilityInput inMemory = parseIntersectionProbabilities(text, n, m, "p.txt");
    ASSERT_TRUE(inMemory.ok()) << inMemory.error;
    EXPECT_TRUE(testing::sameBits(inMemory.values, expected));
}

TEST(ProbabilityFile, NamesTheLineOfABadTokenAfterManyPieces) {
    // A bad token well after the first piece: the line count carries over
    // the ends of the pieces.
    const std::int32_t n = 160, m = 3;
    const auto count = static_cast<std::size_t>(intersectionCount(n, m));
    std::string text;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        text += i == 300000 ? "0.5x" : "0.123456789";
        text += i % 3 == 2 ? "\r\n" : " ";
    }
    testing::ScratchDir dir;
    testing::writeFile(dir.path() / "p.txt", text);
    const ProbabilityInput input =
        readIntersectionProbabilities(n, m, (dir.path() / "p.txt").string());
    ASSERT_FALSE(input.ok());
    EXPECT_NE(input.error.find("line 100001, number 300001 of 682800"), std::string::npos)
        << input.error;
    EXPECT_NE(input.error.find("\"0.5x\" is not a number"), std::string::npos) << input.error;
}

TEST(ProbabilityFile, RefusesAWordLongerThanAnyNumberWithoutHoldingItAll) {
    // A file without white space arrives in pieces; the reader gives up once
    // the word passes a mebibyte instead of growing it without end.
    const std::string piece(std::size_t{1} << 19, '1');
    const std::vector<std::string_view> pieces(5, piece);
    const ProbabilityInput input = parseIntersectionProbabilityPieces(pieces, 4, 2, "prob.txt");
    EXPECT_EQ(input.error,
              "\"prob.txt\", line 1, number 1 of 10 (the probability of event 1): a word of more "
              "than 1048576 characters is not a number");
    // The same text in one piece gives the same message.
    EXPECT_EQ(
        parseIntersectionProbabilities(std::string(5 * piece.size(), '1'), 4, 2, "prob.txt").error,
        input.error);
}

TEST(ProbabilityFile, RefusesAMissingFileAndADirectory) {
    testing::ScratchDir dir;
    const std::string missing = (dir.path() / "none.txt").string();
    EXPECT_EQ(readIntersectionProbabilities(4, 2, missing).error,
              "cannot open \"" + missing + "\": No such file or directory");
    const std::string folder = dir.path().string();
    const ProbabilityInput input = readIntersectionProbabilities(4, 2, folder);
    EXPECT_FALSE(input.ok());
    EXPECT_NE(input.error.find("Is a directory"), std::string::npos) << input.error;
}

}  // namespace
}  // namespace unionbound
