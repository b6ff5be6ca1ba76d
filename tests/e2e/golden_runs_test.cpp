// The three reference runs, reproduced byte for byte (running times masked).
#include <gtest/gtest.h>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

const std::filesystem::path kGolden = UNIONBOUND_TEST_DATA "/golden";

class GoldenRun : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenRun, ReproducesReportAndConsoleByteForByte) {
    const std::filesystem::path case_ = kGolden / GetParam();
    ScratchDir dir;
    std::filesystem::copy_file(case_ / "prob.txt", dir.path() / "prob.txt");
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {}, readFile(case_ / "stdin.txt"), dir.path());
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(maskReportTimes(readFile(dir.path() / "result.txt")),
              maskReportTimes(readFile(case_ / "expected-result.txt")));
    EXPECT_EQ(maskConsoleTimes(run.out), maskConsoleTimes(readFile(case_ / "expected-stdout.txt")));
}

INSTANTIATE_TEST_SUITE_P(ReferenceRuns, GoldenRun, ::testing::Values("n9-m3", "n10-m3", "n13-m5"));

TEST(TimeMasking, KeepsTheNotationOfEveryRunningTime) {
    // A first block in general notation and a later one in fixed notation
    // must not mask to the same text.
    EXPECT_EQ(maskReportTimes("Running time: 0.015\n"), "Running time: <general>\n");
    EXPECT_EQ(maskReportTimes("Running time: 0\n"), "Running time: <general>\n");
    EXPECT_EQ(maskReportTimes("Running time: 0.015000000000000\n"), "Running time: <fixed15>\n");
    EXPECT_EQ(maskConsoleTimes("Running time: \n0.015\n"), "Running time: \n<fixed3>\n");
    EXPECT_NE(maskConsoleTimes("Running time: \n0.0150\n"), "Running time: \n<fixed3>\n");
}

}  // namespace
}  // namespace unionbound::testing
