// The real program with one thread and with more: the same report, console
// output and CSV file, byte for byte apart from the running times, whether
// the count comes from --threads or from UNIONBOUND_THREADS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <optional>
#include <regex>
#include <string>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

// Sets an environment variable for the programs started in its lifetime
// (unset for a null value), then restores what was there.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// The CSV file with the seconds of every pass replaced by <s>.
std::string maskCsvTimes(const std::string& csv) {
    return std::regex_replace(csv, std::regex(R"(^(\d+,\d+,[^,]+),[^,]+,)",
                                              std::regex::multiline),
                              "$1,<s>,");
}

struct Outputs {
    std::string console, report, csv;
};

// A batch run with --compare and --csv in `dir` on its prob.txt.
Outputs runWith(const std::filesystem::path& dir, std::vector<std::string> extra,
                const char* variable) {
    const ScopedVariable threads("UNIONBOUND_THREADS", variable);
    std::vector<std::string> words = {"-n", "200", "-m", "3", "--compare", "--csv", "passes.csv"};
    words.insert(words.end(), extra.begin(), extra.end());
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, words, "", dir);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return {maskConsoleTimes(run.out), maskReportTimes(readFile(dir / "result.txt")),
            maskCsvTimes(readFile(dir / "passes.csv"))};
}

TEST(Threads, ARunWithOneThreadGivesTheSameBytesAsWithMore) {
    // 1 333 500 probabilities: many blocks of the reader, and a walk that
    // the two threads share.
    ScratchDir dir;
    const ProgramRun generated = runProgram(
        PROBGEN_PROGRAM, {"-n", "200", "-m", "3", "--mixture", "3", "--output", "prob.txt"}, "",
        dir.path());
    ASSERT_EQ(generated.exitStatus, 0) << generated.err;
    const Outputs alone = runWith(dir.path(), {"--threads", "1"}, nullptr);
    ASSERT_NE(alone.console.find("Smallest upper bound"), std::string::npos) << alone.console;
    // Every one of the 98 passes has its seconds masked.
    const std::regex maskedRow(R"(\n\d+,\d+,[^,\n]+,<s>,[01])");
    EXPECT_EQ(std::distance(std::sregex_iterator(alone.csv.begin(), alone.csv.end(), maskedRow),
                            std::sregex_iterator()),
              98)
        << alone.csv.substr(0, 200);
    const struct {
        const char* name;
        std::vector<std::string> extra;
        const char* variable;
    } runs[] = {
        {"--threads 2", {"--threads", "2"}, nullptr},
        {"--threads=3", {"--threads=3"}, nullptr},
        {"UNIONBOUND_THREADS=1", {}, "1"},
        {"UNIONBOUND_THREADS=2", {}, "2"},
        {"the option over a bad variable", {"--threads", "2"}, "many"},
    };
    for (const auto& r : runs) {
        const Outputs other = runWith(dir.path(), r.extra, r.variable);
        EXPECT_EQ(other.console, alone.console) << r.name;
        EXPECT_EQ(other.report, alone.report) << r.name;
        EXPECT_EQ(other.csv, alone.csv) << r.name;
    }
}

TEST(Threads, ABadVariableIsAUsageErrorBeforeAnyFileIsTouched) {
    ScratchDir dir;
    const ScopedVariable threads("UNIONBOUND_THREADS", "0");
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {"-n", "10", "-m", "3"}, "", dir.path());
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err.rfind("error: UNIONBOUND_THREADS (the number of threads) must be a whole "
                            "number from 1 to 256, not \"0\"\nUsage: unionbound",
                            0),
              0u)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace unionbound::testing
