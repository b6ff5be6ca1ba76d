// A progress line on a terminal: each new text overwrites the last one.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace unionbound {

class ProgressLine {
  public:
    // `out` is where the line goes; null means no progress is shown.
    explicit ProgressLine(std::ostream* out) : out_(out) {}
    // Blanks the line, so that a message of a run that ends early (out of
    // memory, an error thrown through) starts on a clean line.
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Returns to the start of the line and writes `text`, blanking what is
    // left of a longer earlier text.
    void show(const std::string& text);

    // Blanks the line, so that what follows starts on a clean line.
    void clear();

  private:
    std::ostream* out_;
    std::size_t shown_ = 0;
};

}  // namespace unionbound
