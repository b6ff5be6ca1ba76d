// The console dialogue of the real program: answers typed at its prompts,
// refusals before any file is touched.
#include <gtest/gtest.h>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

const std::filesystem::path kGolden = UNIONBOUND_TEST_DATA "/golden";
constexpr const char* kEarlierReport = "an earlier report\n";

class ConsoleRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy_file(kGolden / "n9-m3" / "prob.txt", dir.path() / "prob.txt");
        writeFile(dir.path() / "result.txt", kEarlierReport);
    }
    ProgramRun type(const std::string& answers) {
        return runProgram(UNIONBOUND_PROGRAM, {}, answers, dir.path());
    }
    std::string report() { return readFile(dir.path() / "result.txt"); }
    ScratchDir dir;
};

TEST_F(ConsoleRun, TakesBothNumbersOnOneLine) {
    const ProgramRun run = type("9 3\n\n");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(maskReportTimes(report()),
              maskReportTimes(readFile(kGolden / "n9-m3" / "expected-result.txt")));
}

TEST_F(ConsoleRun, RefusesBadAnswersBeforeTouchingAnyFile) {
    const struct {
        const char* typed;
        const char* message;
    } cases[] = {
        {"", "error: the input ended before n (the number of events) was typed\n"},
        {"nine\n3\n", "error: n (the number of events) must be a whole number, not \"nine\"\n"},
        {"9\n4\n",
         "error: m=4 is even: the maximum order m must be an odd number (an even m "
         "gives no upper bound)\n"},
        {"9\n1\n",
         "error: m=1 is too small: the maximum order m must be an odd number of at "
         "least 3\n"},
        {"9\n5\n",
         "error: m=5 is larger than n/2=4: every subsequence needs at least m events, "
         "so no pass could run\n"},
        {"-9\n3\n",
         "error: n=-9 is too small: at least 6 events are needed (two subsequences "
         "of at least 3 events each)\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = type(c.typed);
        EXPECT_FALSE(run.timedOut) << c.typed;
        EXPECT_EQ(run.exitStatus, 1) << c.typed;
        EXPECT_EQ(run.err, c.message) << c.typed;
        EXPECT_EQ(report(), kEarlierReport) << c.typed;
    }
}

TEST_F(ConsoleRun, RefusesAShortProbabilityFileAndKeepsTheEarlierReport) {
    writeFile(dir.path() / "prob.txt", "0.1 0.2 0.3\n");
    const ProgramRun run = type("9\n3\n\n\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "error: \"prob.txt\" ends after 3 of the 129 numbers expected for n=9, m=3\n");
    EXPECT_EQ(report(), kEarlierReport);
    EXPECT_EQ(run.out,
              "Number of events. n=Maximum order of the intersections (must be an odd "
              "number). m=");
}

TEST_F(ConsoleRun, RefusesAMissingProbabilityFile) {
    std::filesystem::remove(dir.path() / "prob.txt");
    const ProgramRun run = type("9\n3\n\n\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "error: cannot open \"prob.txt\": No such file or directory\n");
    EXPECT_EQ(report(), kEarlierReport);
}

}  // namespace
}  // namespace unionbound::testing
