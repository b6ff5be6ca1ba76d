#include "process/interruption.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace unionbound {
namespace {

namespace fs = std::filesystem;

// Ends a child with 0 when the signal kept by the deferral is `expected`.
[[noreturn]] void endWithTheKeptSignal(int expected) {
    const bool arrived = interruptionArrived();
    _exit(arrived && endDeferredInterruptions() == expected ? 0 : 3);
}

struct Moment {
    const char* name;
    std::function<void()> signals;  // in the child, the handlers installed
    int status;
    bool fileStays;
};

TEST(Interruption, KeepsTheFirstSignalOfADeferralForTheProgramAndEndsTheProcessAtAnyOther) {
    const Moment moments[] = {
        {"during a deferral",
         [] {
             deferInterruptions();
             raise(SIGINT);
             endWithTheKeptSignal(SIGINT);
         },
         0, true},
        {"a second during a deferral",
         [] {
             deferInterruptions();
             raise(SIGHUP);
             raise(SIGTERM);
         },
         128 + SIGTERM, false},
        {"after a deferral",
         [] {
             deferInterruptions();
             endDeferredInterruptions();
             raise(SIGHUP);
         },
         128 + SIGHUP, false},
        {"without a deferral", [] { raise(SIGINT); }, 128 + SIGINT, false},
    };
    const fs::path file =
        fs::temp_directory_path() / ("unionbound-interruption-test-" + std::to_string(getpid()));
    for (const Moment& moment : moments) {
        std::fclose(std::fopen(file.c_str(), "w"));
        EXPECT_EXIT(
            {
                if (!registerFileToRemove(file.c_str())) {
                    _exit(2);
                }
                installInterruptionHandlers();
                moment.signals();
                _exit(1);
            },
            ::testing::ExitedWithCode(moment.status), "")
            << moment.name;
        EXPECT_EQ(fs::exists(file), moment.fileStays) << moment.name;
        fs::remove(file);
    }
}

TEST(Interruption, LeavesNothingToEndWithWhenNoSignalCameDuringADeferral) {
    deferInterruptions();
    EXPECT_FALSE(interruptionArrived());
    EXPECT_EQ(endDeferredInterruptions(), 0);
    EXPECT_EQ(endDeferredInterruptions(), 0);
}

}  // namespace
}  // namespace unionbound
