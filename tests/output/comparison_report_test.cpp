#include "output/comparison_report.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace unionbound {
namespace {

TEST(Comparison, ShowsEveryBoundBesideTheAggregationBoundAndNamesTheSmallest) {
    ClassicalBounds bounds{1.0, 0.9, 0.95, {0.875, {0, 1, 2, 3}}, 0.5, {0.6, {0, 1, 2}}};
    std::ostringstream out;
    writeComparison(out, 0.880000000000001, 4, 3, bounds);
    EXPECT_EQ(out.str(),
              "Other upper bounds from the same probabilities:\n"
              "  Boole        min(1, S1)                     1                   "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  Bonferroni   S1 - S2 + S3                   0.9                 "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  Hunter       S1 - heaviest spanning tree    0.95                "
              "(aggregation, l=4: 0.880000000000001)\n"
              "  sharp        best from S1 ... S3 alone      0.875               "
              "(aggregation, l=4: 0.880000000000001)\n"
              "Smallest upper bound: 0.875 (sharp)\n");
}

TEST(Comparison, NamesEveryBoundThatTiesForTheSmallest) {
    ClassicalBounds bounds{1.0, 0.8, 0.95, {0.8, {0, 1, 2, 3}}, 0.5, {0.6, {0, 1, 2}}};
    std::ostringstream out;
    writeComparison(out, 0.8, 3, 3, bounds);
    EXPECT_NE(out.str().find("Smallest upper bound: 0.8 (aggregation, Bonferroni, sharp)\n"),
              std::string::npos);
}

}  // namespace
}  // namespace unionbound
