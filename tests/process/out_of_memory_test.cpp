#include "process/out_of_memory.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

namespace unionbound {
namespace {

// Stands for a build that asks for more memory than there is.
int runOutOfMemory() {
    throw std::bad_alloc();
}

struct Ending {
    const char* name;
    std::function<int()> body;
    int status;
    const char* said;
};

TEST(OutOfMemory, EndsWithStatusOneNamingTheInnermostThingBeingBuilt) {
    const Ending endings[] = {
        {"a body that succeeds", [] { return 0; }, 0, ""},
        {"a body with its own status", [] { return 2; }, 2, ""},
        {"a shortage outside any build", [] { return runOutOfMemory(); }, 1,
         "error: not enough memory for the run\n"},
        {"a shortage in a named build",
         [] { return buildingFor("the tables of the pass l=4", [] { return runOutOfMemory(); }); },
         1, "error: not enough memory for the tables of the pass l=4\n"},
        {"a shortage in a build within a build",
         [] {
             return buildingFor("the passes", [] {
                 return buildingFor("the moments", [] { return runOutOfMemory(); });
             });
         },
         1, "error: not enough memory for the moments\n"},
    };
    for (const Ending& ending : endings) {
        std::ostringstream err;
        EXPECT_EQ(endingWhenMemoryRunsOut(err, 1, ending.body), ending.status) << ending.name;
        EXPECT_EQ(err.str(), ending.said) << ending.name;
    }
}

}  // namespace
}  // namespace unionbound
