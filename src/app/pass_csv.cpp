#include "app/pass_csv.hpp"

#include <cstdio>

namespace unionbound {

namespace {

// %.17g: enough digits for every double to read back exactly.
void writeReal(std::ostream& out, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    out << text;
}

}  // namespace

void writePassCsv(std::ostream& out, const std::vector<PassRow>& rows, std::int32_t bestL) {
    out << "l,q,bound,seconds,best\n";
    for (const PassRow& row : rows) {
        out << row.l << ',' << row.q << ',';
        writeReal(out, row.bound);
        out << ',';
        writeReal(out, row.seconds);
        out << ',' << (row.l == bestL ? 1 : 0) << '\n';
    }
}

}  // namespace unionbound
