#include "generator/generators.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "generator/probgen.hpp"
#include "moments/subsets.hpp"

namespace unionbound {
namespace {

// The numbers of a written "prob.txt", in order.
RealVector numbersOf(const std::string& text) {
    std::istringstream in(text);
    RealVector values;
    double v = 0.0;
    while (in >> v) {
        values.push_back(v);
    }
    return values;
}

TEST(IndependentEvents, GiveTheProductOfTheirProbabilitiesForEverySubset) {
    const RealVector p{0.1, 0.25, 0.5, 0.3, 0.7, 0.05};
    std::ostringstream out;
    {
        ProbabilitySink sink(out);
        writeIndependentProbabilities(p, 4, sink);
    }
    const RealVector written = numbersOf(out.str());
    const IntMatrix subsets = allSubsets(6, 4);
    ASSERT_EQ(written.size(), subsets.size());
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        double product = 1.0;
        for (std::int32_t e : subsets[i]) {
            product *= p[e - 1];
        }
        // Same factors in the same order: the same double.
        EXPECT_EQ(written[i], product) << "position " << i;
    }
}

TEST(IndependentEvents, HaveTheUnionOneMinusTheProductOfTheComplements) {
    EXPECT_EQ(independentUnionProbability({0.5, 0.5}), 0.75);
    EXPECT_EQ(independentUnionProbability({0.0, 0.0, 0.0}), 0.0);
    EXPECT_EQ(independentUnionProbability({0.2, 1.0}), 1.0);
    // 1 - (1 - 1e-17)^3 ≈ 3e-17: a double would give 0.
    constexpr double kRelativeRounding = 1e-15;
    EXPECT_NEAR(independentUnionProbability({1e-17, 1e-17, 1e-17}), 3e-17,
                3e-17 * kRelativeRounding);
}

TEST(ObservedData, GiveTheFrequencyOfEveryIntersectionAndOfTheUnion) {
    // Four events, five observations (one without events); a header line.
    const std::string csv =
        "a,b,c,d\n"
        "1,1,0,1\n"
        "0,0,0,0\r\n"
        "1, 1 ,1,0\n"
        "\n"
        "0,1,1,1\n"
        "1,1,0,1\n";
    const Observations data = parseObservations(csv, "obs.csv");
    ASSERT_EQ(data.error, "");
    EXPECT_EQ(data.events, 4);
    EXPECT_EQ(data.rows, 5);
    EXPECT_EQ(data.rowsWithAnEvent, 4);
    const std::vector<std::vector<int>> rows{
        {1, 1, 0, 1}, {0, 0, 0, 0}, {1, 1, 1, 0}, {0, 1, 1, 1}, {1, 1, 0, 1}};
    std::ostringstream out;
    {
        ProbabilitySink sink(out);
        data.table.writeIntersectionWeights(3, 5.0, sink);
    }
    const RealVector written = numbersOf(out.str());
    const IntMatrix subsets = allSubsets(4, 3);
    ASSERT_EQ(written.size(), subsets.size());
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        int count = 0;
        for (const auto& row : rows) {
            bool all = true;
            for (std::int32_t e : subsets[i]) {
                all = all && row[e - 1] == 1;
            }
            count += all ? 1 : 0;
        }
        EXPECT_EQ(written[i], count / 5.0) << "position " << i;
    }
}

TEST(ObservedData, NeedNoHeader) {
    const Observations data = parseObservations("1,0\n0,0\n", "obs.csv");
    ASSERT_EQ(data.error, "");
    EXPECT_EQ(data.events, 2);
    EXPECT_EQ(data.rows, 2);
    EXPECT_EQ(data.rowsWithAnEvent, 1);
}

TEST(ObservedData, ReportBadRowsWithTheirLineNumber) {
    EXPECT_EQ(parseObservations("x,y\n1,0\n1\n", "obs.csv").error,
              "\"obs.csv\", line 3: expected 2 comma-separated fields (one per event), found 1");
    EXPECT_EQ(parseObservations("1,0\n\n1,2\n", "obs.csv").error,
              "\"obs.csv\", line 3, field 2: \"2\" is not 0 or 1");
    EXPECT_EQ(parseObservations("1,0,1\n1,yes,0\n", "obs.csv").error,
              "\"obs.csv\", line 2, field 2: \"yes\" is not 0 or 1");
    EXPECT_EQ(parseObservations("a,b\n\n", "obs.csv").error,
              "\"obs.csv\" holds no observations (rows of 0 and 1)");
    EXPECT_EQ(parseObservations("", "obs.csv").error,
              "\"obs.csv\" holds no observations (rows of 0 and 1)");
    EXPECT_EQ(readObservations("/nonexistent/obs.csv").error,
              "cannot open \"/nonexistent/obs.csv\": No such file or directory");
}

TEST(RandomMixtures, GiveWeightsOfOneAndIntersectionsThatShrinkWithTheSubset) {
    const OutcomeTable mixture = randomMixture({9, 42, 70, 0.6});
    ASSERT_EQ(mixture.outcomes(), 71u);  // 70 and the outcome without events
    std::ostringstream out;
    {
        ProbabilitySink sink(out);
        mixture.writeIntersectionWeights(5, 1.0, sink);
    }
    const RealVector written = numbersOf(out.str());
    const IntMatrix subsets = allSubsets(9, 5);
    ASSERT_EQ(written.size(), subsets.size());
    // The sums over the outcomes themselves are checked on a table built by
    // hand (OutcomeTables below); here: a distribution, and a valid file.
    double total = 0.0;
    for (double w : mixture.weights()) {
        total += w;
    }
    constexpr double kWeightRounding = 1e-15;  // 71 normalised shares
    EXPECT_NEAR(total, 1.0, kWeightRounding);
    // Monotone: an intersection is never more likely than a subset of it.
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        for (std::size_t drop = 0; drop < subsets[i].size() && subsets[i].size() > 1; ++drop) {
            IntVector smaller = subsets[i];
            smaller.erase(smaller.begin() + static_cast<std::ptrdiff_t>(drop));
            EXPECT_LE(written[i], written[subsetPosition(9, 5, smaller)]);
        }
    }
}

TEST(OutcomeTables, SumTheWeightsOfTheOutcomesContainingEachSubset) {
    // More than 64 outcomes, so that the bit sets span several words.
    OutcomeTable table(5);
    std::vector<std::vector<bool>> outcomes;
    RealVector weights;
    for (int k = 0; k < 150; ++k) {
        std::vector<bool> occurs(5);
        for (int e = 0; e < 5; ++e) {
            occurs[e] = ((k * 7 + e * 3) % 5) < 2 || (k % 11 == e);
        }
        outcomes.push_back(occurs);
        weights.push_back(1.0 / 256.0 * (k % 3 + 1));
        table.add(occurs, weights.back());
    }
    std::ostringstream out;
    {
        ProbabilitySink sink(out);
        table.writeIntersectionWeights(5, 1.0, sink);
    }
    const RealVector written = numbersOf(out.str());
    const IntMatrix subsets = allSubsets(5, 5);
    ASSERT_EQ(written.size(), subsets.size());
    for (std::size_t i = 0; i < subsets.size(); ++i) {
        double sum = 0.0;
        for (std::size_t k = 0; k < outcomes.size(); ++k) {
            bool all = true;
            for (std::int32_t e : subsets[i]) {
                all = all && outcomes[k][e - 1];
            }
            sum += all ? weights[k] : 0.0;
        }
        EXPECT_EQ(written[i], sum) << "position " << i;
    }
    double unionWeight = 0.0;
    for (std::size_t k = 0; k < outcomes.size(); ++k) {
        bool any = false;
        for (bool b : outcomes[k]) {
            any = any || b;
        }
        unionWeight += any ? weights[k] : 0.0;
    }
    EXPECT_EQ(table.unionWeight(), unionWeight);
}

TEST(SplitMix64, ProducesTheReferenceSequence) {
    // The published first outputs of splitmix64 seeded with 0 and with 1234567.
    SplitMix64 zero(0);
    EXPECT_EQ(zero.next(), 0xE220A8397B1DCDAFULL);
    EXPECT_EQ(zero.next(), 0x6E789E6AA1B965F4ULL);
    SplitMix64 other(1234567);
    EXPECT_EQ(other.next(), 6457827717110365317ULL);
    EXPECT_EQ(other.next(), 3203168211198807973ULL);
}

TEST(RandomMixtures, AreTheSameForTheSameSeedAndDifferForAnother) {
    const OutcomeTable a = randomMixture({12, 5, 10, 0.4});
    const OutcomeTable b = randomMixture({12, 5, 10, 0.4});
    const OutcomeTable c = randomMixture({12, 6, 10, 0.4});
    EXPECT_EQ(a.weights(), b.weights());
    EXPECT_NE(a.weights(), c.weights());
}

TEST(ProbabilitySink, WritesNumbersThatReadBackExactly) {
    std::ostringstream out;
    {
        ProbabilitySink sink(out);
        sink.write(0.1 + 0.2);
        sink.write(0.0);
        sink.write(1.0 / 3.0);
        sink.write(5e-324);
        EXPECT_EQ(sink.count(), 4);
    }
    EXPECT_EQ(numbersOf(out.str()), (RealVector{0.1 + 0.2, 0.0, 1.0 / 3.0, 5e-324}));
    EXPECT_EQ(out.str().substr(0, 22), "0.30000000000000004\n0\n");
}

// --- the probgen command line ---------------------------------------------

using Source = ProbgenCommand::Source;

TEST(ProbgenOptions, RefuseATooLargeCountBeforeWideningOneProbability) {
    // Found by fuzzing: 446666666 copies of one probability were made before
    // the count of intersections was checked.
    const ProbgenCommand huge = parseProbgenCommand({"-n446666666", "--independent", "0", "-m9"});
    EXPECT_EQ(huge.action, ProbgenCommand::Action::usageError);
    EXPECT_EQ(huge.problem,
              "n=446666666, m=9 need more intersection probabilities than a 32-bit integer can "
              "count");
    EXPECT_EQ(huge.probabilities.size(), 1u);
}

TEST(ProbgenOptions, ReadEachSource) {
    const ProbgenCommand independent =
        parseProbgenCommand({"-m", "3", "--independent", "0.1,.5,1"});
    EXPECT_EQ(independent.action, ProbgenCommand::Action::run);
    EXPECT_EQ(independent.source, Source::independent);
    EXPECT_EQ(independent.n, 3);
    EXPECT_EQ(independent.probabilities, (RealVector{0.1, 0.5, 1.0}));
    EXPECT_EQ(independent.outputPath, "prob.txt");

    const ProbgenCommand repeated =
        parseProbgenCommand({"-n", "4", "-m", "2", "--independent=0.2", "--output", "-"});
    EXPECT_EQ(repeated.n, 4);
    EXPECT_EQ(repeated.probabilities, RealVector{0.2});  // widened to n events when written
    EXPECT_EQ(repeated.outputPath, "-");

    const ProbgenCommand data = parseProbgenCommand({"-m", "3", "--data", "obs.csv"});
    EXPECT_EQ(data.source, Source::data);
    EXPECT_EQ(data.dataPath, "obs.csv");
    EXPECT_EQ(data.n, 0);

    const ProbgenCommand mixture = parseProbgenCommand(
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
    const ProbgenCommand command = parseProbgenCommand(GetParam().words);
    EXPECT_EQ(command.action, ProbgenCommand::Action::usageError);
    EXPECT_EQ(command.problem, GetParam().message);
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
    EXPECT_EQ(runProbgen({"-m", "2", "--independent", "0.5,0.25", "--output", "-"}, out, err), 0);
    EXPECT_EQ(out.str(), "0.5\n0.25\n0.125\n");
    EXPECT_EQ(err.str(),
              "Wrote 3 intersection probabilities for n=2, m=2 to standard output.\n"
              "Probability of the union: 0.625\n");
}

TEST(Probgen, RefusesUsageErrorsWithStatusTwoAndBadDataWithStatusOne) {
    std::ostringstream out, err;
    EXPECT_EQ(runProbgen({"--bogus"}, out, err), 2);
    EXPECT_EQ(err.str(),
              "error: unknown option \"--bogus\"\nRun \"probgen --help\" for the usage.\n");
    std::ostringstream err2;
    EXPECT_EQ(runProbgen({"-m", "3", "--data", "/nonexistent/x.csv"}, out, err2), 1);
    EXPECT_EQ(err2.str(), "error: cannot open \"/nonexistent/x.csv\": No such file or directory\n");
    std::ostringstream err3;
    EXPECT_EQ(runProbgen({"-m", "1", "--independent", "0.5", "--output", "/nonexistent/p.txt"}, out,
                         err3),
              1);
    EXPECT_EQ(err3.str(),
              "error: cannot write \"/nonexistent/p.txt\": No such file or directory\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace unionbound
