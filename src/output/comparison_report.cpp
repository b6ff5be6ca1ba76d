#include "output/comparison_report.hpp"

#include <string>
#include <vector>

#include "output/number_format.hpp"

namespace unionbound {

namespace {

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

void writeComparison(std::ostream& out, double aggregationBound, std::int32_t bestL, std::int32_t m,
                     const ClassicalBounds& bounds) {
    struct Entry {
        std::string name;
        std::string formula;
        double value;
    };
    const std::vector<Entry> classical{
        {"Boole", "min(1, S1)", bounds.boole},
        {"Bonferroni", "S1 - S2 + S3", bounds.bonferroni},
        {"Hunter", "S1 - heaviest spanning tree", bounds.hunter},
        {"sharp", "best from S1 ... S" + std::to_string(m) + " alone", bounds.sharp.value},
    };
    const std::string beside =
        "(aggregation, l=" + std::to_string(bestL) + ": " + general15(aggregationBound) + ")";
    out << "Other upper bounds from the same probabilities:\n";
    for (const Entry& entry : classical) {
        out << "  " << padded(entry.name, 13) << padded(entry.formula, 31)
            << padded(general15(entry.value), 20) << beside << '\n';
    }
    // The smallest; values that print alike tie with it. A not-a-number
    // (a bound that could not be formed) is never the smallest.
    std::vector<Entry> all{{"aggregation", "", aggregationBound}};
    all.insert(all.end(), classical.begin(), classical.end());
    double smallest = all.front().value;
    for (const Entry& entry : all) {
        if (entry.value < smallest || smallest != smallest) {
            smallest = entry.value;
        }
    }
    std::string names;
    for (const Entry& entry : all) {
        if (general15(entry.value) == general15(smallest)) {
            names += (names.empty() ? "" : ", ") + entry.name;
        }
    }
    out << "Smallest upper bound: " << general15(smallest) << " (" << names << ")\n";
}

}  // namespace unionbound
