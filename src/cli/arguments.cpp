#include "cli/arguments.hpp"

#include "text/numbers.hpp"
#include "text/shown_word.hpp"

namespace unionbound {

std::string ArgumentWalker::nextOption() {
    const std::string& word = words_[next_++];
    hasAttached_ = false;
    attached_.clear();
    isOption_ = word.size() >= 2 && word[0] == '-';
    option_ = word;
    if (!isOption_) {
        return word;
    }
    if (word[1] == '-') {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            hasAttached_ = true;
            attached_ = word.substr(equals + 1);
            option_ = word.substr(0, equals);
        }
        return option_;
    }
    if (word.size() > 2) {
        hasAttached_ = true;
        attached_ = word.substr(2);
    }
    option_ = word.substr(0, 2);
    return option_;
}

Parsed<std::string> ArgumentWalker::value() {
    if (hasAttached_) {
        return attached_;
    }
    if (done()) {
        return refuse("option " + option_ + " needs a value");
    }
    return words_[next_++];
}

Parsed<std::int64_t> wholeNumberValue(ArgumentWalker& words, const std::string& meaning,
                                      std::int64_t least, std::int64_t most) {
    const Parsed<std::string> text = words.value();
    if (!text.ok()) {
        return refuse(text.message() + " (" + meaning + ")");
    }
    const std::string option = words.currentOption();
    const Parsed<std::int64_t> number = parseWholeNumber(text.value());
    if (!number.ok()) {
        return refuse(option + " (" + meaning + ") must be a whole number, not \"" +
                      shownWord(text.value()) + "\"");
    }
    if (number.value() < least || number.value() > most) {
        return refuse(option + " (" + meaning + ") must be between " + std::to_string(least) +
                      " and " + std::to_string(most) + ", not " + std::to_string(number.value()));
    }
    return number;
}

Parsed<double> nonNegativeDecimalValue(ArgumentWalker& words, const std::string& meaning) {
    const Parsed<std::string> text = words.value();
    if (!text.ok()) {
        return refuse(text.message() + " (" + meaning + ")");
    }
    const std::string option = words.currentOption();
    const Parsed<double> number = parseDecimal(text.value());
    if (!number.ok()) {
        return refuse(option + " (" + meaning + ") must be a number, not \"" +
                      shownWord(text.value()) + "\"");
    }
    if (number.value() < 0.0) {
        return refuse(option + " (" + meaning + ") must be at least 0, not " +
                      shownWord(text.value()));
    }
    return number;
}

}  // namespace unionbound
