#include "output/exact_summary.hpp"

#include <string>

#include "text/number_format.hpp"

namespace unionbound {

namespace {

void writeExactSide(std::ostream& out, const char* label, const std::optional<double>& value,
                    std::int32_t l, std::int32_t passes) {
    out << label;
    if (value) {
        out << general15(*value) << " (l=" << l << ")\n";
    } else if (passes == 0) {
        out << "none (no passes: m > n/2)\n";
    } else {
        out << "none proven\n";
    }
}

void writeSharpestSide(std::ostream& out, const char* label, const ProvenBound& bound) {
    out << label;
    if (bound.value) {
        out << general15(*bound.value) << '\n';
    } else {
        out << "none proven (" << bound.why << ")\n";
    }
}

}  // namespace

BestExactBounds bestExactBoundsOf(const MethodResult& exact) {
    return {exact.upper.value, exact.upper.pass, exact.lower.value, exact.lower.pass,
            static_cast<std::int32_t>(exact.passes.size())};
}

ProvenInterval provenIntervalOf(const MethodResult& sharpest) {
    return {{sharpest.upper.value, sharpest.upper.why},
            {sharpest.lower.value, sharpest.lower.why},
            false,
            {}};
}

void writeExactSummary(std::ostream& out, const BestExactBounds& best) {
    writeExactSide(out, "Exact upper bound: ", best.upper, best.upperL, best.passes);
    writeExactSide(out, "Exact lower bound: ", best.lower, best.lowerL, best.passes);
    if (best.upper && best.lower) {
        out << "Exact interval: [" << general15(*best.lower) << ", " << general15(*best.upper)
            << "]\n";
    }
}

void writeSharpestSummary(std::ostream& out, const ProvenInterval& sharpest) {
    writeSharpestSide(out, "Sharpest upper bound: ", sharpest.upper);
    writeSharpestSide(out, "Sharpest lower bound: ", sharpest.lower);
}

}  // namespace unionbound
