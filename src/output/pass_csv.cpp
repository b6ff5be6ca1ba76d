#include "output/pass_csv.hpp"

#include <string>

#include "text/number_format.hpp"

namespace unionbound {

namespace {

std::string cell(const std::optional<double>& value) {
    return value ? general17(*value) : std::string();
}

}  // namespace

void writePassCsv(std::ostream& out, const std::vector<PassRow>& rows, std::int32_t bestL,
                  bool exactColumns) {
    out << "l,q,bound,seconds,best" << (exactColumns ? ",exact_upper,exact_lower" : "") << '\n';
    for (const PassRow& row : rows) {
        out << row.l << ',' << row.q << ',' << cell(row.bound) << ',' << cell(row.seconds) << ','
            << (row.l == bestL ? 1 : 0);
        if (exactColumns) {
            out << ',' << cell(row.exactUpper) << ',' << cell(row.exactLower);
        }
        out << '\n';
    }
}

}  // namespace unionbound
