// Runs the real program in a scratch folder, types at its console and
// collects what it prints, for the end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace unionbound::testing {

struct ProgramRun {
    int exitStatus = -1;  // the status passed to exit, or -1 when killed
    std::string out;      // standard output
    std::string err;      // standard error
    bool timedOut = false;
};

// How the program's process is set up before it starts. Whatever the tests'
// own process ignores or holds back, SIGINT, SIGTERM and SIGHUP reach the
// program with their default handling, as in a run from a shell.
struct ChildSettings {
    // Run under this user and group id (the caller must be root); if the
    // switch fails the child exits with 125.
    std::optional<unsigned> asUser;
    // The limit of the address space (RLIMIT_AS), in bytes.
    std::optional<std::uint64_t> addressSpaceBytes;
    // The largest file the program may write (RLIMIT_FSIZE), in bytes; a
    // write past it fails with EFBIG instead of raising SIGXFSZ.
    std::optional<std::uint64_t> fileSizeBytes;
};

// Runs `program` with `arguments` in `workDir`, `input` as standard input;
// kills it after `limit`. If the child cannot enter `workDir` it exits with
// 126, if it cannot start `program` with 127.
ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const std::string& input,
                      const std::filesystem::path& workDir,
                      std::chrono::seconds limit = std::chrono::seconds(60),
                      std::optional<unsigned> asUser = std::nullopt);
ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const std::string& input,
                      const std::filesystem::path& workDir, std::chrono::seconds limit,
                      const ChildSettings& settings);

// The program started and left running, its standard input open, for tests
// that act on it while it runs. A program still running when this is
// destroyed is killed.
class StartedProgram {
  public:
    StartedProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& workDir, const ChildSettings& settings = {});
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Writes `text` to standard input, which stays open.
    void type(const std::string& text);
    void signal(int signalNumber);
    // Writes `input` to standard input and closes it, collects the output
    // until the program closes it (killing it after `limit`) and reaps it.
    ProgramRun finish(const std::string& input, std::chrono::seconds limit);

  private:
    int pid_ = -1;
    int inFd_ = -1, outFd_ = -1, errFd_ = -1;
    bool reaped_ = false;
    ProgramRun run_;
};

// A fresh folder under the system's temporary folder, removed with its content.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
// The names of everything in `dir`, hidden files included.
std::set<std::string> namesIn(const std::filesystem::path& dir);
void writeFile(const std::filesystem::path& file, const std::string& text);

// The number printed right after the first `label` in `text` (white space
// skipped), or not-a-number when there is none.
double printedNumber(const std::string& text, const std::string& label);

// The report with every running time replaced by a mark of its notation:
// <general> for the first block's form, <fixed15> for the later blocks'.
std::string maskReportTimes(const std::string& report);
// The console output with the summary's running time replaced by <fixed3>.
std::string maskConsoleTimes(const std::string& console);

}  // namespace unionbound::testing
