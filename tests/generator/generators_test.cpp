#include "generator/generators.hpp"

#include <gtest/gtest.h>

#include <sstream>

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
    const Parsed<Observations> parsed = parseObservations(csv, "obs.csv");
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    const Observations& data = parsed.value();
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
    const Parsed<Observations> parsed = parseObservations("1,0\n0,0\n", "obs.csv");
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    const Observations& data = parsed.value();
    EXPECT_EQ(data.events, 2);
    EXPECT_EQ(data.rows, 2);
    EXPECT_EQ(data.rowsWithAnEvent, 1);
}

TEST(ObservedData, ReportBadRowsWithTheirLineNumber) {
    EXPECT_EQ(parseObservations("x,y\n1,0\n1\n", "obs.csv").message(),
              "\"obs.csv\", line 3: expected 2 comma-separated fields (one per event), found 1");
    EXPECT_EQ(parseObservations("1,0\n\n1,2\n", "obs.csv").message(),
              "\"obs.csv\", line 3, field 2: \"2\" is not 0 or 1");
    EXPECT_EQ(parseObservations("1,0,1\n1,yes,0\n", "obs.csv").message(),
              "\"obs.csv\", line 2, field 2: \"yes\" is not 0 or 1");
    EXPECT_EQ(parseObservations("a,b\n\n", "obs.csv").message(),
              "\"obs.csv\" holds no observations (rows of 0 and 1)");
    EXPECT_EQ(parseObservations("", "obs.csv").message(),
              "\"obs.csv\" holds no observations (rows of 0 and 1)");
    EXPECT_EQ(readObservations("/nonexistent/obs.csv").message(),
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

}  // namespace
}  // namespace unionbound
