// Walking the words of a command line: options with values ("-n 10",
// "-n10", "--input PATH", "--input=PATH") and flags ("--compare"). Shared by
// the programs' option parsers, which give the options their meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/parsed.hpp"

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
    // with '-', so "-n -5" reads -5). Refused with "option NAME needs a
    // value" when there is none.
    Parsed<std::string> value();

    // True when the current word carried a value of its own ("--compare=1").
    bool hasAttachedValue() const { return hasAttached_; }

    // The name of the current option ("-n", "--input"), as nextOption gave it.
    const std::string& currentOption() const { return option_; }

  private:
    std::vector<std::string> words_;
    std::size_t next_ = 0;
    bool isOption_ = false;
    bool hasAttached_ = false;
    std::string option_;
    std::string attached_;
};

// The value of the current option as a whole number within [least, most].
// `meaning` names what the number stands for in the messages: "option -n
// needs a value (the number of events)", "-n (the number of events) must be
// a whole number, not "x"", "... must be between 1 and 9, not 12".
Parsed<std::int64_t> wholeNumberValue(ArgumentWalker& words, const std::string& meaning,
                                      std::int64_t least, std::int64_t most);

// The value of the current option as a decimal of at least 0, read as the
// probabilities are (C-locale forms; no "nan" or "inf"): "--time-limit
// (seconds) must be a number, not "x"", "... must be at least 0, not -1".
Parsed<double> nonNegativeDecimalValue(ArgumentWalker& words, const std::string& meaning);

}  // namespace unionbound
