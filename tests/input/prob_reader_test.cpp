#include "input/prob_reader.hpp"

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
#include "text/numbers.hpp"

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

TEST(ProbabilityFile, AcceptsAnyWhiteSpaceBetweenNumbers) {
    const RealVector expected = {0.1, 0.2, 0.3, 0.4, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06};
    for (const char* text :
         {"0.1 0.2 0.3 0.4 0.01 0.02 0.03 0.04 0.05 0.06",
          "0.1\t0.2\n0.3\r\n0.4\r\n\r\n0.01 \t 0.02\v0.03\f0.04\n\n0.05\n0.06\n",
          "\n\n   0.1 0.2 0.3 0.4\r\n0.01 0.02 0.03 0.04 0.05 0.06 0.9 garbage after"}) {
        const ProbabilityInput input = parse(text);
        ASSERT_TRUE(input.ok()) << input.message();
        EXPECT_EQ(input.value(), expected);
    }
}

TEST(ProbabilityFile, RefusesValuesOutsideTheUnitIntervalBeyondRounding) {
    const std::string rest = " 0.2 0.3 0.4 0.01 0.02 0.03 0.04 0.05 0.06";
    EXPECT_TRUE(parse("1.0000000005" + rest).ok());
    EXPECT_TRUE(parse("-0.0000000005" + rest).ok());
    EXPECT_EQ(parse("1.5" + rest).message(),
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
    EXPECT_EQ(input.message(),
              "\"prob.txt\", line 1, number 1 of 10 (the probability of event 1): a word of more "
              "than 1048576 characters is not a number");
    // The same text in one piece gives the same message.
    EXPECT_EQ(parseIntersectionProbabilities(std::string(5 * piece.size(), '1'), 4, 2, "prob.txt")
                  .message(),
              input.message());
}

TEST(ParseIntersectionProbabilities, ReadsTheExpectedCountInFileOrder) {
    const ProbabilityInput input = parse(kFour);
    EXPECT_EQ(input.message(), "");
    EXPECT_EQ(input.value(), kFourValues);
}

TEST(ParseIntersectionProbabilities, ReadsCrlfLineEndsLikeLineFeeds) {
    EXPECT_EQ(parse("0.5 0.4 0.3 0.2\r\n0.1 0.1 0.1 0.05 0.05 0.05\r\n").value(), kFourValues);
}

TEST(ParseIntersectionProbabilities, LeavesWhatFollowsTheExpectedCountUnread) {
    EXPECT_EQ(parse(kFour + "0.7 0.8 and words\n").value(), kFourValues);
}

TEST(ParseIntersectionProbabilities, SaysAfterHowManyNumbersAShortFileEnds) {
    const ProbabilityInput input = parse("0.5 0.4 0.3 0.2\n0.1 0.1 0.1 0.05");
    EXPECT_EQ(input.message(), "\"prob.txt\" ends after 8 of the 10 numbers expected for n=4, m=2");
    EXPECT_TRUE(input.value().empty());
}

TEST(ParseIntersectionProbabilities, RefusesAnEmptyFile) {
    EXPECT_EQ(parse("").message(),
              "\"prob.txt\" ends after 0 of the 10 numbers expected for n=4, m=2");
}

TEST(ParseIntersectionProbabilities, NamesTheLineAndTheIntersectionOfAWordThatIsNoNumber) {
    EXPECT_EQ(parse("0.5 0.4 0.3 0.2\n0.1 nan 0.1 0.05 0.05 0.05\n").message(),
              "\"prob.txt\", line 2, number 6 of 10 (the probability of the intersection of "
              "events 1, 3): \"nan\" is not a number");
    EXPECT_EQ(parse("0.5 inf").message(),
              "\"prob.txt\", line 1, number 2 of 10 (the probability of event 2): \"inf\" is not "
              "a number");
}

TEST(ParseIntersectionProbabilities, RefusesANumberThatStreamExtractionWouldSplit) {
    EXPECT_NE(parse("0.5.4 0.3").message().find("\"0.5.4\" is not a number"), std::string::npos);
    EXPECT_NE(parse("0,5 0.4").message().find("\"0,5\" is not a number"), std::string::npos);
    EXPECT_NE(parse("0x1p-1 0.4").message().find("is not a number"), std::string::npos);
}

TEST(ParseIntersectionProbabilities, RefusesAnOverflowingNumberAsNotFinite) {
    EXPECT_EQ(parse("1e999").message(),
              "\"prob.txt\", line 1, number 1 of 10 (the probability of event 1): \"1e999\" is "
              "not a finite number");
}

TEST(ParseIntersectionProbabilities, ShowsControlBytesAndQuotesOfABadWordAsHex) {
    const ProbabilityInput input = parse(std::string("0.5 0.4\0\"\x01\xff 0.3", 15));
    EXPECT_EQ(input.message(),
              "\"prob.txt\", line 1, number 2 of 10 (the probability of event 2): "
              "\"0.4\\x00\\x22\\x01\\xFF\" is not a number");
    EXPECT_EQ(input.message().find('\n'), std::string::npos);
}

TEST(ParseIntersectionProbabilities, CutsAVeryLongBadWordInItsMessage) {
    const ProbabilityInput input = parse(std::string(5000, 'x'));
    EXPECT_NE(input.message().find("\"" + std::string(40, 'x') + "...\" is not a number"),
              std::string::npos)
        << input.message();
}

TEST(ParseIntersectionProbabilityPieces, GivesTheValuesOfTheWholeTextWhenANumberIsCut) {
    const std::vector<std::string_view> pieces = {"0.5 0.", "4 0.3 0.2\n0.1 0.1 0.1 0.0", "5", "",
                                                  " 0.05 0.05\n"};
    EXPECT_EQ(parseIntersectionProbabilityPieces(pieces, 4, 2, "prob.txt").value(), kFourValues);
}

TEST(ParseIntersectionProbabilityPieces, CountsLinesAcrossPiecesForItsMessages) {
    const std::string text = "0.5\r\n0.4\r\n\r\n0.3 0.2\n0.1 0.1 1.5";
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.push_back(std::string_view(text).substr(i, 1));
    }
    const ProbabilityInput whole = parse(text);
    EXPECT_NE(whole.message().find("line 5, number 7 of 10"), std::string::npos) << whole.message();
    EXPECT_EQ(parseIntersectionProbabilityPieces(bytes, 4, 2, "prob.txt").message(),
              whole.message());
}

TEST(ParseIntersectionProbabilityPieces, JudgesAWordCutByThePieceThatEndsTheText) {
    EXPECT_EQ(parseIntersectionProbabilityPieces(
                  {"0.5 0.4 0.3 0.2\n", "0.1 0.1 0.1 0.05 0.05 0.0", "5x"}, 4, 2, "prob.txt")
                  .message(),
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
    EXPECT_EQ(input.message(), "\"" + (folder.path() / "prob.txt").string() +
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
    EXPECT_EQ(fixed.message(), "");
    EXPECT_EQ(fixed.value(), (RealVector{0.25, 0.5, 0.4, 0.3, 0.2, 0.1, 0.1, 0.1, 0.05, 0.05}));
}

TEST(ReadIntersectionProbabilities, SaysWhyAMissingFileCannotBeOpened) {
    testing::ScratchDir folder;
    const std::string path = (folder.path() / "prob.txt").string();
    EXPECT_EQ(readIntersectionProbabilities(4, 2, path).message(),
              "cannot open \"" + path + "\": No such file or directory");
}

TEST(ReadIntersectionProbabilities, SaysThatAFolderCannotBeRead) {
    testing::ScratchDir folder;
    std::filesystem::create_directory(folder.path() / "prob.txt");
    const std::string path = (folder.path() / "prob.txt").string();
    const ProbabilityInput input = readIntersectionProbabilities(4, 2, path);
    EXPECT_EQ(input.message(), "cannot read \"" + path + "\": Is a directory");
    EXPECT_TRUE(input.value().empty());
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
        const Parsed<double> read = parseDecimal(token);
        ASSERT_TRUE(read.ok()) << token;
        expected.push_back(read.value());
        text += (i % 11 == 0 ? "+" : "") + token;
        text += blanks[random() % 7];
    }
    ASSERT_GT(text.size(), std::size_t{3} << 20);
    testing::ScratchDir dir;
    testing::writeFile(dir.path() / "p.txt", text);
    const ProbabilityInput input =
        readIntersectionProbabilities(n, m, (dir.path() / "p.txt").string());
    ASSERT_TRUE(input.ok()) << input.message();
    ASSERT_EQ(input.value().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(testing::sameBits(input.value()[i], expected[i])) << i;
    }
    const ProbabilityInput inMemory = parseIntersectionProbabilities(text, n, m, "p.txt");
    ASSERT_TRUE(inMemory.ok()) << inMemory.message();
    EXPECT_TRUE(testing::sameBits(inMemory.value(), expected));
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
    EXPECT_NE(input.message().find("line 100001, number 300001 of 682800"), std::string::npos)
        << input.message();
    EXPECT_NE(input.message().find("\"0.5x\" is not a number"), std::string::npos)
        << input.message();
}

}  // namespace
}  // namespace unionbound
