// The data of one pass as the exact bounds take them: the lengths of the
// subsequences, the binomial moments of their counts and proven bounds on
// the rounding of those moments; and where each moment sits in the vector.
#pragma once

#include <cstdint>
#include <string>

#include "numeric/types.hpp"
#include "text/parsed.hpp"

namespace unionbound {

// One pass: q = lengths.size() ≥ 1 subsequences of lengths L_1 … L_q, the
// binomial moments in the order of momentIndexList(m, pairs (1,2) … (1,q),
// every order m) (moments[0] = 1), and errors[i] ≥ |moments[i] − M_i|, M_i
// the exact moment of the given probabilities.
struct PassProblem {
    std::int32_t m = 0;
    IntVector lengths;
    RealVector moments;
    RealVector errors;
};

// The positions of the moments of a pass in its moment vector.
struct PassLayout {
    std::int32_t m = 0;
    std::int32_t q = 0;
    // The position of E[C(X_c, k)], c = 1 … q, k = 1 … m.
    std::size_t single(std::int32_t c, std::int32_t k) const;
    // The position of E[C(X_1, d)·C(X_c, e)], c = 2 … q, d, e ≥ 1, d + e ≤ m.
    std::size_t pair(std::int32_t c, std::int32_t d, std::int32_t e) const;
    // The number of moments, the constant included.
    std::size_t size() const;
    // "E[C(X_2,3)]", "E[C(X_1,1)·C(X_4,2)]" or "the total probability 1":
    // the moment at position i, in the user's words.
    std::string name(std::size_t i) const;
};

PassLayout passLayout(const PassProblem& problem);

// The moment index list of a pass with q subsequences: momentIndexList(m,
// pairs (1,2) … (1,q), order m for every subsequence).
IntMatrixList passMomentIndex(std::int32_t m, std::int32_t q);

// The number of probabilities each moment of the pass adds (momentTermCounts).
RealVector passTermCounts(const PassProblem& problem);

// The pass of length l over n events with these binomial moments (as
// binomialMomentsOfPasses sums them for the pairs (1,2) … (1,q) and order m
// for every subsequence), with the errors that momentErrors proves for them.
PassProblem makePassProblem(std::int32_t n, std::int32_t l, std::int32_t m, RealVector moments);

// Accepts a well-formed problem (m ≥ 1, q ≥ 1, every length ≥ 1, one
// moment and one error per moment of the layout, moments[0] = 1, every
// number finite and every error ≥ 0); else says what is wrong, in one line.
Expected<void> checkPassProblem(const PassProblem& problem);

}  // namespace unionbound
