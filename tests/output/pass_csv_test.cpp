#include "output/pass_csv.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

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

TEST(PassCsv, AddsTheExactColumnsWithEmptyCellsWhereNothingWasProvenOrRun) {
    std::ostringstream out;
    writePassCsv(out,
                 {{3, 3, 0.5, 0.0, 0.375, std::nullopt},
                  {4, 2, std::nullopt, std::nullopt, std::nullopt, 0.125}},
                 3, true);
    EXPECT_EQ(out.str(),
              "l,q,bound,seconds,best,exact_upper,exact_lower\n"
              "3,3,0.5,0,1,0.375,\n"
              "4,2,,,0,,0.125\n");
}

// A method that stopped early has fewer passes than the other: each pass
// either ran is a row, in increasing l.
TEST(PassCsv, GivesARowToEveryPassOfEitherMethod) {
    const auto pass = [](std::int32_t l, double upper) {
        PassBounds bounds;
        bounds.l = l;
        bounds.q = 12 / l;
        bounds.upper.value = upper;
        return bounds;
    };
    Result result;
    result.methods.resize(2);
    result.methods[0].name = "exact";
    result.methods[0].passes = {pass(3, 0.75), pass(4, 0.625), pass(5, 0.5)};
    result.methods[1].name = "aggregation";
    result.methods[1].passes = {pass(3, 0.875)};
    std::ostringstream out;
    writePassCsv(out, passRowsOf(result), 3, true);
    EXPECT_EQ(out.str(),
              "l,q,bound,seconds,best,exact_upper,exact_lower\n"
              "3,4,0.875,,1,0.75,\n"
              "4,3,,,0,0.625,\n"
              "5,2,,,0,0.5,\n");
}

}  // namespace
}  // namespace unionbound
