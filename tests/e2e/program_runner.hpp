// Runs the real program in a scratch folder, types at its console and
// collects what it prints, for the end-to-end tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace unionbound::testing {

struct ProgramRun {
    int exitStatus = -1;  // the status passed to exit, or -1 when killed
    std::string out;      // standard output
    std::string err;      // standard error
    bool timedOut = false;
};

// Runs `program` with `arguments` in `workDir`, `input` as standard input;
// kills it after `limit`. With `asUser`, the program runs under that user and
// group id (the caller must be root); if the switch fails it exits with 125.
ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const std::string& input,
                      const std::filesystem::path& workDir,
                      std::chrono::seconds limit = std::chrono::seconds(60),
                      std::optional<unsigned> asUser = std::nullopt);

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
