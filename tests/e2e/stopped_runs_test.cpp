// Runs that are stopped by a signal or that fail partway: every file the run
// was to replace is left byte for byte as it was, or is the complete new
// one, and nothing else is left beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "e2e/program_runner.hpp"

namespace unionbound::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kSmallCase = fs::path(UNIONBOUND_TEST_DATA) / "golden" / "n10-m3";
constexpr auto kLimit = std::chrono::seconds(60);
// How long a test waits for the moment it stops a run at: far more than the
// moment takes on a loaded machine, so that only a run that never gets there
// fails.
constexpr auto kMomentLimit = std::chrono::milliseconds(30000);

const std::string kEarlierReport = "n=10, m=3, m_k=3\nthe earlier run's report\n";
const std::string kEarlierCsv = "l,q,bound,seconds,best\nthe earlier run's passes\n";

// The CSV text with the seconds of every pass masked, as they vary by run.
std::string maskCsvSeconds(const std::string& csv) {
    std::istringstream lines(csv);
    std::string masked;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t best = line.rfind(',');
        const std::size_t seconds = line.rfind(',', best - 1);
        masked += line.substr(0, seconds) + ",<seconds>" + line.substr(best) + "\n";
    }
    return masked;
}

// The report and CSV file of a complete run, running times masked.
struct CompleteFiles {
    std::string report;
    std::string csv;
};

CompleteFiles completeRun(const std::vector<std::string>& arguments) {
    const ScratchDir dir;
    std::vector<std::string> words = arguments;
    words.insert(words.end(), {"--csv", "passes.csv"});
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, words, "", dir.path(), kLimit);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return {maskReportTimes(readFile(dir.path() / "result.txt")),
            maskCsvSeconds(readFile(dir.path() / "passes.csv"))};
}

// An input whose passes last long enough to be stopped in their midst
// (n = 200, m = 3: 98 passes, a few hundred milliseconds), made by probgen.
const fs::path& longInput() {
    static const ScratchDir dir;
    static const fs::path input = dir.path() / "prob.txt";
    if (!fs::exists(input)) {
        const ProgramRun made = runProgram(
            PROBGEN_PROGRAM, {"-n", "200", "-m", "3", "--mixture", "7"}, "", dir.path(), kLimit);
        EXPECT_EQ(made.exitStatus, 0) << made.err;
    }
    return input;
}

enum class Moment { reading, passes, afterTheReport };

struct Stop {
    const char* name;
    int signalNumber;
    Moment moment;
};

std::ostream& operator<<(std::ostream& out, const Stop& stop) {
    return out << stop.name;
}

class StoppedRun : public ::testing::TestWithParam<Stop> {};

TEST_P(StoppedRun, EndsWithTheSignalsStatusAndLeavesTheEarlierOrTheCompleteFilesAlone) {
    const Stop& stop = GetParam();
    const ScratchDir dir;
    writeFile(dir.path() / "result.txt", kEarlierReport);
    writeFile(dir.path() / "passes.csv", kEarlierCsv);
    const std::set<std::string> before = namesIn(dir.path());
    const ScratchDir fifoDir;
    const fs::path fifo = fifoDir.path() / "prob.txt";
    const fs::path smallInput = kSmallCase / "prob.txt";

    std::vector<std::string> arguments;
    switch (stop.moment) {
        case Moment::reading:
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
            arguments = {"-n", "10", "-m", "3", "--input", fifo.string()};
            break;
        case Moment::passes:
            arguments = {"-n", "200", "-m", "3", "--input", longInput().string()};
            break;
        case Moment::afterTheReport:
            arguments = {"--input", smallInput.string()};  // at the console
            break;
    }
    const CompleteFiles complete =
        stop.moment == Moment::passes
            ? completeRun(arguments)
            : completeRun({"-n", "10", "-m", "3", "--input", smallInput.string()});
    arguments.insert(arguments.end(), {"--csv", "passes.csv"});

    StartedProgram program(UNIONBOUND_PROGRAM, arguments, dir.path());
    const auto deadline = std::chrono::steady_clock::now() + kMomentLimit;
    int fifoFd = -1;
    switch (stop.moment) {
        case Moment::reading: {
            // The program holds the FIFO open and waits for the rest of it.
            while (fifoFd < 0 && std::chrono::steady_clock::now() < deadline) {
                fifoFd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_GE(fifoFd, 0) << "the program never opened its input";
            const std::string part = readFile(smallInput).substr(0, 200);
            ASSERT_EQ(::write(fifoFd, part.data(), part.size()), static_cast<ssize_t>(part.size()));
            break;
        }
        case Moment::passes: {
            // The new report is created once the input is read; its first
            // bytes come before the first pass. (A writer that truncated the
            // earlier report instead would show it by changing it.)
            const auto newReportHasBegun = [&] {
                if (readFile(dir.path() / "result.txt") != kEarlierReport) {
                    return true;
                }
                std::error_code ignored;
                for (const std::string& name : namesIn(dir.path())) {
                    if (before.count(name) == 0 && fs::file_size(dir.path() / name, ignored) > 0 &&
                        !ignored) {
                        return true;
                    }
                }
                return false;
            };
            while (!newReportHasBegun() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ASSERT_TRUE(newReportHasBegun()) << "the passes were not caught running";
            break;
        }
        case Moment::afterTheReport:
            program.type("10\n3\n");
            ASSERT_TRUE(program.waitForOutput("Press RETURN to continue", kMomentLimit));
            break;
    }
    program.signal(stop.signalNumber);
    if (fifoFd >= 0) {
        ::close(fifoFd);
    }
    const ProgramRun run = program.finish("", kLimit);

    EXPECT_EQ(run.exitStatus, 128 + stop.signalNumber) << run.err;
    EXPECT_EQ(namesIn(dir.path()), before) << "no new file may be left beside the report";
    const std::string report = readFile(dir.path() / "result.txt");
    const std::string csv = readFile(dir.path() / "passes.csv");
    switch (stop.moment) {
        case Moment::reading:
            EXPECT_EQ(report, kEarlierReport);
            EXPECT_EQ(csv, kEarlierCsv);
            break;
        case Moment::passes:
            if (report != kEarlierReport) {
                EXPECT_EQ(maskReportTimes(report), complete.report);
            }
            if (csv != kEarlierCsv) {
                EXPECT_EQ(maskCsvSeconds(csv), complete.csv);
            }
            break;
        case Moment::afterTheReport:
            EXPECT_EQ(maskReportTimes(report), complete.report);
            EXPECT_EQ(maskCsvSeconds(csv), complete.csv);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EverySignalAtEveryMoment, StoppedRun,
    ::testing::Values(Stop{"InterruptWhileReading", SIGINT, Moment::reading},
                      Stop{"TerminateWhileReading", SIGTERM, Moment::reading},
                      Stop{"HangUpWhileReading", SIGHUP, Moment::reading},
                      Stop{"InterruptDuringThePasses", SIGINT, Moment::passes},
                      Stop{"TerminateDuringThePasses", SIGTERM, Moment::passes},
                      Stop{"HangUpDuringThePasses", SIGHUP, Moment::passes},
                      Stop{"InterruptAfterTheReport", SIGINT, Moment::afterTheReport},
                      Stop{"TerminateAfterTheReport", SIGTERM, Moment::afterTheReport},
                      Stop{"HangUpAfterTheReport", SIGHUP, Moment::afterTheReport}),
    [](const ::testing::TestParamInfo<Stop>& info) { return std::string(info.param.name); });

// --- Runs that fail partway. ---

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// Room for the program and its libraries, but far less than the gigabytes
// that the sizes below need.
constexpr std::uint64_t kAddressSpace = std::uint64_t{256} << 20;

struct Shortage {
    const char* name;
    const char* program;
    std::vector<std::string> arguments;
    const char* earlierFile;  // the file the run would have replaced
    std::string said;
};

std::ostream& operator<<(std::ostream& out, const Shortage& shortage) {
    return out << shortage.name;
}

// C(n,1) + C(n,2) + C(n,3) for the message that names the probabilities.
std::string countUpToThree(std::uint64_t n) {
    return std::to_string(n + n * (n - 1) / 2 + n * (n - 1) * (n - 2) / 6);
}

class MemoryShortage : public ::testing::TestWithParam<Shortage> {};

TEST_P(MemoryShortage, SaysWhatWasBeingBuiltAndEndsWithStatusOneKeepingTheEarlierFile) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
    }
    const Shortage& shortage = GetParam();
    const ScratchDir dir;
    writeFile(dir.path() / shortage.earlierFile, kEarlierReport);
    const std::set<std::string> before = namesIn(dir.path());
    ChildSettings settings;
    settings.addressSpaceBytes = kAddressSpace;
    const ProgramRun run =
        runProgram(shortage.program, shortage.arguments, "", dir.path(), kLimit, settings);
    EXPECT_EQ(run.exitStatus, 1) << "ended by a signal (an abort) when -1: " << run.err;
    EXPECT_EQ(run.err, shortage.said);
    EXPECT_EQ(readFile(dir.path() / shortage.earlierFile), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    HugeSizes, MemoryShortage,
    ::testing::Values(Shortage{"TheProbabilitiesOfTheLargestCountableN",
                               UNIONBOUND_PROGRAM,
                               {"-n", "2344", "-m", "3"},
                               "result.txt",
                               "error: not enough memory for the " + countUpToThree(2344) +
                                   " intersection probabilities of \"prob.txt\"\n"},
                      Shortage{
                          "ProbgenWideningOneProbabilityToTwoBillionEvents",
                          PROBGEN_PROGRAM,
                          {"-n", "2000000000", "-m", "1", "--independent", "0.5"},
                          "prob.txt",
                          "error: not enough memory for the probabilities of 2000000000 events\n"}),
    [](const ::testing::TestParamInfo<Shortage>& info) { return std::string(info.param.name); });

// The file-size limit stands for a disk that fills partway through a file.
struct CutShort {
    const char* name;
    std::vector<std::string> arguments;
    std::uint64_t fileSizeBytes;
    const char* earlierFile;
    std::string warning;
};

std::ostream& operator<<(std::ostream& out, const CutShort& cut) {
    return out << cut.name;
}

class FileCutShort : public ::testing::TestWithParam<CutShort> {};

TEST_P(FileCutShort, KeepsTheEarlierFileSaysSoAndEndsWithStatusOne) {
    const CutShort& cut = GetParam();
    const ScratchDir dir;
    fs::copy_file(kSmallCase / "prob.txt", dir.path() / "prob.txt");
    writeFile(dir.path() / cut.earlierFile, kEarlierReport);
    const std::set<std::string> before = namesIn(dir.path());
    ChildSettings settings;
    settings.fileSizeBytes = cut.fileSizeBytes;
    const ProgramRun run = runProgram(UNIONBOUND_PROGRAM, cut.arguments,
                                      readFile(kSmallCase / "stdin.txt"), dir.path(), kLimit,
                                      settings);
    EXPECT_EQ(run.exitStatus, 1) << "a run that lost a file is no success";
    EXPECT_EQ(maskConsoleTimes(run.out),
              maskConsoleTimes(readFile(kSmallCase / "expected-stdout.txt")));
    EXPECT_EQ(run.err, cut.warning);
    EXPECT_EQ(readFile(dir.path() / cut.earlierFile), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    FullDisk, FileCutShort,
    ::testing::Values(
        // The header fits, the first pass block does not.
        CutShort{"TheReportAfterItsHeader",
                 {},
                 100,
                 "result.txt",
                 "warning: writing the report \"result.txt\" failed after 0 complete pass blocks: "
                 "File too large; the earlier report, if any, is left as it was\n"},
        // The CSV header fits, its rows do not; the report goes to a device.
        CutShort{"TheCsvFileAfterItsHeader",
                 {"--report", "/dev/null", "--csv", "passes.csv"},
                 40,
                 "passes.csv",
                 "warning: the CSV file \"passes.csv\" could not be written completely\n"}),
    [](const ::testing::TestParamInfo<CutShort>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace unionbound::testing
