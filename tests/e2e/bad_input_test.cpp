// The executable against bad input: what it refuses, with which message and
// exit status, and that a refusal never costs the earlier "result.txt".
// Every run has a time limit, so a hang fails the test instead of the suite.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCase = fs::path(UNIONBOUND_TEST_DATA) / "golden" / "n10-m3";
constexpr auto kLimit = std::chrono::seconds(30);
// The nobody user: runs that must meet a permission refusal drop to it when
// the tests run as root, for whom no permission bit refuses anything.
constexpr unsigned kNobody = 65534;

// An earlier report, with bytes a careless rewrite would not keep.
const char kEarlierBytes[] = "n=10, m=3, m_k=3\r\nearlier run\0\xff\n";
const std::string kEarlierReport(kEarlierBytes, sizeof kEarlierBytes - 1);

std::string typedAnswers() {
    return readFile(kCase / "stdin.txt");
}
std::string cleanFile() {
    return readFile(kCase / "prob.txt");
}

std::vector<std::string> tokensOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) {
        tokens.push_back(token);
    }
    return tokens;
}

// The clean file's numbers, one blank apart, with number `position` (from 1)
// replaced by `replacement` and cut after `keep` numbers.
std::string cleanNumbersWith(std::size_t position, const std::string& replacement,
                             std::size_t keep = 175) {
    const std::vector<std::string> tokens = tokensOf(cleanFile());
    std::string text;
    for (std::size_t i = 0; i < keep && i < tokens.size(); ++i) {
        text += (i + 1 == position ? replacement : tokens[i]) + (i % 10 == 9 ? "\n" : " ");
    }
    return text;
}

std::string binaryBytes() {
    std::string bytes =
        "\x7f"
        "ELF\x02\x01\x01";
    std::uint32_t state = 12345;
    while (bytes.size() < 4096) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

using Prepare = std::function<void(const fs::path& dir)>;

Prepare probText(std::string text) {
    return [text](const fs::path& dir) { writeFile(dir / "prob.txt", text); };
}
// A prob.txt for n = 200, m = 3 (1 333 500 numbers, one a line) whose
// numbers are all 0.25 but the last, `last`: read and summed in many blocks
// before the last one is met.
Prepare longFileEndingIn(std::string last) {
    return [last](const fs::path& dir) {
        std::string text;
        for (int i = 1; i < 1333500; ++i) {
            text += "0.25\n";
        }
        writeFile(dir / "prob.txt", text + last + "\n");
    };
}
const Prepare kCleanProb = [](const fs::path& dir) { writeFile(dir / "prob.txt", cleanFile()); };
const Prepare kNoProb = [](const fs::path&) {};
const Prepare kProbFolder = [](const fs::path& dir) { fs::create_directory(dir / "prob.txt"); };

// --- Refusals: before any pass, so the earlier report stays as it was. ---

struct Refusal {
    const char* name;
    std::string typed;
    Prepare prepare;
    std::vector<std::string> said;  // parts of the message on standard error
};

std::ostream& operator<<(std::ostream& out, const Refusal& refusal) {
    return out << refusal.name;
}

class RefusedInput : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedInput, ExitsWithStatusOneNamingTheProblemAndKeepsTheEarlierReport) {
    const Refusal& refusal = GetParam();
    ScratchDir dir;
    refusal.prepare(dir.path());
    writeFile(dir.path() / "result.txt", kEarlierReport);
    const std::set<std::string> before = namesIn(dir.path());

    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {}, refusal.typed, dir.path(), kLimit);

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err.rfind("error: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    for (const std::string& part : refusal.said) {
        EXPECT_NE(run.err.find(part), std::string::npos)
            << "missing \"" << part << "\" in " << run.err;
    }
    EXPECT_EQ(run.out.find("Upper bound"), std::string::npos) << run.out;
    EXPECT_EQ(readFile(dir.path() / "result.txt"), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), before);
}

const std::string kTen = "10\n3\n\n\n";

INSTANTIATE_TEST_SUITE_P(
    BadInput, RefusedInput,
    ::testing::Values(
        Refusal{"EmptyConsoleInput", "", kCleanProb, {"the input ended before n"}},
        Refusal{"InputEndingBeforeM", "10\n", kCleanProb, {"the input ended before m"}},
        Refusal{"LettersForN",
                "ten\n3\n",
                kCleanProb,
                {"n (the number of events) must be a whole number, not \"ten\""}},
        Refusal{
            "LettersForM",
            "10\nthree\n",
            kCleanProb,
            {"m (the maximum order of the intersections) must be a whole number, not \"three\""}},
        Refusal{"DecimalN", "10.0\n3\n", kCleanProb, {"must be a whole number, not \"10.0\""}},
        Refusal{"NegativeN", "-10\n3\n", kCleanProb, {"n=-10 is too small"}},
        Refusal{"NegativeM", "10\n-3\n", kCleanProb, {"m=-3 is too small"}},
        Refusal{"ZeroM", "10\n0\n", kCleanProb, {"m=0 is too small"}},
        Refusal{"TooFewEvents", "5\n3\n", kCleanProb, {"n=5 is too small"}},
        Refusal{"NBeyond32Bits", "4294967296\n3\n", kCleanProb, {"n=4294967296 is too large"}},
        Refusal{"NBeyond64Bits",
                "99999999999999999999999\n3\n",
                kCleanProb,
                {"\"99999999999999999999999\" is too large"}},
        Refusal{"MBeyond64Bits",
                "10\n-99999999999999999999999\n",
                kCleanProb,
                {"\"-99999999999999999999999\" is too small"}},
        Refusal{"EvenM", "10\n4\n", kCleanProb, {"m=4 is even"}},
        Refusal{"MOfOne", "10\n1\n", kCleanProb, {"m=1 is too small"}},
        Refusal{"MAboveHalfOfN", "10\n7\n", kCleanProb, {"m=7 is larger than n/2=5"}},
        Refusal{"TooManyProbabilities",
                "3000\n3\n",
                kNoProb,
                {"need more intersection probabilities than a 32-bit integer can count"}},
        Refusal{"MissingProbFile",
                kTen,
                kNoProb,
                {"cannot open \"prob.txt\": No such file or directory"}},
        Refusal{"EmptyProbFile",
                kTen,
                probText(""),
                {"\"prob.txt\" ends after 0 of the 175 numbers expected for n=10, m=3"}},
        Refusal{"BlankProbFile", kTen, probText(" \r\n\t\n"), {"ends after 0 of the 175 numbers"}},
        Refusal{"ShortProbFile",
                kTen,
                probText(cleanNumbersWith(0, "", 173)),
                {"ends after 173 of the 175 numbers"}},
        Refusal{"BinaryProbFile",
                kTen,
                probText(binaryBytes()),
                {"\"prob.txt\", line 1, number 1 of 175", "is not a number"}},
        Refusal{"ProbFileWithNul",
                kTen,
                probText(cleanNumbersWith(5, std::string("0.1\0", 4))),
                {"number 5 of 175 (the probability of event 5): \"0.1\\x00\" is not a number"}},
        Refusal{"NotANumberInProbFile",
                kTen,
                probText(cleanNumbersWith(11, "nan")),
                {"line 2, number 11 of 175 (the probability of the intersection of events 1, 2): "
                 "\"nan\" is not a number"}},
        Refusal{"InfinityInProbFile",
                kTen,
                probText(cleanNumbersWith(12, "inf")),
                {"number 12 of 175", "\"inf\" is not a number"}},
        Refusal{"OverflowInProbFile",
                kTen,
                probText(cleanNumbersWith(175, "1e999")),
                {"number 175 of 175 (the probability of the intersection of events 8, 9, 10): "
                 "\"1e999\" is not a finite number"}},
        Refusal{"ProbabilityAboveOne",
                kTen,
                probText(cleanNumbersWith(100, "1.5")),
                {"number 100 of 175", "\"1.5\" is not a probability: it lies outside [0, 1]"}},
        Refusal{"NegativeProbability",
                kTen,
                probText(cleanNumbersWith(3, "-0.25")),
                {"number 3 of 175", "\"-0.25\" is not a probability"}},
        Refusal{"CommaDecimalInProbFile",
                kTen,
                probText(cleanNumbersWith(2, "0,25")),
                {"\"0,25\" is not a number"}},
        Refusal{
            "FolderNamedProbTxt", kTen, kProbFolder, {"cannot read \"prob.txt\": Is a directory"}},
        Refusal{"BadLastNumberOfALongFile",
                "200\n3\n",
                longFileEndingIn("0.5x"),
                {"line 1333500, number 1333500 of 1333500 (the probability of the intersection of "
                 "events 198, 199, 200): \"0.5x\" is not a number"}}),
    [](const ::testing::TestParamInfo<Refusal>& test) { return std::string(test.param.name); });

// --- Files that look odd but hold the right numbers: the same run as the clean file. ---

struct Tolerated {
    const char* name;
    std::function<std::string()> text;
    const char* warning = "";  // on standard error; the standard output is the clean file's
};

std::ostream& operator<<(std::ostream& out, const Tolerated& tolerated) {
    return out << tolerated.name;
}

class TolerableProbFile : public ::testing::TestWithParam<Tolerated> {};

TEST_P(TolerableProbFile, GivesTheBoundAndTheReportOfTheCleanFile) {
    ScratchDir dir;
    writeFile(dir.path() / "prob.txt", GetParam().text());
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {}, typedAnswers(), dir.path(), kLimit);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, GetParam().warning);
    EXPECT_EQ(maskConsoleTimes(run.out), maskConsoleTimes(readFile(kCase / "expected-stdout.txt")));
    EXPECT_EQ(maskReportTimes(readFile(dir.path() / "result.txt")),
              maskReportTimes(readFile(kCase / "expected-result.txt")));
}

std::string withCrlf(std::string text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    OddButValid, TolerableProbFile,
    ::testing::Values(
        Tolerated{"CrlfLineEnds", [] { return withCrlf(cleanFile()); }},
        Tolerated{"MoreNumbersThanNeeded", [] { return cleanFile() + "0.5 0.25\n1\n"; },
                  "warning: \"prob.txt\" holds 178 words, not the 175 numbers expected for "
                  "n=10, m=3: the 3 after them are not read\n"},
        Tolerated{"WordsAfterTheNumbers", [] { return cleanFile() + "\nend of the\ndata\n"; },
                  "warning: \"prob.txt\" holds 179 words, not the 175 numbers expected for "
                  "n=10, m=3: the 4 after them are not read\n"},
        Tolerated{"NoLineBreakAtAll", [] { return cleanNumbersWith(0, "") + "\t"; }}),
    [](const ::testing::TestParamInfo<Tolerated>& test) { return std::string(test.param.name); });

// --- A report that cannot be written: the passes and the summary still run. ---

// Runs the n = 10, m = 3 case in `dir`; as nobody when the tests run as root.
// Nobody may be unable to reach the build folder (a clone in a folder only
// its owner can enter), so it runs a copy of the program in a fresh folder
// that everyone may enter.
struct UnprivilegedRun {
    ProgramRun run;
    std::string whyNot;  // why the run could not be made; empty when it was
};

UnprivilegedRun runWithoutPermission(const fs::path& dir) {
    if (::geteuid() != 0) {
        return {runProgram(UNIONBOUND_PROGRAM, {}, typedAnswers(), dir, kLimit), ""};
    }
    const ScratchDir copyDir;
    const fs::path copy = copyDir.path() / "unionbound";
    fs::copy_file(UNIONBOUND_PROGRAM, copy);
    const fs::perms everyoneMayRun = fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec;
    fs::permissions(copyDir.path(), everyoneMayRun);
    fs::permissions(copy, everyoneMayRun);
    UnprivilegedRun attempt{runProgram(copy, {}, typedAnswers(), dir, kLimit, kNobody), ""};
    if (attempt.run.exitStatus == 125) {
        attempt.whyNot = "cannot switch to the nobody user here";
    } else if (attempt.run.exitStatus == 126 || attempt.run.exitStatus == 127) {
        attempt.whyNot = "the nobody user cannot enter " + dir.string() + " or run a copy of " +
                         "the program in " + copyDir.path().string() +
                         " (a folder above is closed to other users, or mounted noexec)";
    }
    return attempt;
}

void expectSummaryOfTheCleanRun(const ProgramRun& run) {
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(maskConsoleTimes(run.out), maskConsoleTimes(readFile(kCase / "expected-stdout.txt")));
    EXPECT_EQ(run.exitStatus, 1) << "a report that was not written is no success";
}

TEST(UnwritableReport, AFolderNamedResultTxtGivesTheSummaryAWarningAndStatusOne) {
    ScratchDir dir;
    kCleanProb(dir.path());
    fs::create_directory(dir.path() / "result.txt");
    writeFile(dir.path() / "result.txt" / "kept", kEarlierReport);
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {}, typedAnswers(), dir.path(), kLimit);
    expectSummaryOfTheCleanRun(run);
    EXPECT_EQ(run.err,
              "warning: cannot write the report \"result.txt\": Is a directory; the passes run "
              "without it\n");
    EXPECT_EQ(readFile(dir.path() / "result.txt" / "kept"), kEarlierReport);
}

TEST(UnwritableReport, AFullDeviceGivesTheSummaryAWarningAndStatusOne) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "this system has no /dev/full";
    }
    ScratchDir dir;
    kCleanProb(dir.path());
    fs::create_symlink("/dev/full", dir.path() / "result.txt");
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, {}, typedAnswers(), dir.path(), kLimit);
    expectSummaryOfTheCleanRun(run);
    EXPECT_EQ(run.err,
              "warning: writing the report \"result.txt\" failed after 0 complete pass blocks: "
              "No space left on device; the report is incomplete\n");
}

TEST(UnwritableReport, AReadOnlyResultTxtIsKeptAndGivesAWarningAndStatusOne) {
    ScratchDir dir;
    kCleanProb(dir.path());
    writeFile(dir.path() / "result.txt", kEarlierReport);
    fs::permissions(dir.path() / "result.txt",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::all);
    const UnprivilegedRun attempt = runWithoutPermission(dir.path());
    if (!attempt.whyNot.empty()) {
        GTEST_SKIP() << attempt.whyNot;
    }
    const ProgramRun& run = attempt.run;
    expectSummaryOfTheCleanRun(run);
    EXPECT_EQ(run.err,
              "warning: cannot write the report \"result.txt\": Permission denied; the passes run "
              "without it\n");
    EXPECT_EQ(readFile(dir.path() / "result.txt"), kEarlierReport);
}

TEST(UnwritableReport, AReadOnlyWorkingFolderGivesAWarningAndStatusOne) {
    ScratchDir dir;
    kCleanProb(dir.path());
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const UnprivilegedRun attempt = runWithoutPermission(dir.path());
    if (!attempt.whyNot.empty()) {
        GTEST_SKIP() << attempt.whyNot;
    }
    const ProgramRun& run = attempt.run;
    expectSummaryOfTheCleanRun(run);
    EXPECT_EQ(run.err,
              "warning: cannot write the report \"result.txt\": Permission denied; the passes run "
              "without it\n");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"prob.txt"});
}

TEST(UnwritableReport, AWritableResultTxtInAReadOnlyFolderIsKeptAndGivesAWarningAndStatusOne) {
    ScratchDir dir;
    kCleanProb(dir.path());
    writeFile(dir.path() / "result.txt", kEarlierReport);
    fs::permissions(dir.path() / "result.txt", fs::perms::all);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const UnprivilegedRun attempt = runWithoutPermission(dir.path());
    if (!attempt.whyNot.empty()) {
        GTEST_SKIP() << attempt.whyNot;
    }
    expectSummaryOfTheCleanRun(attempt.run);
    EXPECT_EQ(attempt.run.err,
              "warning: cannot write the report \"result.txt\": Permission denied; the passes run "
              "without it\n");
    EXPECT_EQ(readFile(dir.path() / "result.txt"), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"prob.txt", "result.txt"}));
}

}  // namespace
}  // namespace unionbound::testing
