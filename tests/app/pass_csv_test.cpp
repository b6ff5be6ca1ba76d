#include "app/pass_csv.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/comparison_report.hpp"

namespace unionbound {
namespace {

TEST(PassCsv, WritesAHeaderAndMarksOnlyTheBestPass) {
    std::ostringstream out;
    writePassCsv(out, {{3, 3, 0.5, 0.0}, {4, 2, 0.25, 1.5}}, 4);
    EXPECT_EQ(out.str(), "l,q,bound,seconds,best\n3,3,0.5,0,0\n4,2,0.25,1.5,1\n");
}

TEST(PassCsv, WritesRealsThatReadBackToTheSameDoubles) {
    const double awkward = 0.1 + 0.2;  // 0.30000000000000004…
    const double tiny = 1.0 / 3.0 * 1e-300;
    std::ostringstream out;
    writePassCsv(out, {{5, 2, awkward, tiny}}, 5);
    const std::string row = out.str().substr(out.str().find('\n') + 1);
    const std::size_t first = row.find(',', row.find(',') + 1);
    const std::size_t second = row.find(',', first + 1);
    EXPECT_EQ(std::strtod(row.substr(first + 1, second - first - 1).c_str(), nullptr), awkward);
    EXPECT_EQ(std::strtod(row.substr(second + 1).c_str(), nullptr), tiny);
}

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
