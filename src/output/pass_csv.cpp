#include "output/pass_csv.hpp"

#include <algorithm>
#include <string>

#include "text/number_format.hpp"
#include "unionbound/options.hpp"

namespace unionbound {

namespace {

std::string cell(const std::optional<double>& value) {
    return value ? general17(*value) : std::string();
}

}  // namespace

std::vector<PassRow> passRowsOf(const Result& result) {
    const MethodResult* aggregation = result.method(method::aggregation);
    const MethodResult* exact = result.method(method::exact);
    std::vector<PassRow> rows;
    if (aggregation != nullptr) {
        for (const PassBounds& pass : aggregation->passes) {
            rows.push_back({pass.l, pass.q, pass.upper.value, pass.seconds});
        }
    }
    if (exact != nullptr) {
        // The passes of both come in increasing l; where one method stopped
        // early, the other's later passes have rows of their own.
        for (const PassBounds& pass : exact->passes) {
            auto row = std::find_if(rows.begin(), rows.end(),
                                    [&](const PassRow& r) { return r.l >= pass.l; });
            if (row == rows.end() || row->l != pass.l) {
                row = rows.insert(row, {pass.l, pass.q, std::nullopt, std::nullopt});
            }
            row->exactUpper = pass.upper.value;
            row->exactLower = pass.lower.value;
        }
    }
    return rows;
}

std::int32_t bestPassOf(const Result& result) {
    const MethodResult* aggregation = result.method(method::aggregation);
    return aggregation != nullptr ? aggregation->upper.pass : 0;
}

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
