// The options of the real programs: batch runs against console runs, the
// CSV against the report, usage errors, and probgen's files fed to the
// bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

const std::filesystem::path kGolden = UNIONBOUND_TEST_DATA "/golden";

const char* const kPrompts =
    "Number of events. n=Maximum order of the intersections (must be an odd number). m=";
const char* const kWait = "Press RETURN to continue";

// The n and m typed in a golden case's stdin.txt.
std::vector<std::string> typedAnswers(const std::filesystem::path& caseDir) {
    std::istringstream typed(readFile(caseDir / "stdin.txt"));
    std::string n, m;
    typed >> n >> m;
    return {n, m};
}

class BatchRun : public ::testing::TestWithParam<const char*> {};

TEST_P(BatchRun, PrintsTheConsoleSummaryWithoutPromptsOrWaitAndTheSameReport) {
    const std::filesystem::path case_ = kGolden / GetParam();
    const auto [n, m] = [&] {
        const auto answers = typedAnswers(case_);
        return std::pair{answers[0], answers[1]};
    }();
    ScratchDir console, batch;
    std::filesystem::copy_file(case_ / "prob.txt", console.path() / "prob.txt");
    std::filesystem::copy_file(case_ / "prob.txt", batch.path() / "prob.txt");
    const ProgramRun asked =
        runProgram(UNIONBOUND_PROGRAM, {}, readFile(case_ / "stdin.txt"), console.path());
    // Nothing typed: a batch run must not read its standard input.
    const ProgramRun batched = runProgram(UNIONBOUND_PROGRAM, {"-n", n, "-m", m}, "", batch.path());
    ASSERT_FALSE(batched.timedOut);
    EXPECT_EQ(batched.exitStatus, 0) << batched.err;
    EXPECT_EQ(batched.err, "");
    EXPECT_EQ(kPrompts + maskConsoleTimes(batched.out) + kWait, maskConsoleTimes(asked.out));
    EXPECT_EQ(maskReportTimes(readFile(batch.path() / "result.txt")),
              maskReportTimes(readFile(console.path() / "result.txt")));
    EXPECT_EQ(maskReportTimes(readFile(batch.path() / "result.txt")),
              maskReportTimes(readFile(case_ / "expected-result.txt")));
}

TEST_P(BatchRun, WritesACsvThatReadsBackToTheReportBounds) {
    const std::filesystem::path case_ = kGolden / GetParam();
    const auto answers = typedAnswers(case_);
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "in");
    std::filesystem::copy_file(case_ / "prob.txt", dir.path() / "in" / "p.txt");
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM,
                                      {"-n", answers[0], "-m", answers[1], "--input", "in/p.txt",
                                       "--report", "r.txt", "--csv", "passes.csv"},
                                      "", dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "result.txt"));

    // The report's bounds and times, as written: the first block in general
    // notation, later ones in fixed notation with 15 decimals.
    const std::string report = readFile(dir.path() / "r.txt");
    const std::regex block(
        R"(l=(\d+)\nUpper bound on the probability of the union:\n(\S+)\nRunning time: (\S+)\n)");
    std::vector<std::smatch> blocks;
    for (auto it = std::sregex_iterator(report.begin(), report.end(), block);
         it != std::sregex_iterator(); ++it) {
        blocks.push_back(*it);
    }
    std::istringstream csv(readFile(dir.path() / "passes.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "l,q,bound,seconds,best");
    std::size_t row = 0;
    int bestRows = 0;
    const std::regex summaryL(R"(The length of the subsequences: l=(\d+)\n)");
    std::smatch bestL;
    ASSERT_TRUE(std::regex_search(run.out, bestL, summaryL));
    const int n = std::stoi(answers[0]);
    while (std::getline(csv, line)) {
        ASSERT_LT(row, blocks.size());
        int l = 0, q = 0, best = -1;
        double bound = 0.0, seconds = 0.0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%lf,%lf,%d", &l, &q, &bound, &seconds, &best), 5)
            << line;
        EXPECT_EQ(std::to_string(l), blocks[row][1].str());
        EXPECT_EQ(q, n / l);
        char shown[64];
        std::snprintf(shown, sizeof shown, row == 0 ? "%.15g" : "%.15f", bound);
        EXPECT_EQ(shown, blocks[row][2].str()) << "pass l=" << l;
        std::snprintf(shown, sizeof shown, row == 0 ? "%.15g" : "%.15f", seconds);
        EXPECT_EQ(shown, blocks[row][3].str()) << "pass l=" << l;
        EXPECT_EQ(best, std::to_string(l) == bestL[1].str() ? 1 : 0);
        bestRows += best;
        ++row;
    }
    EXPECT_EQ(row, blocks.size());
    EXPECT_EQ(bestRows, 1);
}

INSTANTIATE_TEST_SUITE_P(ReferenceRuns, BatchRun, ::testing::Values("n9-m3", "n10-m3", "n13-m5"));

TEST(BatchOptions, WorkAtTheConsoleToo) {
    const std::filesystem::path case_ = kGolden / "n10-m3";
    ScratchDir dir;
    std::filesystem::copy_file(case_ / "prob.txt", dir.path() / "in.txt");
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"--input", "in.txt", "--report", "out.txt", "--compare"},
                   readFile(case_ / "stdin.txt"), dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(maskReportTimes(readFile(dir.path() / "out.txt")),
              maskReportTimes(readFile(case_ / "expected-result.txt")));
    // The summary, then the comparison, then the wait.
    const std::string expectedStart = maskConsoleTimes(readFile(case_ / "expected-stdout.txt"));
    const std::string summary =
        expectedStart.substr(0, expectedStart.size() - std::string(kWait).size());
    EXPECT_EQ(maskConsoleTimes(run.out).substr(0, summary.size()), summary);
    EXPECT_NE(run.out.find("Other upper bounds from the same probabilities:\n"), std::string::npos);
    EXPECT_EQ(run.out.substr(run.out.size() - std::string(kWait).size()), kWait);
}

TEST(BatchOptions, ShowTheClassicalBoundsOfTheExampleInput) {
    // n = 10, m = 3 golden input: S1 = 1.71…, so Boole is 1; the sharp bound
    // 0.904311949629376 is below the aggregation bound 0.927105046899543.
    ScratchDir dir;
    std::filesystem::copy_file(kGolden / "n10-m3" / "prob.txt", dir.path() / "prob.txt");
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3", "--compare"}, "", dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string beside = "(aggregation, l=4: 0.927105046899543)\n";
    EXPECT_NE(
        run.out.find("  Boole        min(1, S1)                     1                   " + beside),
        std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("  sharp        best from S1 ... S3 alone      0.904311949629376   " + beside),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Smallest upper bound: 0.904311949629376 (sharp)\n"), std::string::npos);
}

TEST(BatchOptions, RefuseUsageErrorsWithStatusTwoBeforeTouchingAnyFile) {
    ScratchDir dir;
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "--bogus"}, "", dir.path());
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "error: unknown option \"--bogus\"\n"
              "Usage: unionbound [-n N -m M] [--input PATH] [--report PATH] [--csv PATH] "
              "[--json PATH] [--compare] [--exact] [--sharpest] [--threads N] [--time-limit "
              "SECONDS]\nRun \"unionbound --help\" for more information.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(BatchOptions, RefuseBadDataWithStatusOne) {
    ScratchDir dir;
    const ProgramRun missing =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3"}, "", dir.path());
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.err, "error: cannot open \"prob.txt\": No such file or directory\n");
    std::filesystem::copy_file(kGolden / "n10-m3" / "prob.txt", dir.path() / "prob.txt");
    const ProgramRun odd = runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "6"}, "", dir.path());
    EXPECT_EQ(odd.exitStatus, 1);
    EXPECT_EQ(odd.err,
              "error: m=6 is even: the maximum order m must be an odd number (an even m gives no "
              "upper bound)\n");
    const ProgramRun csv = runProgram(
        UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3", "--csv", "no/such/dir/p.csv"}, "", dir.path());
    EXPECT_EQ(csv.exitStatus, 1);
    EXPECT_EQ(
        csv.err,
        "error: cannot write the CSV file \"no/such/dir/p.csv\": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "result.txt"));
}

TEST(BatchOptions, PrintHelpAndVersionAndShowNoProgressWhenNotATerminal) {
    ScratchDir dir;
    const ProgramRun help = runProgram(UNIONBOUND_PROGRAM, {"--help"}, "", dir.path());
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("Usage: unionbound", 0), 0u);
    EXPECT_NE(help.out.find("unionbound -n 10 -m 3"), std::string::npos);
    const ProgramRun version = runProgram(UNIONBOUND_PROGRAM, {"--version"}, "", dir.path());
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("unionbound ", 0), 0u);
    EXPECT_EQ(help.err + version.err, "");
}

// --- probgen output fed to the bound --------------------------------------

// The number after "...probability of the union: " in probgen's output.
double printedUnion(const std::string& out) {
    const double value = printedNumber(out, "robability of the union: ");
    return std::isnan(value) ? -1.0 : value;
}

double printedBound(const std::string& out) {
    const double value = printedNumber(out, "Upper bound on the probability of the union:\n");
    return std::isnan(value) ? -1.0 : value;
}

struct GeneratedCase {
    const char* name;
    std::vector<std::string> probgenWords;
    const char* n;
    const char* m;
};

class GeneratedInput : public ::testing::TestWithParam<GeneratedCase> {};

TEST_P(GeneratedInput, IsBoundedFromAboveByEveryBound) {
    const GeneratedCase c = GetParam();
    ScratchDir dir;
    writeFile(dir.path() / "obs.csv",
              "e1,e2,e3,e4,e5,e6,e7\n1,0,0,0,0,0,0\n0,0,0,0,0,0,0\n1,1,0,0,0,0,1\n"
              "0,0,1,0,0,1,0\n0,0,0,0,0,0,0\n0,1,0,0,1,0,0\n0,0,0,1,0,0,0\n0,0,0,0,0,0,0\n");
    const ProgramRun generated = runProgram(PROBGEN_PROGRAM, c.probgenWords, "", dir.path());
    ASSERT_EQ(generated.exitStatus, 0) << generated.err;
    const double truth = printedUnion(generated.out);
    ASSERT_GE(truth, 0.0) << generated.out;
    const ProgramRun bounded =
        runProgram(UNIONBOUND_PROGRAM, {"-n", c.n, "-m", c.m, "--compare"}, "", dir.path());
    ASSERT_EQ(bounded.exitStatus, 0) << bounded.err;
    // The report and the summary print 15 significant digits.
    constexpr double kPrintedDigits = 1e-14;
    EXPECT_GE(printedBound(bounded.out), truth - kPrintedDigits) << bounded.out;
    const std::regex classical(R"(\n  (\w+) +\S.*?  +(\S+) +\(aggregation)");
    int shown = 0;
    for (auto it = std::sregex_iterator(bounded.out.begin(), bounded.out.end(), classical);
         it != std::sregex_iterator(); ++it, ++shown) {
        EXPECT_GE(std::strtod((*it)[2].str().c_str(), nullptr), truth - kPrintedDigits)
            << (*it)[1].str();
    }
    EXPECT_EQ(shown, 4) << bounded.out;
}

INSTANTIATE_TEST_SUITE_P(
    KnownDistributions, GeneratedInput,
    ::testing::Values(
        GeneratedCase{"independent",
                      {"-m", "3", "--independent", "0.1,0.2,0.05,0.3,0.15,0.1,0.2,0.25"},
                      "8",
                      "3"},
        GeneratedCase{
            "sameProbability", {"-n", "12", "-m", "5", "--independent", "0.07"}, "12", "5"},
        GeneratedCase{"data", {"-m", "3", "--data", "obs.csv"}, "7", "3"},
        GeneratedCase{"mixture", {"-n", "14", "-m", "5", "--mixture", "11"}, "14", "5"},
        GeneratedCase{
            "denseMixture",
            {"-n", "10", "-m", "3", "--mixture", "3", "--outcomes", "6", "--density", "0.6"},
            "10",
            "3"}),
    [](const ::testing::TestParamInfo<GeneratedCase>& test) { return test.param.name; });

TEST(Probgen, WritesAsManyNumbersAsTheBoundExpectsInTheSubsetOrder) {
    ScratchDir dir;
    const ProgramRun run = runProgram(
        PROBGEN_PROGRAM, {"-m", "2", "--independent", "0.5,0.25,0.1", "--output", "p.txt"}, "",
        dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out,
              "Wrote 6 intersection probabilities for n=3, m=2 to \"p.txt\".\n"
              "Probability of the union: 0.6625\n");
    // P(1), P(2), P(3), P(1∩2), P(1∩3), P(2∩3)
    EXPECT_EQ(readFile(dir.path() / "p.txt"), "0.5\n0.25\n0.1\n0.125\n0.05\n0.025\n");
}

TEST(Probgen, ReportsABadDataRowWithItsLineNumber) {
    ScratchDir dir;
    writeFile(dir.path() / "obs.csv", "1,0,1\n0,1,1\n0,1\n");
    const ProgramRun run =
        runProgram(PROBGEN_PROGRAM, {"-m", "3", "--data", "obs.csv"}, "", dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "error: \"obs.csv\", line 3: expected 3 comma-separated fields (one per event), "
              "found 2\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "prob.txt"));
}

TEST(StandardStreams, CarryTheDataOfADashThroughPipesInBothPrograms) {
    // probgen reads 0/1 rows from standard input and writes the probabilities
    // to standard output; unionbound reads those and writes its CSV lines to
    // standard output, its closing lines then going to standard error.
    ScratchDir dir;
    const std::string rows = "1,0,1,0,0,1\n0,1,1,0,1,0\n0,0,0,1,1,1\n1,1,0,0,0,0\n0,0,0,0,0,0\n";
    writeFile(dir.path() / "obs.csv", rows);
    const ProgramRun fromFile = runProgram(
        PROBGEN_PROGRAM, {"-m", "3", "--data", "obs.csv", "--output", "-"}, "", dir.path());
    const ProgramRun fromPipe =
        runProgram(PROBGEN_PROGRAM, {"-m", "3", "--data", "-", "--output", "-"}, rows, dir.path());
    ASSERT_EQ(fromPipe.exitStatus, 0) << fromPipe.err;
    EXPECT_EQ(fromPipe.out, fromFile.out);
    writeFile(dir.path() / "prob.txt", fromFile.out);

    const ProgramRun toFiles =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "6", "-m", "3", "--csv", "passes.csv"}, "", dir.path());
    const ProgramRun piped = runProgram(
        UNIONBOUND_PROGRAM, {"-n", "6", "-m", "3", "--input", "-", "--csv", "-", "--report", "r.txt"},
        fromPipe.out, dir.path());
    ASSERT_EQ(piped.exitStatus, 0) << piped.err;
    const std::regex seconds(",[0-9.]+,([01])\n");
    EXPECT_EQ(std::regex_replace(piped.out, seconds, ",<s>,$1\n"),
              std::regex_replace(readFile(dir.path() / "passes.csv"), seconds, ",<s>,$1\n"));
    EXPECT_EQ(maskConsoleTimes(piped.err), maskConsoleTimes(toFiles.out));
    EXPECT_EQ(maskReportTimes(readFile(dir.path() / "r.txt")),
              maskReportTimes(readFile(dir.path() / "result.txt")));
}

}  // namespace
}  // namespace unionbound::testing
