#include "cli/arguments.hpp"

namespace unionbound {

std::string ArgumentWalker::nextOption() {
    const std::string& word = words_[next_++];
    hasAttached_ = false;
    attached_.clear();
    isOption_ = word.size() >= 2 && word[0] == '-';
    if (!isOption_) {
        return word;
    }
    if (word[1] == '-') {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            hasAttached_ = true;
            attached_ = word.substr(equals + 1);
            return word.substr(0, equals);
        }
        return word;
    }
    if (word.size() > 2) {
        hasAttached_ = true;
        attached_ = word.substr(2);
    }
    return word.substr(0, 2);
}

bool ArgumentWalker::value(std::string& text) {
    if (hasAttached_) {
        text = attached_;
        return true;
    }
    if (done()) {
        return false;
    }
    text = words_[next_++];
    return true;
}

std::string shownWord(const std::string& word) {
    std::string shown;
    for (std::size_t i = 0; i < word.size() && i < 40; ++i) {
        const auto byte = static_cast<unsigned char>(word[i]);
        shown += byte >= 0x20 && byte < 0x7f ? word[i] : '?';
    }
    return word.size() > 40 ? shown + "..." : shown;
}

}  // namespace unionbound
