// Walking the words of a command line: options with values ("-n 10",
// "-n10", "--input PATH", "--input=PATH") and flags ("--compare"). Shared by
// the programs' option parsers, which give the options their meaning.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace unionbound {

class ArgumentWalker {
  public:
    explicit ArgumentWalker(std::vector<std::string> words) : words_(std::move(words)) {}

    bool done() const { return next_ >= words_.size(); }

    // Moves to the next word and returns its option name ("-n", "--input");
    // a value written into the same word ("-n10", "--input=PATH") is kept for
    // value(). A word that is not an option (no leading '-', or just "-")
    // is returned as it is, and isOption() tells them apart.
    std::string nextOption();
    bool isOption() const { return isOption_; }

    // The value of the current option: the part written into its word, or
    // else the following word (which is then consumed, even when it starts
    // with '-', so "-n -5" reads -5). False when there is none.
    bool value(std::string& text);

    // True when the current word carried a value of its own ("--compare=1").
    bool hasAttachedValue() const { return hasAttached_; }

  private:
    std::vector<std::string> words_;
    std::size_t next_ = 0;
    bool isOption_ = false;
    bool hasAttached_ = false;
    std::string attached_;
};

// A word shown in a one-line message: at most 40 characters, other bytes
// than printable ASCII as '?'.
std::string shownWord(const std::string& word);

}  // namespace unionbound
