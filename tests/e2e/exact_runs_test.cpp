// The exact bounds through the real program: around the truth of probgen's
// distributions, below the structured bound of every pass, the CSV columns
// against the closing lines, any order with --exact, and data that no
// distribution has.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

// The summary and probgen print 15 and 16 significant digits.
constexpr double kPrintedDigits = 1e-14;
// The exact upper bound is the optimum of the problem whose dual feasible
// points the structured bound comes from, both rounded on their own.
constexpr double kStructuredRounding = 1e-12;

struct CsvRow {
    int l = 0;
    std::string bound, exactUpper, exactLower;
};

std::vector<CsvRow> csvRows(const std::string& text) {
    std::vector<CsvRow> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "l,q,bound,seconds,best,exact_upper,exact_lower");
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) {
            cells.push_back(cell);
        }
        cells.resize(7);
        rows.push_back({std::atoi(cells[0].c_str()), cells[2], cells[5], cells[6]});
    }
    return rows;
}

// The structured bound of the summary.
double printedBound(const std::string& out) {
    return printedNumber(out, "Upper bound on the probability of the union:\n");
}

double number(const std::string& cell) {
    return std::strtod(cell.c_str(), nullptr);
}

struct ExactCase {
    const char* name;
    std::vector<std::string> probgenWords;
    const char* n;
    const char* m;
    bool structured;  // whether the structured passes run for this order
};

// Writes the case's prob.txt into `dir` with probgen (from a table of seven
// events' observations where the case asks for data); returns the true
// probability of the union that probgen prints, not-a-number on failure.
double generateInput(const ExactCase& c, const ScratchDir& dir) {
    writeFile(dir.path() / "obs.csv",
              "e1,e2,e3,e4,e5,e6,e7\n1,0,0,0,0,0,0\n0,0,0,0,0,0,0\n1,1,0,0,0,0,1\n"
              "0,0,1,0,0,1,0\n0,0,0,0,0,0,0\n0,1,0,0,1,0,0\n0,0,0,1,1,0,0\n0,0,0,0,0,0,0\n");
    const ProgramRun generated = runProgram(PROBGEN_PROGRAM, c.probgenWords, "", dir.path());
    EXPECT_EQ(generated.exitStatus, 0) << generated.err;
    return printedNumber(generated.out, "robability of the union: ");
}

class ExactRun : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactRun, BoundsTheTruthFromBothSidesAndNeverExceedsTheStructuredBound) {
    const ExactCase c = GetParam();
    ScratchDir dir;
    const double truth = generateInput(c, dir);
    ASSERT_FALSE(std::isnan(truth));

    const ProgramRun run = runProgram(
        UNIONBOUND_PROGRAM, {"-n", c.n, "-m", c.m, "--exact", "--csv", "p.csv"}, "", dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(std::filesystem::exists(dir.path() / "result.txt"), c.structured);
    const std::vector<CsvRow> rows = csvRows(readFile(dir.path() / "p.csv"));
    ASSERT_FALSE(rows.empty());
    double smallestUpper = 2.0, largestLower = -1.0;
    for (const CsvRow& row : rows) {
        const std::string where = std::string(c.name) + " l=" + std::to_string(row.l);
        ASSERT_FALSE(row.exactUpper.empty() || row.exactLower.empty()) << where << run.err;
        EXPECT_LE(number(row.exactLower), truth + kPrintedDigits) << where;
        EXPECT_GE(number(row.exactUpper), truth - kPrintedDigits) << where;
        EXPECT_EQ(row.bound.empty(), !c.structured) << where;
        if (c.structured) {
            EXPECT_LE(number(row.exactUpper), number(row.bound) + kStructuredRounding) << where;
        }
        smallestUpper = std::min(smallestUpper, number(row.exactUpper));
        largestLower = std::max(largestLower, number(row.exactLower));
    }
    // The closing lines show the best of the CSV's columns.
    EXPECT_NEAR(printedNumber(run.out, "Exact upper bound: "), smallestUpper, kPrintedDigits)
        << run.out;
    EXPECT_NEAR(printedNumber(run.out, "Exact lower bound: "), largestLower, kPrintedDigits)
        << run.out;
    EXPECT_NEAR(printedNumber(run.out, "Exact interval: ["), largestLower, kPrintedDigits);
}

INSTANTIATE_TEST_SUITE_P(
    KnownDistributions, ExactRun,
    ::testing::Values(
        ExactCase{"mixture", {"-n", "12", "-m", "3", "--mixture", "5"}, "12", "3", true},
        ExactCase{"mixtureOrderFive", {"-n", "14", "-m", "5", "--mixture", "6"}, "14", "5", true},
        ExactCase{"independent",
                  {"-m", "3", "--independent", "0.1,0.2,0.05,0.3,0.15,0.1,0.2,0.25"},
                  "8",
                  "3",
                  true},
        ExactCase{"data", {"-m", "3", "--data", "obs.csv"}, "7", "3", true},
        ExactCase{"pairwise", {"-n", "12", "-m", "2", "--mixture", "7"}, "12", "2", false},
        ExactCase{"orderFour", {"-n", "10", "-m", "4", "--mixture", "8"}, "10", "4", false},
        ExactCase{"singles", {"-n", "6", "-m", "1", "--independent", "0.2"}, "6", "1", false}),
    [](const ::testing::TestParamInfo<ExactCase>& testCase) { return testCase.param.name; });

class SharpestRun : public ::testing::TestWithParam<ExactCase> {};

TEST_P(SharpestRun, LiesBetweenTheExactBoundsAndAroundTheTruthAndIsTheBestOfTheComparison) {
    const ExactCase c = GetParam();
    ScratchDir dir;
    const double truth = generateInput(c, dir);
    ASSERT_FALSE(std::isnan(truth));
    const ProgramRun run = runProgram(
        UNIONBOUND_PROGRAM, {"-n", c.n, "-m", c.m, "--exact", "--sharpest", "--compare"}, "",
        dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const double upper = printedNumber(run.out, "Sharpest upper bound: ");
    const double lower = printedNumber(run.out, "Sharpest lower bound: ");
    ASSERT_FALSE(std::isnan(upper) || std::isnan(lower)) << run.out << run.err;
    EXPECT_LE(printedNumber(run.out, "Exact lower bound: "), lower + kPrintedDigits);
    EXPECT_LE(lower, truth + kPrintedDigits);
    EXPECT_LE(truth, upper + kPrintedDigits);
    EXPECT_LE(upper, printedNumber(run.out, "Exact upper bound: ") + kPrintedDigits);
    if (c.structured) {
        EXPECT_LE(upper, printedBound(run.out) + kPrintedDigits);
    }
    // Every other bound is a relaxation of the sharpest ones: each line of
    // the comparison says how far above (or below) them it lies.
    const std::regex gap(R"(\[(\S+) (above|below) the sharpest\]|\[at the sharpest\])");
    int others = 0;
    for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), gap);
         it != std::sregex_iterator(); ++it, ++others) {
        if ((*it)[1].matched) {
            EXPECT_GT(std::strtod((*it)[1].str().c_str(), nullptr), 0.0) << (*it)[0].str();
        }
    }
    // Boole, Hunter, sharp, exact and Dawson-Sankoff, sharp, exact at least.
    EXPECT_GE(others, 7) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    KnownDistributions, SharpestRun,
    ::testing::Values(
        ExactCase{"mixture", {"-n", "10", "-m", "3", "--mixture", "5"}, "10", "3", true},
        ExactCase{"dense", {"-n", "9", "-m", "3", "--mixture", "9", "--density", "1"}, "9", "3",
                  true},
        ExactCase{"independent",
                  {"-m", "3", "--independent", "0.1,0.2,0.05,0.3,0.15,0.1,0.2,0.25"},
                  "8",
                  "3",
                  true},
        ExactCase{"data", {"-m", "3", "--data", "obs.csv"}, "7", "3", true},
        ExactCase{"pairwise", {"-n", "10", "-m", "2", "--mixture", "7"}, "10", "2", false},
        ExactCase{"fewEvents", {"-n", "5", "-m", "2", "--mixture", "3"}, "5", "2", false}),
    [](const ::testing::TestParamInfo<ExactCase>& testCase) { return testCase.param.name; });

TEST(SharpestRun, SaysWhereThePositiveIntersectionsOutgrowItsPlanAndGivesTheOtherBounds) {
    ScratchDir dir;
    // 150 independent events: all 562,625 intersections of up to 3 positive.
    ASSERT_EQ(runProgram(PROBGEN_PROGRAM, {"-n", "150", "-m", "3", "--independent", "0.01"}, "",
                         dir.path())
                  .exitStatus,
              0);
    const ProgramRun run =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "150", "-m", "3", "--sharpest"}, "", dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("Sharpest upper bound: none proven (562625 positive intersections of "
                           "order 3 need about "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Upper bound on the probability of the union:"), std::string::npos);
}

TEST(ExactRun, AcceptsAnyOrderOnlyWithTheExactBounds) {
    ScratchDir dir;
    ASSERT_EQ(runProgram(PROBGEN_PROGRAM, {"-n", "8", "-m", "2", "--mixture", "1"}, "", dir.path())
                  .exitStatus,
              0);
    const ProgramRun plain =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "8", "-m", "2"}, "", dir.path());
    EXPECT_EQ(plain.exitStatus, 1);
    EXPECT_EQ(plain.err,
              "error: m=2 is too small: the maximum order m must be an odd number of at least "
              "3\n");
    writeFile(dir.path() / "result.txt", "an earlier report\n");
    const ProgramRun exact =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "8", "-m", "2", "--exact"}, "", dir.path());
    EXPECT_EQ(exact.exitStatus, 0) << exact.err;
    EXPECT_EQ(exact.err,
              "note: no structured passes: m=2 is too small: the maximum order m must be an odd "
              "number of at least 3; the structured bound is not computed, and \"result.txt\" is "
              "not written\n");
    EXPECT_EQ(exact.out.find("Upper bound on the probability"), std::string::npos);
    EXPECT_NE(exact.out.find("Exact interval: ["), std::string::npos);
    EXPECT_EQ(readFile(dir.path() / "result.txt"), "an earlier report\n");
    const ProgramRun tooLarge =
        runProgram(UNIONBOUND_PROGRAM, {"-n", "8", "-m", "9", "--exact"}, "", dir.path());
    EXPECT_EQ(tooLarge.exitStatus, 1);
    EXPECT_EQ(tooLarge.err,
              "error: m=9 is larger than n=8: no intersection has more events than there are\n");
}

struct InconsistentCase {
    const char* name;
    std::string probabilities;  // n = 6, m = 2
    std::string message;
};

class InconsistentData : public ::testing::TestWithParam<InconsistentCase> {};

TEST_P(InconsistentData, IsRefusedBeforeTheReportIsTouched) {
    const InconsistentCase c = GetParam();
    ScratchDir dir;
    writeFile(dir.path() / "prob.txt", c.probabilities);
    writeFile(dir.path() / "result.txt", "an earlier report\n");
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {"-n", "6", "-m", "2", "--exact"}, "",
                                      dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(dir.path() / "result.txt"), "an earlier report\n");
}

INSTANTIATE_TEST_SUITE_P(
    NoDistributionHasThem, InconsistentData,
    ::testing::Values(
        // P(1∩2) above P(1).
        InconsistentCase{"pairAboveItsEvent",
                         "0.2 0.5 0.1 0.1 0.1 0.1\n0.3 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n",
                         "error: the probabilities of \"prob.txt\" are inconsistent: P(1∩2) = "
                         "0.3 (number 7) is larger than P(1) = 0.2 (number 1); no joint "
                         "distribution of the events has them"},
        // P(1) + P(2) - 1 = 0.6 above P(1∩2).
        InconsistentCase{"pairBelowItsEvents",
                         "0.8 0.8 0.1 0.1 0.1 0.1\n0.5 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n",
                         "P(1∩2) = 0.5 (number 7) is smaller than P(1) = 0.8 (number 1) + P(2) "
                         "= 0.8 (number 2) - 1"},
        // Six disjoint events of probability one half each: every pair is
        // fine on its own, but together they would fill three times the space.
        InconsistentCase{"disjointHalves",
                         "0.5 0.5 0.5 0.5 0.5 0.5\n0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n",
                         "error: the probabilities of \"prob.txt\" are inconsistent: no joint "
                         "distribution of the events has them, as the pass l=2 proves: "}),
    [](const ::testing::TestParamInfo<InconsistentCase>& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace unionbound::testing
