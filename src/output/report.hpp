// The report "result.txt" (a header line and one block per pass) and the
// closing console lines of the summary. The CSV file, the comparison and the
// progress line are written by output/.
#pragma once

#include <cstdint>
#include <ostream>

#include "numeric/types.hpp"
#include "unionbound/result.hpp"

namespace unionbound {

// A line break, then "{", every row as "{" + each entry followed by "," +
// "},", then "}" and a line break: the rows (1, 2) and (3) print as
// {{1,2,},{3,},}.
void writeIntMatrix(std::ostream& out, const IntMatrix& matrix);

// "n=10, m=3, m_k=3" and a line break.
void writeReportHeader(std::ostream& out, std::int32_t n, std::int32_t m, std::int32_t mK);

// One pass of the aggregation method: two empty lines, the length l, the
// bound -objective (precision 15), the running time, Kjs, q1 = m - jbest -
// 1, Vks, the binomial moments (fixed notation, 20 digits) and the basis
// subscripts. The switch to fixed
// notation is made on the stream and never undone, so the bound and time of
// every later block are written in fixed notation with 15 digits. Every line
// break flushes.
void writePassBlock(std::ostream& out, std::int32_t m, const PassReport& pass);

// The closing console lines: the bound -bestValue (15 significant digits),
// the running time (fixed, 3 digits) and the length l of the best pass.
void writeConsoleSummary(std::ostream& out, double bestValue, double bestTime, std::int32_t bestL);

}  // namespace unionbound
