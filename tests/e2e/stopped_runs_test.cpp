// Runs that are stopped by a signal or that fail partway: every file the run
// was to replace is left byte for byte as it was, or is the complete new
// one, and nothing else is left beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
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

// Waits until `ready` holds; false when kMomentLimit passes first.
bool waitUntil(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + kMomentLimit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
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
    const ScratchDir dir, fifoDir;
    const fs::path report = dir.path() / "result.txt", csv = dir.path() / "passes.csv";
    writeFile(report, kEarlierReport);
    writeFile(csv, kEarlierCsv);
    const std::set<std::string> before = namesIn(dir.path());
    const fs::path fifo = fifoDir.path() / "prob.txt";
    const std::string smallInput = (kSmallCase / "prob.txt").string();

    std::vector<std::string> arguments = {"-n", "10", "-m", "3", "--input", smallInput};
    if (stop.moment == Moment::passes) {
        arguments = {"-n", "200", "-m", "3", "--input", longInput().string()};
    }
    // The files of the same run left to finish, made only when needed.
    const auto complete = [reference = arguments] { return completeRun(reference); };
    if (stop.moment == Moment::reading) {
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        arguments.back() = fifo.string();
    } else if (stop.moment == Moment::afterTheReport) {
        arguments = {"--input", smallInput};  // at the console, which waits for RETURN
    }
    arguments.insert(arguments.end(), {"--csv", "passes.csv"});

    StartedProgram program(UNIONBOUND_PROGRAM, arguments, dir.path());
    int fifoFd = -1;
    switch (stop.moment) {
        case Moment::reading: {
            // The program holds the FIFO open and waits for the rest of it.
            ASSERT_TRUE(waitUntil([&] {
                fifoFd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                return fifoFd >= 0;
            })) << "the program never opened its input";
            const std::string part = readFile(smallInput).substr(0, 200);
            ASSERT_EQ(::write(fifoFd, part.data(), part.size()), static_cast<ssize_t>(part.size()));
            break;
        }
        case Moment::passes:
            // The new report is made once the input is read; its header comes
            // before the first pass. (A writer that truncated the earlier
            // report instead would show by changing it.)
            ASSERT_TRUE(waitUntil([&] {
                std::error_code ignored;
                for (const std::string& name : namesIn(dir.path())) {
                    if (before.count(name) == 0 && fs::file_size(dir.path() / name, ignored) > 0) {
                        return true;
                    }
                }
                return readFile(report) != kEarlierReport;
            })) << "the passes were not caught running";
            break;
        case Moment::afterTheReport:
            program.type("10\n3\n");
            ASSERT_TRUE(waitUntil([&] {
                return readFile(report) != kEarlierReport && readFile(csv) != kEarlierCsv;
            }));
            break;
    }
    program.signal(stop.signalNumber);
    if (fifoFd >= 0) {
        ::close(fifoFd);
    }
    const ProgramRun run = program.finish("", kLimit);

    EXPECT_EQ(run.exitStatus, 128 + stop.signalNumber) << run.err;
    EXPECT_EQ(namesIn(dir.path()), before) << "no new file may be left beside the report";
    const std::string reportAfter = readFile(report), csvAfter = readFile(csv);
    const bool earlierMayStay = stop.moment != Moment::afterTheReport;
    const bool completeMayStand = stop.moment != Moment::reading;
    EXPECT_TRUE((earlierMayStay && reportAfter == kEarlierReport) ||
                (completeMayStand && maskReportTimes(reportAfter) == complete().report))
        << reportAfter;
    EXPECT_TRUE((earlierMayStay && csvAfter == kEarlierCsv) ||
                (completeMayStand && maskCsvSeconds(csvAfter) == complete().csv))
        << csvAfter;
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
    [](const ::testing::TestParamInfo<Stop>& row) { return std::string(row.param.name); });

// --- Runs that fail partway. ---

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// Room for the program and its libraries, far less than the gigabytes that
// the huge sizes below need.
constexpr std::uint64_t kAddressSpace = std::uint64_t{256} << 20;
// A file-size limit stands for a disk that fills partway: 100 bytes take the
// report's header but not its first pass block, 40 the CSV header but not
// its rows.
constexpr std::uint64_t kReportHeaderOnly = 100;
constexpr std::uint64_t kCsvHeaderOnly = 40;

struct Failure {
    const char* name;
    const char* program;
    std::vector<std::string> arguments;  // the console, if asked, is answered n=10, m=3
    ChildSettings settings;
    const char* earlierFile;  // the file the run would have replaced
    std::string said;         // standard error, whole
    bool summarised;          // whether the run gets as far as the summary
};

std::ostream& operator<<(std::ostream& out, const Failure& failure) {
    return out << failure.name;
}

class FailedRun : public ::testing::TestWithParam<Failure> {};

TEST_P(FailedRun, SaysWhyEndsWithStatusOneAndKeepsTheEarlierFile) {
    const Failure& failure = GetParam();
    if (failure.settings.addressSpaceBytes && kAddressSanitizer) {
        GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
    }
    const ScratchDir dir;
    fs::copy_file(kSmallCase / "prob.txt", dir.path() / "prob.txt");
    writeFile(dir.path() / failure.earlierFile, kEarlierReport);
    const std::set<std::string> before = namesIn(dir.path());
    const ProgramRun run = runProgram(failure.program, failure.arguments, "10\n3\n\n\n", dir.path(),
                                      kLimit, failure.settings);
    EXPECT_EQ(run.exitStatus, 1) << "ended by a signal (an abort) when -1";
    EXPECT_EQ(run.err, failure.said);
    EXPECT_EQ(
        maskConsoleTimes(run.out),
        failure.summarised ? maskConsoleTimes(readFile(kSmallCase / "expected-stdout.txt")) : "");
    EXPECT_EQ(readFile(dir.path() / failure.earlierFile), kEarlierReport);
    EXPECT_EQ(namesIn(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    OutOfMemoryOrDisk, FailedRun,
    ::testing::Values(
        // The reading keeps nothing of a file this large; the sharpest
        // bounds of thirty events need 2^30 prices at once.
        Failure{"NoMemoryForTheSharpestBoundsOfThirtyEvents",
                UNIONBOUND_PROGRAM,
                {"-n", "30", "-m", "1", "--sharpest"},
                {{}, kAddressSpace, {}},
                "result.txt",
                "note: no structured passes: m=1 is too small: the maximum order m must be an odd "
                "number of at least 3; the structured bound is not computed, and \"result.txt\" "
                "is not written\nwarning: \"prob.txt\" holds 175 words, not the 30 numbers "
                "expected for n=30, m=1: the 145 after them are not read\nerror: not enough "
                "memory for the sharpest bounds of 30 events\n",
                false},
        Failure{"NoMemoryForProbgenToWidenOneProbabilityToTwoBillionEvents",
                PROBGEN_PROGRAM,
                {"-n", "2000000000", "-m", "1", "--independent", "0.5"},
                {{}, kAddressSpace, {}},
                "prob.txt",
                "error: not enough memory for the probabilities of 2000000000 events\n",
                false},
        Failure{"NoRoomForTheReportAfterItsHeader",
                UNIONBOUND_PROGRAM,
                {},
                {{}, {}, kReportHeaderOnly},
                "result.txt",
                "warning: writing the report \"result.txt\" failed after 0 complete pass blocks: "
                "File too large; the earlier report, if any, is left as it was\n",
                true},
        Failure{"NoRoomForTheCsvRowsWithTheReportOnADevice",
                UNIONBOUND_PROGRAM,
                {"--report", "/dev/null", "--csv", "passes.csv"},
                {{}, {}, kCsvHeaderOnly},
                "passes.csv",
                "warning: the CSV file \"passes.csv\" could not be written completely\n",
                true}),
    [](const ::testing::TestParamInfo<Failure>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace unionbound::testing
