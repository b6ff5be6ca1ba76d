// The exit statuses of both programs.
#pragma once

namespace unionbound {

inline constexpr int kExitSuccess = 0;
// Bad data: n, m, the input file, or an output file that cannot be written.
inline constexpr int kExitBadData = 1;
// The passes ran and the summary was shown, but the report could not be
// written in full.
inline constexpr int kExitReportFailed = 1;
// A command line that cannot be used.
inline constexpr int kExitUsage = 2;

}  // namespace unionbound
