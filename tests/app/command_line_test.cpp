#include "app/command_line.hpp"

#include <gtest/gtest.h>


namespace unionbound {
namespace {

using Action = CommandLine::Action;

// The command line that `words` make, which must be usable.
CommandLine parsedLine(const std::vector<std::string>& words) {
    const Parsed<CommandLine> line = parseCommandLine(words);
    EXPECT_TRUE(line.ok()) << line.message();
    return line.value();
}

TEST(CommandLineOptions, WithoutWordsRunTheConsoleOnTheDefaultFiles) {
    const CommandLine line = parsedLine({});
    EXPECT_EQ(line.action, Action::run);
    EXPECT_FALSE(line.batch);
    EXPECT_FALSE(line.anyOption);
    EXPECT_EQ(line.inputPath, "prob.txt");
    EXPECT_EQ(line.reportPath, "result.txt");
    EXPECT_EQ(line.csvPath, "");
    EXPECT_FALSE(line.compare);
}

TEST(CommandLineOptions, ReadEveryOptionInBothSpellings) {
    const CommandLine line = parsedLine({"-n", "10", "-m3", "--input", "in.txt",
                                               "--report=out.txt", "--csv", "p.csv", "--compare",
                                               "--json=run.json"});
    EXPECT_EQ(line.action, Action::run);
    EXPECT_TRUE(line.batch);
    EXPECT_TRUE(line.anyOption);
    EXPECT_EQ(line.n, 10);
    EXPECT_EQ(line.m, 3);
    EXPECT_EQ(line.inputPath, "in.txt");
    EXPECT_EQ(line.reportPath, "out.txt");
    EXPECT_EQ(line.csvPath, "p.csv");
    EXPECT_EQ(line.jsonPath, "run.json");
    EXPECT_TRUE(line.compare);
}

TEST(CommandLineOptions, KeepPathsAndFlagsWithoutBatchMode) {
    const CommandLine line = parsedLine({"--input=a b.txt", "--compare"});
    EXPECT_FALSE(line.batch);
    EXPECT_EQ(line.inputPath, "a b.txt");
    EXPECT_TRUE(line.compare);
}

TEST(CommandLineOptions, LeaveTheRangeOfNAndMToTheConsoleChecks) {
    // Out-of-range numbers are bad data, refused when the run starts.
    const CommandLine line = parsedLine({"-n", "-5", "-m", "+4"});
    EXPECT_EQ(line.action, Action::run);
    EXPECT_EQ(line.n, -5);
    EXPECT_EQ(line.m, 4);
}

TEST(CommandLineOptions, ReadTheThreadsInBothSpellingsAndLeaveThemUnsetOtherwise) {
    EXPECT_EQ(parsedLine({"--threads", "1"}).threads, 1);
    EXPECT_EQ(parsedLine({"-n", "10", "-m", "3", "--threads=256"}).threads, 256);
    EXPECT_EQ(parsedLine({"--compare"}).threads, 0);
}

TEST(CommandLineOptions, ReadTheTimeLimitAsADecimalAndLeaveItUnsetOtherwise) {
    EXPECT_EQ(parsedLine({"--time-limit", "1.5"}).timeLimit, 1.5);
    EXPECT_EQ(parsedLine({"-n", "10", "-m", "3", "--time-limit=0"}).timeLimit, 0.0);
    EXPECT_EQ(parsedLine({"--time-limit", "2e-3"}).timeLimit, 0.002);
    EXPECT_EQ(parsedLine({"--compare"}).timeLimit, std::nullopt);
}

TEST(ThreadCount, TakesTheOptionThenTheEnvironmentThenTheCores) {
    const struct {
        std::int32_t option;
        const char* environment;
        unsigned cores;
        std::int32_t chosen;
    } cases[] = {
        {3, "1", 2, 3},      // the option wins
        {0, "1", 2, 1},      // then the variable
        {0, "+7", 2, 7},     // a sign is a whole number's
        {0, nullptr, 2, 2},  // then the cores
        {0, "", 4, 4},       // an empty variable counts as unset
        {0, nullptr, 0, 1},  // cores unknown
        {0, nullptr, 1000, kMostThreads},
    };
    for (const auto& c : cases) {
        const Parsed<std::int32_t> chosen = chooseThreads(c.option, c.environment, c.cores);
        ASSERT_TRUE(chosen.ok()) << chosen.message();
        EXPECT_EQ(chosen.value(), c.chosen)
            << c.option << " " << (c.environment ? c.environment : "unset") << " " << c.cores;
    }
    for (const char* bad : {"0", "-1", "two", "1.5", "257", "99999999999999999999"}) {
        EXPECT_EQ(chooseThreads(0, bad, 2).message(),
                  std::string("UNIONBOUND_THREADS (the number of threads) must be a whole number "
                              "from 1 to 256, not \"") +
                      bad + "\"");
    }
}

TEST(CommandLineOptions, StopAtHelpOrVersion) {
    EXPECT_EQ(parsedLine({"--help"}).action, Action::help);
    EXPECT_EQ(parsedLine({"-h"}).action, Action::help);
    EXPECT_EQ(parsedLine({"-n", "10", "--version", "--bogus"}).action, Action::version);
    EXPECT_FALSE(parseCommandLine({"--bogus", "--help"}).ok());
}

struct UsageCase {
    std::vector<std::string> words;
    const char* message;
};

class CommandLineUsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CommandLineUsageErrors, AreReportedWithTheirExactMessage) {
    const Parsed<CommandLine> line = parseCommandLine(GetParam().words);
    EXPECT_FALSE(line.ok());
    EXPECT_EQ(line.message(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, CommandLineUsageErrors,
    ::testing::Values(
        UsageCase{{"--bogus"}, "unknown option \"--bogus\""},
        UsageCase{{"-x"}, "unknown option \"-x\""},
        UsageCase{{"prob.txt"}, "unexpected argument \"prob.txt\": the program takes options only"},
        UsageCase{{"-"}, "unexpected argument \"-\": the program takes options only"},
        UsageCase{{"-n"}, "option -n needs a value (the number of events)"},
        UsageCase{{"-n", "10", "-m"},
                  "option -m needs a value (the maximum order of the intersections)"},
        UsageCase{{"-n", "ten", "-m", "3"},
                  "-n (the number of events) must be a whole number, not \"ten\""},
        UsageCase{{"-n", "10", "-m", "3.0"},
                  "-m (the maximum order of the intersections) must be a whole number, not "
                  "\"3.0\""},
        UsageCase{{"-n", "99999999999999999999", "-m", "3"},
                  "-n (the number of events) must be a whole number, not "
                  "\"99999999999999999999\""},
        UsageCase{{"-n", "10"}, "batch mode needs both -n and -m: -m is missing"},
        UsageCase{{"-m", "3"}, "batch mode needs both -n and -m: -n is missing"},
        UsageCase{{"-n", "10", "-n", "12", "-m", "3"}, "option -n is given twice"},
        UsageCase{{"-m", "3", "-m", "5"}, "option -m is given twice"},
        UsageCase{{"--input", "a", "--input=b"}, "option --input is given twice"},
        UsageCase{{"--report", "a", "--report", "b"}, "option --report is given twice"},
        UsageCase{{"--csv", "a", "--csv", "b"}, "option --csv is given twice"},
        UsageCase{{"--compare", "--compare"}, "option --compare is given twice"},
        UsageCase{{"--input"}, "option --input needs a value (a file path)"},
        UsageCase{{"--report"}, "option --report needs a value (a file path)"},
        UsageCase{{"--csv"}, "option --csv needs a value (a file path)"},
        UsageCase{{"--input="}, "option --input needs a non-empty file path"},
        UsageCase{{"--csv", ""}, "option --csv needs a non-empty file path"},
        UsageCase{{"--json", "a", "--json=b"}, "option --json is given twice"},
        UsageCase{{"--json"}, "option --json needs a value (a file path)"},
        UsageCase{{"--csv", "-", "-n", "10", "-m", "3", "--json", "-"},
                  "--json and --csv cannot both write to standard output (-)"},
        UsageCase{{"--compare=yes"}, "option --compare takes no value"},
        UsageCase{{"--help=1"}, "option --help takes no value"},
        UsageCase{{"--version=2"}, "option --version takes no value"},
        UsageCase{{"--threads"}, "option --threads needs a value (the number of threads)"},
        UsageCase{{"--threads", "0"},
                  "--threads (the number of threads) must be between 1 and 256, not 0"},
        UsageCase{{"--threads=two"},
                  "--threads (the number of threads) must be a whole number, not \"two\""},
        UsageCase{{"--threads", "2", "--threads", "2"}, "option --threads is given twice"},
        UsageCase{{"--time-limit"}, "option --time-limit needs a value (seconds)"},
        UsageCase{{"--time-limit", "-0.5"}, "--time-limit (seconds) must be at least 0, not -0.5"},
        UsageCase{{"--time-limit=nan"}, "--time-limit (seconds) must be a number, not \"nan\""},
        UsageCase{{"--time-limit", "1 min"},
                  "--time-limit (seconds) must be a number, not \"1 min\""},
        UsageCase{{"--time-limit", "1", "--time-limit", "2"},
                  "option --time-limit is given twice"}));

}  // namespace
}  // namespace unionbound
