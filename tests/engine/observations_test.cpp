// The probabilities of observed data at the public API: the refusals that a
// caller in C++ can meet (the Python module's tests compare the values with
// probgen's).
#include "unionbound/observations.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace unionbound {
namespace {

TEST(Observations, RefuseWhatIsNoMatrixOfZerosAndOnesWithTheirReason) {
    struct Case {
        std::int64_t events, m;
        std::vector<std::uint8_t> cells;
        const char* message;
    };
    const Case cases[] = {
        {0, 3, {}, "the observations name no events: a row needs at least one column"},
        {3,
         0,
         {1, 0, 1},
         "m=0 is too small: the maximum order of the intersections must be at least 1"},
        {3, 3, {}, "there are no observations (rows of 0 and 1)"},
        {3, 3, {1, 0, 1, 1}, "4 cells are no whole number of rows of 3 events"},
        {3, 3, {1, 0, 1, 0, 2, 1}, "observation 2, event 2: 2 is not 0 or 1"},
        {2000, 9, std::vector<std::uint8_t>(2000, 0),
         "n=2000, m=9 need more intersection probabilities than a 32-bit integer can count"},
    };
    for (const Case& c : cases) {
        const Expected<ObservedProbabilities> observed =
            probabilitiesFromObservations(c.events, c.m, c.cells);
        EXPECT_FALSE(observed.ok()) << c.message;
        EXPECT_EQ(observed.error().kind, ErrorKind::badInput) << c.message;
        EXPECT_EQ(observed.message(), c.message);
    }
}

}  // namespace
}  // namespace unionbound
