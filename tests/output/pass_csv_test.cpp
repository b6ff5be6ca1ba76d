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

}  // namespace
}  // namespace unionbound
