// Standard output for an output file named "-": it then holds that output
// alone, and every line the program would print there (the prompts, the
// summary, the closing lines of the methods, the comparison) goes to
// standard error instead, as probgen's closing lines do with --output -.
#pragma once

#include <initializer_list>
#include <ostream>
#include <string_view>

namespace unionbound {

// The path that stands for standard output.
inline constexpr std::string_view kStandardOutputPath = "-";

// Where the program's own lines go: `err` when one of `outputPaths` (the
// files a run writes besides them: --json, --csv) is "-", else `out`.
std::ostream& programLinesStream(std::initializer_list<std::string_view> outputPaths,
                                 std::ostream& out, std::ostream& err);

}  // namespace unionbound
