#include "app/prob_reader.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program_runner.hpp"
#include "moments/subsets.hpp"
#include "reference/random_values.hpp"

namespace unionbound {
namespace {

// n = 4, m = 2: the four single events, then the six pairs.
const std::string kFour = "0.5 0.4 0.3 0.2\n0.1 0.1 0.1 0.05 0.05 0.05\n";
const RealVector kFourValues = {0.5, 0.4, 0.3, 0.2, 0.1, 0.1, 0.1, 0.05, 0.05, 0.05};

ProbabilityInput parse(const std::string& text, std::int32_t n = 4, std::int32_t m = 2) {
    return parseIntersectionProbabilities(text, n, m, "prob.txt");
}

// Writes `text` to the file `name` in `folder` and gives its path.
std::filesystem::path fileIn(const testing::ScratchDir& folder, const std::string& name,
                             const std::string& text) {
    testing::writeFile(folder.path() / name, text);
    return folder.path() / name;
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

TEST(ParseIntersectionProbabilities, ReadsTheExpectedCountInFileOrder) {
    const ProbabilityInput input = parse(kFour);
    EXPECT_EQ(input.error, "");
    EXPECT_EQ(input.values, kFourValues);
}

TEST(ParseIntersectionProbabilities, ReadsCrlfLineEndsLikeLineFeeds) {
    EXPECT_EQ(parse("0.5 0.4 0.3 0.2\r\n0.1 0.1 0.1 0.05 0.05 0.05\r\n").values, kFourValues);
}

TEST(ParseIntersectionProbabilities, LeavesWhatFollowsTheExpectedCountUnread) {
    EXPECT_EQ(parse(kFour + "0.7 0.8 and words\n").values, kFourValues);
}

TEST(ParseIntersectionProbabilities, SaysAfterHowManyNumbersAShortFileEnds) {
    const ProbabilityInput input = parse("0.5 0.4 0.3 0.2\n0.1 0.1 0.1 0.05");
    EXPECT_EQ(input.error, "\"prob.txt\" ends after 8 of the 10 numbers expected for n=4, m=2");
    EXPECT_TRUE(input.values.empty());
}

TEST(ParseIntersectionProbabilities, RefusesAnEmptyFile) {
    EXPECT_EQ(parse("").error, "\"prob.txt\" ends after 0 of the 10 numbers expected for n=4, m=2");
}

TEST(ParseIntersectionProbabilities, NamesTheLineAndTheIntersectionOfAWordThatIsNoNumber) {
    EXPECT_EQ(parse("0.5 0.4 0.3 0.2\n0.1 nan 0.1 0.05 0.05 0.05\n").error,
              "\"prob.txt\", line 2, number 6 of 10 (the probability of the intersection of "
              "events 1, 3): \"nan\" is not a number");
    EXPECT_EQ(parse("0.5 inf").error,
              "\"prob.txt\", line 1, number 2 of 10 (the probability of event 2): \"inf\" is not "
              "a number");
}

TEST(ParseIntersectionProbabilities, RefusesANumberThatStreamExtractionWouldSplit) {
    EXPECT_NE(parse("0.5.4 0.3").error.find("\"0.5.4\" is not a number"), std::string::npos);
    EXPECT_NE(parse("0,5 0.4").error.find("\"0,5\" is not a number"), std::string::npos);
    EXPECT_NE(parse("0x1p-1 0.4").error.find("is not a number"), std::string::npos);
}

TEST(ParseIntersectionProbabilities, RefusesAnOverflowingNumberAsNotFinite) {
    EXPECT_EQ(parse("1e999").error,
              "\"prob.txt\", line 1, number 1 of 10 (the probability of event 1): \"1e999\" is "
              "not a finite number");
}

TEST(ParseIntersectionProbabilities, ShowsControlBytesAndQuotesOfABadWordAsHex) {
    const ProbabilityInput input = parse(std::string("0.5 0.4\0\"\x01\xff 0.3", 15));
    EXPECT_EQ(input.error,
              "\"prob.txt\", line 1, number 2 of 10 (the probability of event 2): "
              "\"0.4\\x00\\x22\\x01\\xFF\" is not a number");
    EXPECT_EQ(input.error.find('\n'), std::string::npos);
}

TEST(ParseIntersectionProbabilities, CutsAVeryLongBadWordInItsMessage) {
    const ProbabilityInput input = parse(std::string(5000, 'x'));
    EXPECT_NE(input.error.find("\"" + std::string(40, 'x') + "...\" is not a number"),
              std::string::npos)
        << input.error;
}

TEST(ParseIntersectionProbabilityPieces, GivesTheValuesOfTheWholeTextWhenANumberIsCut) {
    const std::vector<std::string_view> pieces = {"0.5 0.", "4 0.3 0.2\n0.1 0.1 0.1 0.0", "5", "",
                                                  " 0.05 0.05\n"};
    EXPECT_EQ(parseIntersectionProbabilityPieces(pieces, 4, 2, "prob.txt").values, kFourValues);
}

TEST(ParseIntersectionProbabilityPieces, CountsLinesAcrossPiecesForItsMessages) {
    const std::string text = "0.5\r\n0.4\r\n\r\n0.3 0.2\n0.1 0.1 1.5";
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.push_back(std::string_view(text).substr(i, 1));
    }
    const ProbabilityInput whole = parse(text);
    EXPECT_NE(whole.error.find("line 5, number 7 of 10"), std::string::npos) << whole.error;
    EXPECT_EQ(parseIntersectionProbabilityPieces(bytes, 4, 2, "prob.txt").error, whole.error);
}

TEST(ParseIntersectionProbabilityPieces, JudgesAWordCutByThePieceThatEndsTheText) {
    EXPECT_EQ(parseIntersectionProbabilityPieces(
                  {"0.5 0.4 0.3 0.2\n", "0.1 0.1 0.1 0.05 0.05 0.0", "5x"}, 4, 2, "prob.txt")
                  .error,
              "\"prob.txt\", line 2, number 10 of 10 (the probability of the intersection of "
              "events 3, 4): \"0.05x\" is not a number");
}

TEST(ReadIntersectionProbabilities, ReadsANumberCutByTheReadersOneMebibytePieces) {
    testing::ScratchDir folder;
    // The padding puts "0.25" across the end of the first 1 MiB piece.
    const std::size_t piece = std::size_t{1} << 20;
    std::string text(piece - 2, ' ');
    text += "0.25 ";
    text += std::string(piece, '\n');
    text += "0.5 0.4 0.3 0.2 0.1 0.1 0.1 0.05 1.5";
    const ProbabilityInput input =
        readIntersectionProbabilities(4, 2, fileIn(folder, "prob.txt", text).string());
    // The tenth number is refused, with the line counted through both pieces.
    EXPECT_EQ(input.error, "\"" + (folder.path() / "prob.txt").string() +
                               "\", line 1048577, number 10 of 10 (the probability of the "
                               "intersection of events 3, 4): \"1.5\" is not a probability: it "
                               "lies outside [0, 1]");
    text.back() = '5';
    text.pop_back();
    text.pop_back();
    text.pop_back();
    text += "0.05";
    const ProbabilityInput fixed =
        readIntersectionProbabilities(4, 2, fileIn(folder, "prob.txt", text).string());
    EXPECT_EQ(fixed.error, "");
    EXPECT_EQ(fixed.values, (RealVector{0.25, 0.5, 0.4, 0.3, 0.2, 0.1, 0.1, 0.1, 0.05, 0.05}));
}

TEST(ReadIntersectionProbabilities, SaysWhyAMissingFileCannotBeOpened) {
    testing::ScratchDir folder;
    const std::string path = (folder.path() / "prob.txt").string();
    EXPECT_EQ(readIntersectionProbabilities(4, 2, path).error,
              "cannot open \"" + path + "\": No such file or directory");
}

TEST(ReadIntersectionProbabilities, SaysThatAFolderCannotBeRead) {
    testing::ScratchDir folder;
    std::filesystem::create_directory(folder.path() / "prob.txt");
    const std::string path = (folder.path() / "prob.txt").string();
    const ProbabilityInput input = readIntersectionProbabilities(4, 2, path);
    EXPECT_EQ(input.error, "cannot read \"" + path + "\": Is a directory");
    EXPECT_TRUE(input.values.empty());
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

}  // namespace
}  // namespace unionbound
