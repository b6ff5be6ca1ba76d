#include "app/standard_output.hpp"

#include <algorithm>

namespace unionbound {

std::ostream& programLinesStream(std::initializer_list<std::string_view> outputPaths,
                                 std::ostream& out, std::ostream& err) {
    const bool taken =
        std::any_of(outputPaths.begin(), outputPaths.end(),
                    [](std::string_view path) { return path == kStandardOutputPath; });
    return taken ? err : out;
}

}  // namespace unionbound
