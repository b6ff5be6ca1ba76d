// Data that no distribution has, and data whose bounds rounding crosses: a
// batch run refuses the first, the dialogue warns of them on standard error
// and keeps its standard output; --compare never names a floating-point
// value that a more certain bound contradicts.
#include <gtest/gtest.h>

#include <string>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

const char* const kPrompts =
    "Number of events. n=Maximum order of the intersections (must be an odd number). m=";
const char* const kWait = "Press RETURN to continue";

// n = 6, m = 3, every intersection of probability `p`, but P(1∩2) = `pair`.
std::string sixEvents(const char* p, const char* pair) {
    std::string text;
    for (int k = 0; k < 6 + 15 + 20; ++k) {
        text += std::string(k == 6 ? pair : p) + "\n";
    }
    return text;
}

TEST(ImpossibleData, AreRefusedInBatchModeAndWarnedOfAtTheConsole) {
    ScratchDir dir;
    writeFile(dir.path() / "prob.txt", sixEvents("0.1", "0.2"));
    writeFile(dir.path() / "result.txt", "earlier report\n");
    const std::string broken =
        "the probabilities of \"prob.txt\" are inconsistent: P(1∩2) = 0.2 (number 7) is larger "
        "than P(1) = 0.1 (number 1); no joint distribution of the events has them";

    const ProgramRun batch = runProgram(UNIONBOUND_PROGRAM, {"-n", "6", "-m", "3"}, "", dir.path());
    EXPECT_EQ(batch.exitStatus, 1);
    EXPECT_EQ(batch.out, "");
    EXPECT_EQ(batch.err, "error: " + broken + "\n");
    EXPECT_EQ(readFile(dir.path() / "result.txt"), "earlier report\n");

    // The dialogue's standard output is what it always was (the differential
    // test compares such runs with the reference pipeline byte for byte).
    const ProgramRun console = runProgram(UNIONBOUND_PROGRAM, {}, "6\n3\n\n\n", dir.path());
    EXPECT_EQ(console.exitStatus, 0);
    EXPECT_EQ(console.err, "warning: " + broken + "; the bounds are computed all the same\n");
    EXPECT_EQ(console.out.rfind(kPrompts + std::string("Upper bound on the probability"), 0), 0u);
    EXPECT_EQ(console.out.substr(console.out.size() - std::string(kWait).size()), kWait);
}

TEST(IdenticalEvents, GetNoSmallestUpperBoundBelowTheirProbability) {
    // Six copies of one event of probability 0.3: the aggregation's value
    // comes out a hair below 0.3, under the classical lower bounds.
    ScratchDir dir;
    writeFile(dir.path() / "prob.txt", sixEvents("0.3", "0.3"));
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "6", "-m", "3", "--compare"}, "", dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_GE(printedNumber(run.out, "Smallest upper bound:"), 0.3) << run.out;
    EXPECT_LE(printedNumber(run.out, "Largest lower bound:"),
              printedNumber(run.out, "Smallest upper bound:"));
    EXPECT_NE(run.out.find("\nNote: the aggregation upper bound 0.299999999999999 lies below "),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace unionbound::testing
