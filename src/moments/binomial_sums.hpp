// The sums S_1 … S_m of the intersection probabilities, formed while the
// probabilities stream past.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "moments/probability_consumer.hpp"
#include "numeric/double_double.hpp"

namespace unionbound {

// Adds each probability, in double-double arithmetic and in the subset
// order, to the sum of its subset size: S_k takes the C(n, k) numbers after
// those of the smaller sizes. Numbers after the C(n,1) + … + C(n,m) of (n, m)
// are ignored; a size that got fewer numbers keeps the sum of those it got.
class BinomialSumsAccumulator final : public ProbabilityConsumer {
  public:
    BinomialSumsAccumulator(std::int32_t n, std::int32_t m);
    void take(std::span<const double> block) override;
    // S_0 = 1, then S_1 … S_m as binomialSums gives them.
    const std::vector<DoubleDouble>& sums() const { return sums_; }

  private:
    std::int32_t n_;
    std::int32_t m_;
    std::vector<DoubleDouble> sums_;
    std::int32_t size_ = 1;    // the subset size of the next number
    std::int64_t leftOfSize_;  // how many numbers of that size are still to come
};

}  // namespace unionbound
