#include "output/progress.hpp"

#include <gtest/gtest.h>

#include <new>
#include <sstream>

namespace unionbound {
namespace {

TEST(ProgressLine, OverwritesItselfAndBlanksWhatALongerTextLeft) {
    std::ostringstream out;
    ProgressLine line(&out);
    line.show("pass l=3");
    line.show("pass l=10 done");
    line.show("l=4");
    line.clear();
    EXPECT_EQ(out.str(),
              "\rpass l=3"
              "\rpass l=10 done"
              "\rl=4           \rl=4"
              "\r   \r");
}

TEST(ProgressLine, WritesNothingWithoutAStreamOrWithNothingShown) {
    ProgressLine line(nullptr);
    line.show("pass l=3");  // must not crash or write anywhere
    line.clear();
    std::ostringstream out;
    ProgressLine unused(&out);
    unused.clear();  // nothing shown, nothing to blank
    EXPECT_EQ(out.str(), "");
}

TEST(ProgressLine, BlanksWhatItShowedWhenARunEndsThroughAnException) {
    std::ostringstream out;
    try {
        ProgressLine line(&out);
        line.show("sharpest bounds: round 3");
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        out << "error: not enough memory";
    }
    EXPECT_EQ(out.str(),
              "\rsharpest bounds: round 3"
              "\r                        \r"
              "error: not enough memory");
}

}  // namespace
}  // namespace unionbound
