#include "output/comparison_report.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "classical/classical_bounds.hpp"

namespace unionbound {
namespace {

const ClassicalBounds kBounds{1.0, 0.9, 0.95, {0.875, {0, 1, 2, 3}}, 0.5, {0.625, {0, 1, 2, 3}}};

// The classical bounds of order m as a comparison shows them.
Comparison classicalComparison(std::int32_t m, const ClassicalBounds& bounds) {
    const NamedClassicalBounds named = namedClassicalBounds(m, bounds);
    Comparison comparison;
    comparison.upper = named.upper;
    comparison.lower = named.lower;
    return comparison;
}

std::string written(const Comparison& comparison) {
    std::ostringstream out;
    writeComparison(out, comparison);
    return out.str();
}

TEST(Comparison, ShowsEveryBoundBesideTheAggregationBoundAndNamesTheSmallestAndTheLargest) {
    Comparison comparison = classicalComparison(3, kBounds);
    comparison.aggregation = AggregationBound{0.880000000000001, 4};
    EXPECT_EQ(written(comparison),
              "Other upper bounds from the same probabilities:\n"
              "  Boole        min(1, S1)                     1                   "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  Bonferroni   S1 - S2 + S3                   0.9                 "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  Hunter       S1 - heaviest spanning tree    0.95                "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  sharp        best from S1 ... S3 alone      0.875               "
              "(aggregation, l=4: 0.880000000000001)\n"
              "Smallest upper bound: 0.875 (sharp)\n"
              "Lower bounds from the same probabilities:\n"
              "  Dawson-Sankoff  2 S1/(k+1) - 2 S2/(k(k+1))  0.5\n"
              "  sharp           best from S1 ... S3 alone   0.625\n"
              "Largest lower bound: 0.625 (sharp)\n");
}

TEST(Comparison, NamesEveryBoundThatTiesForTheSmallest) {
    ClassicalBounds bounds = kBounds;
    bounds.bonferroni = 0.8;
    bounds.sharp.value = 0.8;
    Comparison comparison = classicalComparison(3, bounds);
    comparison.aggregation = AggregationBound{0.8, 3};
    EXPECT_NE(written(comparison).find("Smallest upper bound: 0.8 (aggregation, Bonferroni, sharp)\n"),
              std::string::npos);
}

TEST(Comparison, LeavesOutTheBoundsTheOrderCannotGiveAndSaysHowFarTheOthersAreFromTheSharpest) {
    // Pairwise data: no Bonferroni bound of three terms; no structured passes.
    ClassicalBounds bounds = kBounds;
    bounds.bonferroni = std::nan("");
    Comparison comparison = classicalComparison(2, bounds);
    comparison.upper.insert(comparison.upper.begin(), {"sharpest", "best from all the data", 0.75});
    comparison.lower.insert(comparison.lower.begin(), {"sharpest", "best from all the data", 0.7});
    comparison.sharpestUpper = 0.75;
    comparison.sharpestLower = 0.7;
    const std::string text = written(comparison);
    EXPECT_EQ(text.find("Bonferroni"), std::string::npos);
    EXPECT_EQ(text.find("aggregation"), std::string::npos);
    EXPECT_NE(text.find("Upper bounds from the same probabilities:\n"), std::string::npos);
    EXPECT_NE(text.find("  Hunter       S1 - heaviest spanning tree    0.95                "
                        "[0.2 above the sharpest]\n"),
              std::string::npos);
    EXPECT_NE(text.find("  Dawson-Sankoff  2 S1/(k+1) - 2 S2/(k(k+1))  0.5                 "
                        "[0.2 below the sharpest]\n"),
              std::string::npos);
    EXPECT_NE(text.find("Smallest upper bound: 0.75 (sharpest)\n"), std::string::npos);
    EXPECT_NE(text.find("Largest lower bound: 0.7 (sharpest)\n"), std::string::npos);
}

}  // namespace
}  // namespace unionbound
