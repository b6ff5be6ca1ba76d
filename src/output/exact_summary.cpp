#include "output/exact_summary.hpp"

#include <cstdio>
#include <string>

#include "text/number_format.hpp"

namespace unionbound {

namespace {

void writeExactSide(std::ostream& out, const char* label, const std::optional<double>& value,
                    std::int32_t l, const BestExactBounds& best) {
    out << label;
    if (value) {
        out << general15(*value) << " (l=" << l << ")\n";
    } else if (best.passes == 0 && best.stop != Stop::none) {
        out << "none (" << stoppedWords(best.stop) << ")\n";
    } else if (best.passes == 0) {
        out << "none (no passes: m > n/2)\n";
    } else {
        out << "none proven\n";
    }
}

void writeSharpestSide(std::ostream& out, const char* label, const Bound& bound, Stop stop) {
    out << label;
    if (bound.value) {
        const std::string note = sharpestNote(bound, stop, true);
        out << general15(*bound.value) << (note.empty() ? "" : " (" + note + ")") << '\n';
        return;
    }
    std::string why = stoppedWords(stop);
    if (!bound.why.empty()) {
        why += (why.empty() ? "" : ": ") + bound.why;
    }
    out << "none proven" << (why.empty() ? "" : " (" + why + ")") << '\n';
}

}  // namespace

BestExactBounds bestExactBoundsOf(const MethodResult& exact) {
    return {exact.upper.value,
            exact.upper.pass,
            exact.lower.value,
            exact.lower.pass,
            static_cast<std::int32_t>(exact.passes.size()),
            exact.stop};
}

std::string stoppedWords(Stop stop) {
    switch (stop) {
        case Stop::timeLimit:
            return "stopped at the time limit";
        case Stop::interrupted:
            return "stopped by an interrupt";
        case Stop::memoryPlan:
            return "stopped by the memory plan";
        case Stop::none:
            break;
    }
    return "";
}

std::string sharpestNote(const Bound& bound, Stop stop, bool tolerance) {
    std::string note = stoppedWords(stop);
    if (bound.value && bound.distance) {
        char distance[32];
        std::snprintf(distance, sizeof distance, "%.3g", *bound.distance);
        note += (note.empty() ? "at most " : ": at most ") + std::string(distance) +
                " from the sharpest" + (tolerance ? ", up to the LP's tolerance" : "");
    }
    return note;
}

void writeExactSummary(std::ostream& out, const BestExactBounds& best) {
    writeExactSide(out, "Exact upper bound: ", best.upper, best.upperL, best);
    writeExactSide(out, "Exact lower bound: ", best.lower, best.lowerL, best);
    if (best.upper && best.lower) {
        out << "Exact interval: [" << general15(*best.lower) << ", " << general15(*best.upper)
            << "]\n";
    }
}

void writeSharpestSummary(std::ostream& out, const MethodResult& sharpest) {
    writeSharpestSide(out, "Sharpest upper bound: ", sharpest.upper, sharpest.stop);
    writeSharpestSide(out, "Sharpest lower bound: ", sharpest.lower, sharpest.stop);
}

}  // namespace unionbound
