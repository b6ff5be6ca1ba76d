#include "output/exact_summary.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace unionbound {
namespace {

TEST(ExactSummary, ShowsEachSidesBestPassTheIntervalOnlyWhenBothAreProvenAndWhyNoneIs) {
    struct Case {
        const char* name;
        BestExactBounds best;
        const char* text;
    };
    const Case cases[] = {
        {"both proven",
         {0.6039016735898294, 6, 0.5299363039698159, 5, 4},
         "Exact upper bound: 0.603901673589829 (l=6)\n"
         "Exact lower bound: 0.529936303969816 (l=5)\n"
         "Exact interval: [0.529936303969816, 0.603901673589829]\n"},
        {"lower unproven",
         {1.0, 3, std::nullopt, 0, 2},
         "Exact upper bound: 1 (l=3)\nExact lower bound: none proven\n"},
        {"no passes",
         {std::nullopt, 0, std::nullopt, 0, 0},
         "Exact upper bound: none (no passes: m > n/2)\n"
         "Exact lower bound: none (no passes: m > n/2)\n"},
    };
    for (const Case& test : cases) {
        std::ostringstream out;
        writeExactSummary(out, test.best);
        EXPECT_EQ(out.str(), test.text) << test.name;
    }
}

TEST(ExactSummary, GivesTheSharpestValuesOrTheReasonNoneWasProven) {
    std::ostringstream out;
    writeSharpestSummary(out, {{0.3, ""}, {std::nullopt, "the LP solver stopped"}, false, ""});
    EXPECT_EQ(out.str(),
              "Sharpest upper bound: 0.3\n"
              "Sharpest lower bound: none proven (the LP solver stopped)\n");
}

}  // namespace
}  // namespace unionbound
