#include "output/exact_summary.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "output/comparison_report.hpp"

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
        {"stopped before the first pass",
         {std::nullopt, 0, std::nullopt, 0, 0, Stop::timeLimit},
         "Exact upper bound: none (stopped at the time limit)\n"
         "Exact lower bound: none (stopped at the time limit)\n"},
    };
    for (const Case& test : cases) {
        std::ostringstream out;
        writeExactSummary(out, test.best);
        EXPECT_EQ(out.str(), test.text) << test.name;
    }
}

// A proven bound of the sharpest method.
Bound proven(std::optional<double> value, std::optional<double> distance = std::nullopt,
             std::string why = "") {
    Bound bound;
    bound.value = value;
    bound.proven = true;
    bound.why = std::move(why);
    bound.distance = distance;
    return bound;
}

MethodResult sharpestResult(Bound upper, Bound lower, Stop stop = Stop::none) {
    MethodResult sharpest;
    sharpest.name = "sharpest";
    sharpest.upper = std::move(upper);
    sharpest.lower = std::move(lower);
    sharpest.stop = stop;
    return sharpest;
}

TEST(ExactSummary, GivesTheSharpestValuesOrTheReasonNoneWasProven) {
    std::ostringstream out;
    writeSharpestSummary(out, sharpestResult(proven(0.3), proven(std::nullopt, std::nullopt,
                                                                 "the LP solver stopped")));
    EXPECT_EQ(out.str(),
              "Sharpest upper bound: 0.3\n"
              "Sharpest lower bound: none proven (the LP solver stopped)\n");
}

// Each side of the sharpest bounds: its distance to the sharpest value where
// known, and why the method stopped early, in the summary lines and in its
// row of the comparison (where the other rows say how far they lie from it).
TEST(ExactSummary, SaysHowFarEachSharpestBoundMayBeAndWhyItStoppedInTheSummaryAndTheComparison) {
    struct Case {
        const char* name;
        Bound upper;  // the lower bound is 0.5, its distance unknown
        Stop stop;
        const char* summary;
        const char* row;  // the upper row of the comparison
    };
    const Case cases[] = {
        {"neither known", proven(0.549046116283061), Stop::none,
         "Sharpest upper bound: 0.549046116283061\n"
         "Sharpest lower bound: 0.5\n",
         "  sharpest     best from all the data         0.549046116283061\n"},
        {"distance", proven(0.549046116283061, 2.04e-12), Stop::none,
         "Sharpest upper bound: 0.549046116283061 (at most 2.04e-12 from the sharpest, up to "
         "the LP's tolerance)\n"
         "Sharpest lower bound: 0.5\n",
         "  sharpest     best from all the data         0.549046116283061   "
         "[at most 2.04e-12 from the sharpest]\n"},
        {"time limit", proven(0.61, 0.012345), Stop::timeLimit,
         "Sharpest upper bound: 0.61 (stopped at the time limit: at most 0.0123 from the "
         "sharpest, up to the LP's tolerance)\n"
         "Sharpest lower bound: 0.5 (stopped at the time limit)\n",
         "  sharpest     best from all the data         0.61                "
         "[stopped at the time limit: at most 0.0123 from the sharpest]\n"},
        {"interrupt", proven(0.7, 0.25), Stop::interrupted,
         "Sharpest upper bound: 0.7 (stopped by an interrupt: at most 0.25 from the sharpest, "
         "up to the LP's tolerance)\n"
         "Sharpest lower bound: 0.5 (stopped by an interrupt)\n",
         "  sharpest     best from all the data         0.7                 "
         "[stopped by an interrupt: at most 0.25 from the sharpest]\n"},
        {"memory plan", proven(0.8), Stop::memoryPlan,
         "Sharpest upper bound: 0.8 (stopped by the memory plan)\n"
         "Sharpest lower bound: 0.5 (stopped by the memory plan)\n",
         "  sharpest     best from all the data         0.8                 "
         "[stopped by the memory plan]\n"},
        {"stopped without a value", proven(std::nullopt, std::nullopt, "no round ended"),
         Stop::timeLimit,
         "Sharpest upper bound: none proven (stopped at the time limit: no round ended)\n"
         "Sharpest lower bound: 0.5 (stopped at the time limit)\n",
         ""},
    };
    for (const Case& c : cases) {
        Result result;
        result.methods = {sharpestResult(c.upper, proven(0.5), c.stop), MethodResult{}};
        result.methods.back().name = "classical";
        result.methods.back().upperParts = {{"Boole", "min(1, S1)", 1.0}};
        std::ostringstream summary, comparison;
        writeSharpestSummary(summary, result.methods.front());
        EXPECT_EQ(summary.str(), c.summary) << c.name;

        writeComparison(comparison, comparisonOf(result));
        const std::string lines = comparison.str();
        const std::size_t heading = lines.find('\n') + 1;
        EXPECT_EQ(lines.substr(heading, lines.find("  Boole") - heading), c.row) << c.name;
        // Stopped early, the sharpest bounds are no measure for the others.
        EXPECT_EQ(lines.find("  Boole        min(1, S1)                     1\n") ==
                      std::string::npos,
                  c.stop == Stop::none)
            << c.name << '\n'
            << lines;
    }
}

}  // namespace
}  // namespace unionbound
