// The best interval of a run: the smallest upper and the largest lower bound,
// where a bound that contradicts a more certain one of the other side gives
// way to it, with a note that says which and why.
#include "engine/best_interval.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace unionbound::engine {
namespace {

// A method's own bounds; `upper` or `lower` may be left without a value.
MethodResult method(const char* name, std::optional<double> upper, std::optional<double> lower) {
    MethodResult result;
    result.name = name;
    result.upper.value = upper;
    result.lower.value = lower;
    result.upper.proven = result.lower.proven = std::string(name) == "exact";
    return result;
}

MethodResult classical(std::optional<double> sharpUpper, std::optional<double> sharpLower) {
    MethodResult result;
    result.name = "classical";
    result.upperParts = {{"Boole", "min(1, S1)", 1.0}, {"sharp", "", sharpUpper}};
    result.lowerParts = {{"sharp", "", sharpLower}};
    return result;
}

TEST(BestInterval, PassesOverABoundThatAMoreCertainOneContradictsAndSaysWhy) {
    struct Case {
        const char* name;
        std::vector<MethodResult> methods;
        double upper;
        const char* upperMethod;
        double lower;
        const char* lowerMethod;
        std::vector<std::string> notes;
    };
    const std::vector<Case> cases = {
        {"the aggregation's rounding below the classical lower bound",
         {method("aggregation", 0.299999999999999, std::nullopt), classical(0.3, 0.3)},
         0.3, "classical", 0.3, "classical",
         {"the aggregation upper bound 0.299999999999999 lies below the sharp lower bound 0.3: "
          "it is a floating-point value, not proven, which rounding has moved past the truth, "
          "so it is passed over"}},
        {"a classical closed form below a proven lower bound",
         {method("exact", 0.5, 0.4), classical(0.39, 0.2)},
         0.5, "exact", 0.4, "exact",
         {"the sharp upper bound 0.39 lies below the exact lower bound 0.4: it is a closed form "
          "evaluated in floating point, not proven, which rounding has moved past the truth, so "
          "it is passed over"}},
        {"bounds of the same certainty crossed",
         {classical(0.3, 0.30000000000000004)},
         0.3, "classical", 0.30000000000000004, "classical",
         {"the sharp lower bound 0.3 lies above the sharp upper bound 0.3: neither is proven, and "
          "rounding has moved one of them past the truth"}},
        {"equal values: the most certain gives the side",
         {method("aggregation", 0.75, std::nullopt), method("exact", 0.75, 0.5)},
         0.75, "exact", 0.5, "exact", {}},
    };
    for (const Case& c : cases) {
        const Interval best = bestInterval(c.methods);
        EXPECT_EQ(best.upper.value, c.upper) << c.name;
        EXPECT_EQ(best.upperMethod, c.upperMethod) << c.name;
        EXPECT_EQ(best.lower.value, c.lower) << c.name;
        EXPECT_EQ(best.lowerMethod, c.lowerMethod) << c.name;
        EXPECT_EQ(best.notes, c.notes) << c.name;
    }
}

}  // namespace
}  // namespace unionbound::engine
