#include "generator/probgen.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/exit_status.hpp"
#include "generator/generators.hpp"
#include "moments/subsets.hpp"
#include "numeric/double_double.hpp"

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
        ProbgenUsageCase{{},
                         "a source is needed: --independent, --data, --mixture, --clustered or "
                         "--records"},
        ProbgenUsageCase{{"--independent", "0.5"},
                         "option -m (the maximum order of the intersections) is required"},
        ProbgenUsageCase{{"-m", "3", "--independent", "0.5", "--data", "x.csv"},
                         "only one of --independent, --data, --mixture, --clustered and "
                         "--records may be given"},
        ProbgenUsageCase{{"-m", "3", "--mixture", "1"},
                         "--mixture needs -n (the number of events)"},
        ProbgenUsageCase{{"-m", "3", "--clustered", "1"},
                         "--clustered needs -n (the number of events)"},
        ProbgenUsageCase{{"-n", "9", "-m", "3", "--clustered", "1", "--group-size", "0"},
                         "--group-size (the number of events in a group) must be between 1 and "
                         "2147483647, not 0"},
        ProbgenUsageCase{{"-n", "9", "-m", "3", "--records", "1", "--items", "10000001"},
                         "--items (the number of items) must be between 1 and 10000000, not "
                         "10000001"},
        ProbgenUsageCase{{"-n", "9", "-m", "3", "--records", "1", "--group-size", "2"},
                         "--group-size is only used with --clustered"},
        ProbgenUsageCase{{"-n", "9", "-m", "3", "--clustered", "1", "--items", "2"},
                         "--items is only used with --records"},
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

// probgen's numbers on standard output and its union line on standard error.
struct GeneratedFile {
    RealVector probabilities;
    std::string unionLine;
};

GeneratedFile generated(const std::vector<std::string>& words) {
    std::ostringstream out, err;
    EXPECT_EQ(runProbgen(words, out, err), kExitSuccess) << err.str();
    GeneratedFile file;
    std::istringstream numbers(out.str());
    for (double v = 0.0; numbers >> v;) {
        file.probabilities.push_back(v);
    }
    file.unionLine = err.str().substr(err.str().find('\n') + 1);
    return file;
}

struct ClusteredCase {
    std::int32_t n, m, groupSize, seed;
};

class ClusteredEventsOfProbgen : public ::testing::TestWithParam<ClusteredCase> {};

// Against sums over all 2^n outcomes, in double-double: given the switches,
// the events of a group are independent.
TEST_P(ClusteredEventsOfProbgen, HaveTheProbabilitiesOfTheirJointDistribution) {
    const auto [n, m, size, seed] = GetParam();
    const GeneratedFile file =
        generated({"-n", std::to_string(n), "-m", std::to_string(m), "--clustered",
                   std::to_string(seed), "--group-size", std::to_string(size), "--output", "-"});
    const ClusteredEvents events =
        randomClusteredEvents({n, static_cast<std::uint64_t>(seed), size});
    std::vector<DoubleDouble> outcome(std::size_t{1} << n, 1.0);
    for (std::size_t w = 0; w < outcome.size(); ++w) {
        for (std::int32_t g = 0; g * size < n; ++g) {
            DoubleDouble on(events.switchOn[g]), off = twoSum(1.0, -events.switchOn[g]);
            for (std::int32_t e = g * size; e < n && e < (g + 1) * size; ++e) {
                const bool occurs = ((w >> e) & 1) != 0;
                on = on * (occurs ? DoubleDouble(events.high[e]) : twoSum(1.0, -events.high[e]));
                off = off * (occurs ? DoubleDouble(events.low[e]) : twoSum(1.0, -events.low[e]));
            }
            outcome[w] = outcome[w] * (on + off);
        }
    }
    const IntMatrix subsets = allSubsets(n, m);
    ASSERT_EQ(file.probabilities.size(), subsets.size());
    constexpr double kRelative = 1e-15;
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        std::size_t mask = 0;
        for (std::int32_t e : subsets[i]) {
            mask |= std::size_t{1} << (e - 1);
        }
        DoubleDouble sum;
        for (std::size_t w = 0; w < outcome.size(); ++w) {
            sum = (w & mask) == mask ? sum + outcome[w] : sum;
        }
        EXPECT_NEAR(file.probabilities[i], sum.toDouble(), sum.toDouble() * kRelative) << i;
    }
    DoubleDouble some;
    for (std::size_t w = 1; w < outcome.size(); ++w) {
        some = some + outcome[w];
    }
    const double printed = std::stod(file.unionLine.substr(file.unionLine.find(": ") + 2));
    EXPECT_NEAR(printed, some.toDouble(), some.toDouble() * kRelative);
}

INSTANTIATE_TEST_SUITE_P(GroupSizes, ClusteredEventsOfProbgen,
                         ::testing::Values(ClusteredCase{7, 3, 3, 11},    // groups 3, 3, 1
                                           ClusteredCase{7, 3, 4, 12},    // the default size
                                           ClusteredCase{8, 4, 1, 13},    // independent events
                                           ClusteredCase{6, 6, 9, 14}));  // one group

class SeededKinds : public ::testing::TestWithParam<const char*> {};

TEST_P(SeededKinds, GiveTheSameFileForASeedAndAnotherForAnotherSeed) {
    const auto run = [](const char* seed) {
        std::ostringstream out, err;
        EXPECT_EQ(runProbgen({"-n", "12", "-m", "3", GetParam(), seed, "--output", "-"}, out, err),
                  kExitSuccess);
        return out.str() + err.str();
    };
    EXPECT_EQ(run("21"), run("21"));
    EXPECT_NE(run("21"), run("22"));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SeededKinds,
                         ::testing::Values("--mixture", "--clustered", "--records"));

TEST(RecordsOfProbgen, AreTalliedAsTheSameRowsReadFromACsvFile) {
    const GeneratedFile file =
        generated({"-n", "10", "-m", "3", "--records", "4", "--items", "3000", "--output", "-"});
    std::string csv;
    std::int64_t withAnEvent = 0;
    drawRecords({10, 4, 3000}, [&](const std::vector<bool>& row) {
        for (bool occurs : row) {
            csv += occurs ? "1," : "0,";
        }
        csv.back() = '\n';
        withAnEvent += std::find(row.begin(), row.end(), true) != row.end() ? 1 : 0;
    });
    const Parsed<Observations> read = parseObservations(csv, "records.csv");
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(file.probabilities, intersectionFrequencies(read.value(), 3));
    EXPECT_EQ(file.unionLine, "Empirical probability of the union: " +
                                  shortestDecimal(static_cast<double>(withAnEvent) / 3000.0) +
                                  " (" + std::to_string(withAnEvent) + " of 3000 items)\n");
}

// The figures the model is tuned to, about 2,500 positive intersections of
// 10,700 for n = 40 and 12,500 of 36,050 for n = 60, for three seeds each.
TEST(RecordsOfProbgen, LeaveManyPairsAndTriplesNeverTogether) {
    for (const auto& [n, least, most] : {std::tuple{40, 1800, 3500}, {60, 10000, 16000}}) {
        for (const char* seed : {"1", "2", "3"}) {
            const RealVector p =
                generated({"-n", std::to_string(n), "-m3", "--records", seed, "--output", "-"})
                    .probabilities;
            const auto positive = std::count_if(p.begin(), p.end(), [](double x) { return x > 0; });
            EXPECT_TRUE(positive >= least && positive <= most)
                << n << ", " << seed << ": " << positive;
        }
    }
}

}  // namespace
}  // namespace unionbound
