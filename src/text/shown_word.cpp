#include "text/shown_word.hpp"

namespace unionbound {

std::string shownWord(std::string_view word) {
    std::string shown;
    for (std::size_t i = 0; i < word.size() && i < 40; ++i) {
        const auto byte = static_cast<unsigned char>(word[i]);
        shown += byte >= 0x20 && byte < 0x7f ? word[i] : '?';
    }
    return word.size() > 40 ? shown + "..." : shown;
}

}  // namespace unionbound
