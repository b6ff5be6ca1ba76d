#include "app/prob_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace unionbound {
namespace {

// n = 4, m = 2: the four single events, then the six pairs.
const std::string kFour = "0.5 0.4 0.3 0.2\n0.1 0.1 0.1 0.05 0.05 0.05\n";
const RealVector kFourValues = {0.5, 0.4, 0.3, 0.2, 0.1, 0.1, 0.1, 0.05, 0.05, 0.05};

ProbabilityInput parse(const std::string& text, std::int32_t n = 4, std::int32_t m = 2) {
    return parseIntersectionProbabilities(text, n, m, "prob.txt");
}

// A folder of its own under the temporary folder, removed with its content.
class TempFolder {
  public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("unionbound-reader-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path file(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return path_ / name;
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

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

TEST(ParseIntersectionProbabilities, TakesTheNumberFormsOfStreamExtraction) {
    const ProbabilityInput input = parse(".5 +0.25 1e-3 2.5E-02 1. 0 1 1.0000000001 -1e-9 1e-400");
    ASSERT_EQ(input.error, "");
    EXPECT_EQ(input.values,
              (RealVector{0.5, 0.25, 1e-3, 2.5e-2, 1.0, 0, 1, 1.0000000001, -1e-9, 0}));
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

TEST(ParseIntersectionProbabilities, RefusesValuesOutsideTheUnitIntervalBeyondTheTolerance) {
    EXPECT_NE(parse("0.5 1.000000002").error.find("\"1.000000002\" is not a probability"),
              std::string::npos);
    EXPECT_NE(parse("-0.000000002").error.find("is not a probability: it lies outside [0, 1]"),
              std::string::npos);
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
    TempFolder folder;
    // The padding puts "0.25" across the end of the first 1 MiB piece.
    const std::size_t piece = std::size_t{1} << 20;
    std::string text(piece - 2, ' ');
    text += "0.25 ";
    text += std::string(piece, '\n');
    text += "0.5 0.4 0.3 0.2 0.1 0.1 0.1 0.05 1.5";
    const ProbabilityInput input =
        readIntersectionProbabilities(4, 2, folder.file("prob.txt", text).string());
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
        readIntersectionProbabilities(4, 2, folder.file("prob.txt", text).string());
    EXPECT_EQ(fixed.error, "");
    EXPECT_EQ(fixed.values, (RealVector{0.25, 0.5, 0.4, 0.3, 0.2, 0.1, 0.1, 0.1, 0.05, 0.05}));
}

TEST(ReadIntersectionProbabilities, SaysWhyAMissingFileCannotBeOpened) {
    TempFolder folder;
    const std::string path = (folder.path() / "prob.txt").string();
    EXPECT_EQ(readIntersectionProbabilities(4, 2, path).error,
              "cannot open \"" + path + "\": No such file or directory");
}

TEST(ReadIntersectionProbabilities, SaysThatAFolderCannotBeRead) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "prob.txt");
    const std::string path = (folder.path() / "prob.txt").string();
    const ProbabilityInput input = readIntersectionProbabilities(4, 2, path);
    EXPECT_EQ(input.error, "cannot read \"" + path + "\": Is a directory");
    EXPECT_TRUE(input.values.empty());
}

}  // namespace
}  // namespace unionbound
