// Bounds on a probability that were proven from their data, and the reason
// where none could be: the record the exact methods hand to the program.
#pragma once

#include <optional>
#include <string>

namespace unionbound {

// A proven bound, or why there is none (one line, in the user's words).
struct ProvenBound {
    std::optional<double> value;
    std::string why;  // empty when `value` holds
};

// What one problem's data allow: an upper bound proven to be at least the
// largest probability of the union, a lower bound proven to be at most the
// smallest. `inconsistent` says it was proven that no joint distribution has
// the data, even moved by the rounding allowed for them; `inconsistency`
// says what was proven.
struct ProvenInterval {
    ProvenBound upper;
    ProvenBound lower;
    bool inconsistent = false;
    std::string inconsistency;
};

// Each intersection probability may be off by this much, through rounding in
// the program that wrote it, before data that no distribution has are
// called inconsistent (the same slack as a value's range [0, 1] has).
inline constexpr double kRoundingOfTheData = 1e-9;

}  // namespace unionbound
