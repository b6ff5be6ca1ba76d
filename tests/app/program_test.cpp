#include "app/program.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.hpp"
#include "cli/exit_status.hpp"

namespace unionbound {
namespace {

TEST(ProgramCommandLine, PrintsUsageErrorsWithAReminderAndStatusTwo) {
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runCommandLine({"--bogus"}, in, out, err, false), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "error: unknown option \"--bogus\"\n" + usageReminder());
}

TEST(ProgramCommandLine, PrintsHelpAndVersionOnStandardOutput) {
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runCommandLine({"--help"}, in, out, err, false), kExitSuccess);
    EXPECT_EQ(out.str(), usageText());
    EXPECT_NE(usageText().find("Examples:"), std::string::npos);
    std::ostringstream out2;
    EXPECT_EQ(runCommandLine({"--version"}, in, out2, err, false), kExitSuccess);
    EXPECT_EQ(out2.str(), versionText());
    EXPECT_EQ(versionText().rfind("unionbound ", 0), 0u);
    EXPECT_EQ(err.str(), "");
}

TEST(ProgramCommandLine, RefusesBatchValuesAsTheConsoleDoesWithStatusOne) {
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runCommandLine({"-n", "10", "-m", "4"}, in, out, err, false), kExitBadData);
    EXPECT_EQ(err.str(),
              "error: m=4 is even: the maximum order m must be an odd number (an even m gives "
              "no upper bound)\n");
    std::ostringstream err2;
    EXPECT_EQ(runCommandLine({"-n", "5", "-m", "3"}, in, out, err2, false), kExitBadData);
    EXPECT_EQ(err2.str(),
              "error: n=5 is too small: at least 6 events are needed (two subsequences of at "
              "least 3 events each)\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace unionbound
