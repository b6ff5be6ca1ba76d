#include "engine/best_interval.hpp"

#include <string>

#include "engine/methods.hpp"
#include "text/number_format.hpp"

namespace unionbound::engine {

namespace {

// One bound of one side: a method's own, or one of the named bounds it forms.
struct Candidate {
    Bound bound;  // with a value
    std::string method;
    std::string label;  // "the aggregation upper bound", "the Hunter upper bound"
    Certainty certainty;
};

Certainty certaintyOf(const std::string& name) {
    for (const MethodEntry& entry : methodList()) {
        if (entry.name == name) {
            return entry.certainty;
        }
    }
    return Certainty::floatingPoint;
}

// Every bound of a side: the named bounds of a method that forms several,
// else the method's own.
std::vector<Candidate> candidatesOf(const std::vector<MethodResult>& methods, bool upper) {
    std::vector<Candidate> all;
    const std::string side = upper ? " upper bound" : " lower bound";
    for (const MethodResult& result : methods) {
        const Certainty certainty = certaintyOf(result.name);
        const std::vector<NamedBound>& parts = upper ? result.upperParts : result.lowerParts;
        if (!parts.empty()) {
            for (const NamedBound& part : parts) {
                if (part.value) {
                    Bound bound;
                    bound.value = part.value;
                    all.push_back({bound, result.name, "the " + part.name + side, certainty});
                }
            }
            continue;
        }
        const Bound& own = upper ? result.upper : result.lower;
        if (own.value) {
            all.push_back({own, result.name, "the " + result.name + side, certainty});
        }
    }
    return all;
}

// Whether an upper bound `u` and a lower bound `l` contradict each other.
bool contradict(const Candidate& u, const Candidate& l) {
    return *u.bound.value < *l.bound.value;
}

// The most certain bound of the other side that `c` contradicts, the most
// extreme among equals; null where none is more certain than `c`.
const Candidate* overruling(const Candidate& c, const std::vector<Candidate>& others, bool upper) {
    const Candidate* strongest = nullptr;
    for (const Candidate& other : others) {
        const bool against = upper ? contradict(c, other) : contradict(other, c);
        if (!against || other.certainty <= c.certainty) {
            continue;
        }
        if (strongest == nullptr || other.certainty > strongest->certainty ||
            (other.certainty == strongest->certainty &&
             (upper ? *other.bound.value > *strongest->bound.value
                    : *other.bound.value < *strongest->bound.value))) {
            strongest = &other;
        }
    }
    return strongest;
}

std::string whyNotCertain(Certainty certainty) {
    return certainty == Certainty::floatingPoint
               ? "a floating-point value, not proven"
               : "a closed form evaluated in floating point, not proven";
}

std::string shown(const Candidate& c) {
    return c.label + " " + general15(*c.bound.value);
}

struct Side {
    Bound bound;
    std::string method;
    const Candidate* chosen = nullptr;
};

// The best of a side among the bounds no more certain one overrules; the
// notes say which were passed over.
Side bestOf(const std::vector<Candidate>& mine, const std::vector<Candidate>& others, bool upper,
            std::vector<std::string>& notes) {
    Side side;
    side.bound.why = "no method gave a bound";
    for (const Candidate& c : mine) {
        if (const Candidate* over = overruling(c, others, upper)) {
            notes.push_back(shown(c) + " lies " + (upper ? "below " : "above ") + shown(*over) +
                            ": it is " + whyNotCertain(c.certainty) +
                            ", which rounding has moved past the truth, so it is passed over");
            continue;
        }
        const bool better =
            side.chosen == nullptr ||
            (upper ? *c.bound.value < *side.chosen->bound.value
                   : *c.bound.value > *side.chosen->bound.value) ||
            (*c.bound.value == *side.chosen->bound.value &&
             c.certainty > side.chosen->certainty);
        if (better) {
            side.chosen = &c;
        }
    }
    if (side.chosen != nullptr) {
        side.bound = side.chosen->bound;
        side.method = side.chosen->method;
    }
    return side;
}

}  // namespace

Interval bestInterval(const std::vector<MethodResult>& methods) {
    const std::vector<Candidate> uppers = candidatesOf(methods, true);
    const std::vector<Candidate> lowers = candidatesOf(methods, false);
    Interval best;
    const Side upper = bestOf(uppers, lowers, true, best.notes);
    const Side lower = bestOf(lowers, uppers, false, best.notes);
    best.upper = upper.bound;
    best.upperMethod = upper.method;
    best.lower = lower.bound;
    best.lowerMethod = lower.method;
    // What is left crossed is between bounds of the same certainty.
    if (upper.chosen != nullptr && lower.chosen != nullptr &&
        contradict(*upper.chosen, *lower.chosen)) {
        const bool proven = upper.chosen->certainty == Certainty::proven;
        best.notes.push_back(
            shown(*lower.chosen) + " lies above " + shown(*upper.chosen) +
            (proven ? ": both are proven for data within 1e-9 of the given ones, so no "
                      "distribution has exactly these data"
                    : ": neither is proven, and rounding has moved one of them past the truth"));
    }
    return best;
}

}  // namespace unionbound::engine
