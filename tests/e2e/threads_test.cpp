// The real program with one thread and with more: the same report, console
// output and CSV file, byte for byte apart from the running times, whether
// the count comes from --threads or from UNIONBOUND_THREADS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

// What a batch run with --compare and --csv writes in `dir` on its prob.txt
// (n = 200, m = 3), running times masked, with UNIONBOUND_THREADS set to
// `variable` (unset for null).
std::string runWith(const std::filesystem::path& dir, std::vector<std::string> words,
                    const char* variable) {
    variable != nullptr ? setenv("UNIONBOUND_THREADS", variable, 1)
                        : unsetenv("UNIONBOUND_THREADS");
    words.insert(words.begin(), {"-n", "200", "-m", "3", "--compare", "--csv", "passes.csv"});
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, words, "", dir);
    unsetenv("UNIONBOUND_THREADS");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::string csv = std::regex_replace(readFile(dir / "passes.csv"),
                                               std::regex(R"(,[0-9.]+,([01])\n)"), ",<s>,$1\n");
    return run.err + maskConsoleTimes(run.out) + maskReportTimes(readFile(dir / "result.txt")) +
           csv;
}

TEST(Threads, ARunWithOneThreadGivesTheSameBytesAsWithMore) {
    // 1 333 500 probabilities: many blocks of the reader, and a walk that
    // the two threads share.
    ScratchDir dir;
    ASSERT_EQ(runProgram(PROBGEN_PROGRAM,
                         {"-n", "200", "-m", "3", "--mixture", "3", "--output", "prob.txt"}, "",
                         dir.path())
                  .exitStatus,
              0);
    const std::string alone = runWith(dir.path(), {"--threads", "1"}, nullptr);
    ASSERT_NE(alone.find("Smallest upper bound"), std::string::npos) << alone;
    ASSERT_NE(alone.find("\n3,66,"), std::string::npos) << "the CSV file is there";
    const struct {
        std::vector<std::string> words;
        const char* variable;
    } runs[] = {{{"--threads", "2"}, nullptr},
                {{"--threads=3"}, nullptr},
                {{}, "1"},
                {{}, "2"},
                {{"--threads", "2"}, "many"}};  // the option wins over a bad variable
    for (const auto& r : runs) {
        EXPECT_EQ(runWith(dir.path(), r.words, r.variable), alone)
            << (r.words.empty() ? "" : r.words.back()) << " " << (r.variable ? r.variable : "");
    }
}

TEST(Threads, ABadVariableIsAUsageErrorBeforeAnyFileIsTouched) {
    ScratchDir dir;
    setenv("UNIONBOUND_THREADS", "0", 1);
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3"}, "", dir.path());
    unsetenv("UNIONBOUND_THREADS");
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err.rfind("error: UNIONBOUND_THREADS (the number of threads) must be a whole "
                            "number from 1 to 256, not \"0\"\nUsage: unionbound",
                            0),
              0u)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace unionbound::testing
