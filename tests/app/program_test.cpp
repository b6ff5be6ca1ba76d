#include "app/program.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "cli/exit_status.hpp"
#include "e2e/program_runner.hpp"

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

// Six disjoint events of probability 1/8, orders up to 3.
std::string sixDisjointEvents() {
    std::string text;
    for (int i = 0; i < 6 + 15 + 20; ++i) {
        text += i < 6 ? "0.125\n" : "0\n";
    }
    return text;
}

TEST(ProgramJson, GoesAloneToStandardOutputForDashTheProgramsLinesToStandardError) {
    testing::ScratchDir dir;
    const std::string input = (dir.path() / "prob.txt").string();
    const std::string json = (dir.path() / "run.json").string();
    testing::writeFile(input, sixDisjointEvents());
    const std::vector<std::string> words{"-n", "6", "-m", "3", "--input", input, "--report",
                                         (dir.path() / "result.txt").string(), "--exact",
                                         "--compare"};
    const auto run = [&](std::vector<std::string> more, std::ostringstream& out,
                         std::ostringstream& err) {
        std::vector<std::string> all = words;
        all.insert(all.end(), more.begin(), more.end());
        std::istringstream in;
        return runCommandLine(all, in, out, err, false);
    };
    std::ostringstream plainOut, plainErr, fileOut, fileErr, dashOut, dashErr;
    ASSERT_EQ(run({}, plainOut, plainErr), kExitSuccess) << plainErr.str();
    ASSERT_EQ(run({"--json", json}, fileOut, fileErr), kExitSuccess) << fileErr.str();
    ASSERT_EQ(run({"--json", "-"}, dashOut, dashErr), kExitSuccess) << dashErr.str();

    // Written to a file, the record leaves the console lines as they were.
    EXPECT_EQ(testing::maskConsoleTimes(fileOut.str()), testing::maskConsoleTimes(plainOut.str()));
    EXPECT_EQ(fileErr.str(), "");
    const nlohmann::json record = nlohmann::json::parse(testing::readFile(json));
    EXPECT_EQ(record["problem"], nlohmann::json({{"n", 6}, {"m", 3}, {"input", input}}));
    EXPECT_EQ(record["best"]["upper_method"], "classical");  // Boole meets the aggregation at 0.75, and is more certain
    // To standard output it is all there is (parse() refuses anything after
    // the object), and the console lines go to standard error.
    const nlohmann::json streamed = nlohmann::json::parse(dashOut.str());
    EXPECT_EQ(streamed["best"], record["best"]);
    EXPECT_EQ(streamed["methods"]["exact"]["passes"], record["methods"]["exact"]["passes"]);
    EXPECT_EQ(testing::maskConsoleTimes(dashErr.str()), testing::maskConsoleTimes(plainOut.str()));
}

TEST(ProgramJson, RefusesAFileItCannotWriteBeforeAnythingIsRead) {
    testing::ScratchDir dir;
    const std::string report = (dir.path() / "result.txt").string();
    std::istringstream in;
    std::ostringstream out, err;
    const std::string json = (dir.path() / "missing" / "run.json").string();
    EXPECT_EQ(runCommandLine({"-n", "6", "-m", "3", "--input", (dir.path() / "none.txt").string(),
                              "--report", report, "--json", json},
                             in, out, err, false),
              kExitBadData);
    EXPECT_EQ(err.str(),
              "error: cannot write the JSON file \"" + json + "\": No such file or directory\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists(report));
}

}  // namespace
}  // namespace unionbound
