// The binomial moments of many passes in one walk over the probabilities.
//
// Every moment is a sum of the probabilities of the subsets of one shape
// (k events inside one subsequence, or d events of one subsequence with e of
// another). In the subset order, the subsets of one shape that share all but
// their last element sit at consecutive positions, so a moment is a sum of
// runs of consecutive probabilities, met in increasing order. Each sum still
// starts at 0.0 and adds its terms one by one in increasing subset order:
// the result is the same double as the plain scan of every subset gives.
//
// The walk goes once through the probabilities in order, row by row: the
// subsets that share all but their last event. Where a row meets a pass
// follows from the subsequences of its first events, so each pass takes its
// runs of the row while the row is in the cache; long runs are added several
// side by side, short ones at once. The probabilities can arrive in blocks
// as they are read (PassMomentWalk): the walk keeps only the part of a row
// that a block cut, at most n - 1 numbers, so its memory does not grow with
// the number of probabilities.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "moments/pass_division.hpp"
#include "moments/probability_consumer.hpp"
#include "numeric/types.hpp"

namespace unionbound {

struct PassMoments {
    RealVector moments;  // as binomialMoments(prob, n, l, m, pairs, orders)
    std::int64_t terms;  // the number of probabilities its sums added
};

// Whether `pass` is the chain division of n events for order m, as
// passDivision(n, l, m) gives it: 1 ≤ l ≤ n, q = subsequenceCount(n, l)
// subsequences of order m each, and the first paired with every other,
// (1,2), (1,3), …, (1,q), in that order.
bool isChainDivision(std::int32_t n, std::int32_t m, const PassDivision& pass);

// The number of probabilities the sums of the pass's moments add, counted
// with multiplicity: C(len, k) for order k in a subsequence of len events,
// C(len_1, d)·C(len_b, e) for the pair (1, b). Precondition: a chain
// division of (n, m).
std::int64_t passTerms(std::int32_t n, std::int32_t m, const PassDivision& pass);

// binomialMoments for every pass of `passes`, in one walk over `prob`.
// Throws std::invalid_argument unless n ≥ 1, m ≥ 1, `prob` holds
// intersectionCount(n, m) probabilities and every pass is a chain division.
std::vector<PassMoments> binomialMomentsOfPasses(const RealVector& prob, std::int32_t n,
                                                 std::int32_t m,
                                                 const std::vector<PassDivision>& passes);

// The same walk on probabilities that arrive in blocks of any size: every
// moment is the same double as binomialMomentsOfPasses gives, wherever the
// blocks are cut. Throws std::invalid_argument unless n ≥ 1, m ≥ 1 and every
// pass is a chain division.
class PassMomentWalk final : public ProbabilityConsumer {
  public:
    PassMomentWalk(std::int32_t n, std::int32_t m, const std::vector<PassDivision>& passes);
    ~PassMomentWalk() override;
    PassMomentWalk(const PassMomentWalk&) = delete;
    PassMomentWalk& operator=(const PassMomentWalk&) = delete;

    // Throws std::invalid_argument when the block goes past the
    // intersectionCount(n, m) probabilities of (n, m).
    void take(std::span<const double> block) override;
    // The number of probabilities taken so far.
    std::int64_t taken() const;
    // The moments of every pass, in the order of `passes`. Throws
    // std::invalid_argument unless all the probabilities of (n, m) were taken.
    std::vector<PassMoments> finish();

  private:
    struct Walk;
    std::unique_ptr<Walk> walk_;
};

}  // namespace unionbound
