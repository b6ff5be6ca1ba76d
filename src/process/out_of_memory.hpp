// Running out of memory: a message that names what was being built, and an
// orderly end with status 1 instead of an abort.
#pragma once

#include <exception>
#include <new>
#include <ostream>
#include <string>
#include <utility>

namespace unionbound {

// Memory ran out while `what` was being built. The message is kept in fixed
// storage, so that raising and showing this error allocates nothing more.
class OutOfMemory : public std::exception {
  public:
    explicit OutOfMemory(const std::string& what) noexcept;
    // "not enough memory for " and the description, cut at 255 bytes.
    const char* what() const noexcept override { return message_; }

  private:
    char message_[256];
};

// Runs `build` and returns what it returns; a std::bad_alloc inside it
// becomes OutOfMemory(what). Where calls nest, the innermost description is
// the one shown.
template <typename Build>
decltype(auto) buildingFor(const std::string& what, Build&& build) {
    try {
        return std::forward<Build>(build)();
    } catch (const std::bad_alloc&) {
        throw OutOfMemory(what);
    }
}

// Runs a program's body `run` (which returns the exit status). When memory
// runs out, writes "error: not enough memory for …" as one line to `err` and
// returns `outOfMemoryStatus`; the files that were being written have been
// abandoned by then, as the error unwound past their writers, so the earlier
// files stay as they were.
template <typename Run>
int endingWhenMemoryRunsOut(std::ostream& err, int outOfMemoryStatus, Run&& run) {
    try {
        return std::forward<Run>(run)();
    } catch (const OutOfMemory& error) {
        err << "error: " << error.what() << std::endl;
    } catch (const std::bad_alloc&) {
        err << "error: not enough memory for the run" << std::endl;
    }
    return outOfMemoryStatus;
}

}  // namespace unionbound
