#include "output/pass_csv.hpp"

#include "output/number_format.hpp"

namespace unionbound {

void writePassCsv(std::ostream& out, const std::vector<PassRow>& rows, std::int32_t bestL) {
    out << "l,q,bound,seconds,best\n";
    for (const PassRow& row : rows) {
        out << row.l << ',' << row.q << ',';
        out << general17(row.bound) << ',' << general17(row.seconds) << ',' << (row.l == bestL ? 1 : 0) << '\n';
    }
}

}  // namespace unionbound
