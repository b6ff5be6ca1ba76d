// A word as it can be shown inside a one-line message.
#pragma once

#include <string>
#include <string_view>

namespace unionbound {

// At most 40 characters of `word`, every byte other than printable ASCII as
// '?', and "..." after a longer word.
std::string shownWord(std::string_view word);

}  // namespace unionbound
