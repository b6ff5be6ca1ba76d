#include "generator/probgen.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_status.hpp"

namespace unionbound {
namespace {

using Source = ProbgenCommand::Source;

// The command that `words` make, which must be usable.
ProbgenCommand parsedCommand(const std::vector<std::string>& words) {
    const Parsed<ProbgenCommand> command = parseProbgenCommand(words);
    EXPECT_TRUE(command.ok()) << command.message();
    return command.value();
}

TEST(ProbgenOptions, RefuseATooLargeCountBeforeWideningOneProbability) {
    // Found by fuzzing: 446666666 copies of one probability were made before
    // the count of intersections was checked.
    // Widened first, the list would take 3.5 GB before the refusal.
    const std::vector<std::string> words{"-n446666666", "--independent", "0", "-m9"};
    const Parsed<ProbgenCommand> huge = parseProbgenCommand(words);
    EXPECT_FALSE(huge.ok());
    EXPECT_EQ(huge.message(),
              "n=446666666, m=9 need more intersection probabilities than a 32-bit integer can "
              "count");
    std::ostringstream out, err;
    EXPECT_EQ(runProbgen(words, out, err), kExitUsage);
}

TEST(ProbgenOptions, ReadEachSource) {
    const ProbgenCommand independent = parsedCommand({"-m", "3", "--independent", "0.1,.5,1"});
    EXPECT_EQ(independent.action, ProbgenCommand::Action::run);
    EXPECT_EQ(independent.source, Source::independent);
    EXPECT_EQ(independent.n, 3);
    EXPECT_EQ(independent.probabilities, (RealVector{0.1, 0.5, 1.0}));
    EXPECT_EQ(independent.outputPath, "prob.txt");

    const ProbgenCommand repeated = parsedCommand({"-n", "4", "-m", "2", "--independent=0.2", "--output", "-"});
    EXPECT_EQ(repeated.n, 4);
    EXPECT_EQ(repeated.probabilities, RealVector{0.2});  // widened to n events when written
    EXPECT_EQ(repeated.outputPath, "-");

    const ProbgenCommand data = parsedCommand({"-m", "3", "--data", "obs.csv"});
    EXPECT_EQ(data.source, Source::data);
    EXPECT_EQ(data.dataPath, "obs.csv");
    EXPECT_EQ(data.n, 0);

    const ProbgenCommand mixture = parsedCommand(
        {"-n", "60", "-m", "5", "--mixture", "7", "--outcomes", "30", "--density", "0.2"});
    EXPECT_EQ(mixture.source, Source::mixture);
    EXPECT_EQ(mixture.n, 60);
    EXPECT_EQ(mixture.m, 5);
    EXPECT_EQ(mixture.seed, 7u);
    EXPECT_EQ(mixture.outcomes, 30);
    EXPECT_EQ(mixture.density, 0.2);
}

struct ProbgenUsageCase {
    std::vector<std::string> words;
    const char* message;
};

class ProbgenUsageErrors : public ::testing::TestWithParam<ProbgenUsageCase> {};

TEST_P(ProbgenUsageErrors, AreReportedWithTheirExactMessage) {
    const Parsed<ProbgenCommand> command = parseProbgenCommand(GetParam().words);
    EXPECT_FALSE(command.ok());
    EXPECT_EQ(command.message(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ProbgenUsageErrors,
    ::testing::Values(
        ProbgenUsageCase{{}, "a source is needed: --independent, --data or --mixture"},
        ProbgenUsageCase{{"--independent", "0.5"},
                         "option -m (the maximum order of the intersections) is required"},
        ProbgenUsageCase{{"-m", "3", "--independent", "0.5", "--data", "x.csv"},
                         "only one of --independent, --data and --mixture may be given"},
        ProbgenUsageCase{{"-m", "3", "--mixture", "1"},
                         "--mixture needs -n (the number of events)"},
        ProbgenUsageCase{{"-m", "3", "--independent", "0.1,1.5"},
                         "--independent: value 2 \"1.5\" is not a probability in [0, 1]"},
        ProbgenUsageCase{{"-m", "3", "--independent", "0.1,,0.2"},
                         "--independent: value 2 \"\" is not a probability in [0, 1]"},
        ProbgenUsageCase{{"-m", "3", "--independent"},
                         "option --independent needs a value (probabilities such as "
                         "0.1,0.2,0.3)"},
        ProbgenUsageCase{{"-n", "4", "-m", "3", "--independent", "0.1,0.2"},
                         "--independent gives 2 probabilities but -n is 4"},
        ProbgenUsageCase{{"-m", "0", "--independent", "0.1"},
                         "-m (the maximum order of the intersections) must be between 1 and "
                         "2147483647, not 0"},
        ProbgenUsageCase{{"-n", "x", "-m", "3"},
                         "-n (the number of events) must be a whole number, not \"x\""},
        ProbgenUsageCase{{"-n", "10", "-m", "3", "--mixture", "-1"},
                         "--mixture (the seed) must be between 0 and 9223372036854775807, not -1"},
        ProbgenUsageCase{{"-n", "10", "-m", "3", "--mixture", "1", "--outcomes", "0"},
                         "--outcomes (the number of outcome vectors) must be between 1 and "
                         "1000000, not 0"},
        ProbgenUsageCase{{"-n", "10", "-m", "3", "--mixture", "1", "--density", "0"},
                         "--density (a share of the events) must lie in (0, 1], not \"0\""},
        ProbgenUsageCase{{"-m", "3", "--independent", "0.1", "--outcomes", "5"},
                         "--outcomes is only used with --mixture"},
        ProbgenUsageCase{{"-m", "3", "--data", "x.csv", "--density", "0.5"},
                         "--density is only used with --mixture"},
        ProbgenUsageCase{{"-m", "3", "-m", "3"}, "option -m is given twice"},
        ProbgenUsageCase{{"-m", "3", "--data"}, "option --data needs a value (a CSV file path)"},
        ProbgenUsageCase{{"--output"},
                         "option --output needs a value (a file path, or - for standard output)"},
        ProbgenUsageCase{{"--frobnicate"}, "unknown option \"--frobnicate\""},
        ProbgenUsageCase{{"data.csv"},
                         "unexpected argument \"data.csv\": the program takes options only"},
        ProbgenUsageCase{{"--help=no"}, "option --help takes no value"},
        ProbgenUsageCase{{"-n", "3000", "-m", "5", "--mixture", "1"},
                         "n=3000, m=5 need more intersection probabilities than a 32-bit integer "
                         "can count"}));

TEST(Probgen, WritesToStandardOutputAndItsClosingLinesToStandardError) {
    std::ostringstream out, err;
    EXPECT_EQ(runProbgen({"-m", "2", "--independent", "0.5,0.25", "--output", "-"}, out, err), kExitSuccess);
    EXPECT_EQ(out.str(), "0.5\n0.25\n0.125\n");
    EXPECT_EQ(err.str(),
              "Wrote 3 intersection probabilities for n=2, m=2 to standard output.\n"
              "Probability of the union: 0.625\n");
}

TEST(Probgen, RefusesUsageErrorsWithStatusTwoAndBadDataWithStatusOne) {
    std::ostringstream out, err;
    EXPECT_EQ(runProbgen({"--bogus"}, out, err), kExitUsage);
    EXPECT_EQ(err.str(),
              "error: unknown option \"--bogus\"\nRun \"probgen --help\" for the usage.\n");
    std::ostringstream err2;
    EXPECT_EQ(runProbgen({"-m", "3", "--data", "/nonexistent/x.csv"}, out, err2), kExitBadData);
    EXPECT_EQ(err2.str(), "error: cannot open \"/nonexistent/x.csv\": No such file or directory\n");
    std::ostringstream err3;
    EXPECT_EQ(runProbgen({"-m", "1", "--independent", "0.5", "--output", "/nonexistent/p.txt"}, out,
                         err3),
              kExitBadData);
    EXPECT_EQ(err3.str(),
              "error: cannot write \"/nonexistent/p.txt\": No such file or directory\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace unionbound
