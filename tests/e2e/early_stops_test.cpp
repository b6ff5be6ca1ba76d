// Runs that end their methods early: at the time limit (--time-limit), where
// the run goes on with what the methods found, and by Ctrl-C during the
// sharpest bounds, where the run shows what it has and ends as a stopped run.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <regex>
#include <thread>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

namespace fs = std::filesystem;

const std::string kEarlierReport = "n=10, m=3, m_k=3\nthe earlier run's report\n";

// probgen's seeded mixture in `dir`/prob.txt; the true probability of the
// union it prints.
double mixture(const ScratchDir& dir, const std::vector<std::string>& words) {
    const ProgramRun made = runProgram(PROBGEN_PROGRAM, words, "", dir.path());
    EXPECT_EQ(made.exitStatus, 0) << made.err;
    return printedNumber(made.out, "robability of the union: ");
}

// The value of each sharpest line that carries `stopped` after it, in
// order; not-a-number for a side that says "none proven (stopped …".
std::vector<double> stoppedSharpestValues(const std::string& out, const std::string& stopped) {
    const std::regex line("Sharpest (upper|lower) bound: (\\S+|none proven) \\(" + stopped +
                          "[:)]");
    std::vector<double> values;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
         ++it) {
        values.push_back((*it)[2] == "none proven" ? std::nan("") : std::stod((*it)[2]));
    }
    return values;
}

TEST(EarlyStop, TheTimeLimitStopsThePassesTheLinesSaySoAndTheEarlierReportStays) {
    const ScratchDir dir;
    mixture(dir, {"-n", "10", "-m", "3", "--mixture", "5"});
    writeFile(dir.path() / "result.txt", kEarlierReport);
    // One thread: the first pass is not handed out before the limit is seen.
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM,
                   {"-n", "10", "-m", "3", "--exact", "--time-limit", "0", "--threads", "1",
                    "--csv", "passes.csv", "--json", "run.json"},
                   "", dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out,
              "Exact upper bound: none (stopped at the time limit)\n"
              "Exact lower bound: none (stopped at the time limit)\n");
    EXPECT_EQ(run.err,
              "note: the structured passes stopped at the time limit before the first: the "
              "structured bound is not computed, and \"result.txt\" is not written\n");
    EXPECT_EQ(readFile(dir.path() / "result.txt"), kEarlierReport);
    EXPECT_EQ(readFile(dir.path() / "passes.csv"),
              "l,q,bound,seconds,best,exact_upper,exact_lower\n");
    const std::string json = readFile(dir.path() / "run.json");
    const std::regex stopped("\"stop\": \"time_limit\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(json.begin(), json.end(), stopped),
                            std::sregex_iterator()),
              2)
        << json;
}

TEST(EarlyStop, TheTimeLimitEndsTheSharpestBoundsWithProvenBoundsThatHoldTheTruth) {
    const ScratchDir dir;
    const double truth = mixture(dir, {"-n", "10", "-m", "3", "--mixture", "5", "--density", "1"});
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3", "--sharpest", "--time-limit", "0"},
                   "", dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::vector<double> sides = stoppedSharpestValues(run.out, "stopped at the time limit");
    ASSERT_EQ(sides.size(), 2u) << run.out;
    EXPECT_FALSE(truth > sides[0]) << run.out;  // a side without a value holds anything
    EXPECT_FALSE(truth < sides[1]) << run.out;
}

TEST(EarlyStop, ASecondOnTwentyClusteredEventsGivesTwoProvenSharpestBoundsThatHoldTheTruth) {
    const ScratchDir dir;
    const double truth = mixture(dir, {"-n", "20", "-m", "3", "--clustered", "1"});
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "20", "-m", "3", "--sharpest", "--time-limit", "1"},
                   "", dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    // Stopped at the limit or done by then, each side has a proven value.
    const std::regex line("Sharpest (upper|lower) bound: (\\S+)");
    std::vector<std::string> sides;
    for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), line);
         it != std::sregex_iterator(); ++it) {
        sides.push_back((*it)[2]);
    }
    ASSERT_EQ(sides.size(), 2u) << run.out;
    ASSERT_NE(sides[0], "none") << run.out;
    ASSERT_NE(sides[1], "none") << run.out;
    EXPECT_GE(std::stod(sides[0]), truth) << run.out;
    EXPECT_LE(std::stod(sides[1]), truth) << run.out;
}

TEST(EarlyStop, CtrlCDuringTheSharpestBoundsShowsTheirBestSoFarAndEndsAsAStoppedRun) {
    const ScratchDir dir;
    // Dense data of 24 events: the sharpest bounds take far longer than the
    // second the run is given before the interrupt, the reading far less.
    const double truth = mixture(dir, {"-n", "24", "-m", "3", "--mixture", "5", "--density", "1"});
    writeFile(dir.path() / "result.txt", kEarlierReport);
    const std::set<std::string> before = namesIn(dir.path());
    StartedProgram program(UNIONBOUND_PROGRAM,
                           {"-n", "24", "-m", "3", "--sharpest", "--csv", "passes.csv"},
                           dir.path());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    program.signal(SIGINT);
    const ProgramRun run = program.finish("", std::chrono::seconds(120));

    EXPECT_EQ(run.exitStatus, 128 + SIGINT) << run.err;
    const std::vector<double> sides = stoppedSharpestValues(run.out, "stopped by an interrupt");
    ASSERT_EQ(sides.size(), 2u) << run.out;
    EXPECT_FALSE(truth > sides[0]) << run.out;
    EXPECT_FALSE(truth < sides[1]) << run.out;
    EXPECT_EQ(readFile(dir.path() / "result.txt"), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), before) << "no new file may be left beside the report";
}

}  // namespace
}  // namespace unionbound::testing
