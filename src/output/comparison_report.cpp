#include "output/comparison_report.hpp"

#include <cmath>
#include <cstdio>

#include "output/exact_summary.hpp"
#include "text/number_format.hpp"
#include "unionbound/options.hpp"

namespace unionbound {

namespace {

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

// A distance between two bounds, to three significant digits.
std::string distance(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// The names of the bounds that print like the best one; a not-a-number is
// never the best.
std::string namesOfBest(const std::vector<NamedBound>& bounds, double best) {
    std::string names;
    for (const NamedBound& bound : bounds) {
        if (general15(*bound.value) == general15(best)) {
            names += (names.empty() ? "" : ", ") + bound.name;
        }
    }
    return names;
}

// One side: `upper` keeps the smallest value, else the largest.
void writeSide(std::ostream& out, const Comparison& comparison, bool upper) {
    const std::vector<NamedBound>& bounds = upper ? comparison.upper : comparison.lower;
    const std::optional<double> sharpest =
        upper ? comparison.sharpestUpper : comparison.sharpestLower;
    std::vector<NamedBound> all;
    if (upper && comparison.aggregation) {
        all.push_back({"aggregation", "", comparison.aggregation->value});
    }
    std::string beside;
    if (upper && comparison.aggregation) {
        beside = "(aggregation, l=" + std::to_string(comparison.aggregation->l) + ": " +
                 general15(comparison.aggregation->value) + ")";
    }
    if (upper) {
        out << (comparison.aggregation ? "Other upper bounds from the same probabilities:\n"
                                       : "Upper bounds from the same probabilities:\n");
    } else {
        out << "Lower bounds from the same probabilities:\n";
    }
    for (const NamedBound& bound : bounds) {
        if (!bound.value) {
            continue;
        }
        all.push_back(bound);
        // The lower side has longer names; its values stand in the same column.
        std::string line = "  " + padded(bound.name, upper ? 13 : 16) +
                           padded(bound.formula, upper ? 31 : 28);
        std::string after = beside;
        const std::string& note =
            upper ? comparison.sharpestUpperNote : comparison.sharpestLowerNote;
        if (bound.name == "sharpest" && !note.empty()) {
            after += (after.empty() ? "[" : "  [") + note + "]";
        }
        if (sharpest && bound.name != "sharpest") {
            // The other bounds are not proven: within their rounding of the
            // sharpest one, they meet it.
            constexpr double kRoundingOfTheOthers = 1e-12;
            const double gap = upper ? *bound.value - *sharpest : *sharpest - *bound.value;
            after += std::string(after.empty() ? "" : "  ") +
                     (gap <= kRoundingOfTheOthers
                          ? std::string("[at the sharpest]")
                          : "[" + distance(gap) + (upper ? " above" : " below") + " the sharpest]");
        }
        line +=
            after.empty() ? general15(*bound.value) : padded(general15(*bound.value), 20) + after;
        out << line << '\n';
    }
    if (all.empty()) {
        return;
    }
    double best = *all.front().value;
    for (const NamedBound& bound : all) {
        if ((upper ? *bound.value < best : *bound.value > best) || std::isnan(best)) {
            best = *bound.value;
        }
    }
    if (const std::optional<double> chosen = upper ? comparison.bestUpper : comparison.bestLower) {
        best = *chosen;
    }
    out << (upper ? "Smallest upper bound: " : "Largest lower bound: ") << general15(best) << " ("
        << namesOfBest(all, best) << ")\n";
}

}  // namespace

Comparison comparisonOf(const Result& result) {
    Comparison comparison;
    if (const MethodResult* classical = result.method(method::classical)) {
        comparison.upper = classical->upperParts;
        comparison.lower = classical->lowerParts;
    }
    if (const MethodResult* aggregation = result.method(method::aggregation);
        aggregation != nullptr && aggregation->upper.value) {
        comparison.aggregation =
            AggregationBound{*aggregation->upper.value, aggregation->upper.pass};
    }
    if (const MethodResult* exact = result.method(method::exact)) {
        comparison.upper.push_back(
            {"exact", "best pass, l=" + std::to_string(exact->upper.pass), exact->upper.value});
        comparison.lower.push_back(
            {"exact", "best pass, l=" + std::to_string(exact->lower.pass), exact->lower.value});
    }
    if (const MethodResult* sharpest = result.method(method::sharpest)) {
        const std::string formula = "best from all the data";
        comparison.upper.insert(comparison.upper.begin(),
                                {"sharpest", formula, sharpest->upper.value});
        comparison.lower.insert(comparison.lower.begin(),
                                {"sharpest", formula, sharpest->lower.value});
        // Stopped early, they are not yet the sharpest values: the other
        // rows are not measured against them.
        if (sharpest->stop == Stop::none) {
            comparison.sharpestUpper = sharpest->upper.value;
            comparison.sharpestLower = sharpest->lower.value;
        }
        comparison.sharpestUpperNote = sharpestNote(sharpest->upper, sharpest->stop, false);
        comparison.sharpestLowerNote = sharpestNote(sharpest->lower, sharpest->stop, false);
    }
    comparison.bestUpper = result.best.upper.value;
    comparison.bestLower = result.best.lower.value;
    comparison.notes = result.best.notes;
    return comparison;
}

void writeComparison(std::ostream& out, const Comparison& comparison) {
    writeSide(out, comparison, true);
    writeSide(out, comparison, false);
    for (const std::string& note : comparison.notes) {
        out << "Note: " << note << '\n';
    }
}

}  // namespace unionbound
