// The seam between the reading of the intersection probabilities and what is
// formed from them: whoever reads the numbers hands them on in the subset
// order, in consecutive blocks of any size, and keeps none of them; each
// consumer keeps only what it needs.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "numeric/types.hpp"

namespace unionbound {

class ProbabilityConsumer {
  public:
    virtual ~ProbabilityConsumer() = default;
    // The next block.size() probabilities of the subset order, right after
    // those of the earlier calls. The block is only valid during the call.
    virtual void take(std::span<const double> block) = 0;
};

// Keeps the first `count` probabilities it is given (all of them when fewer
// arrive) and lets the others pass.
class KeptProbabilities final : public ProbabilityConsumer {
  public:
    explicit KeptProbabilities(std::int64_t count);
    void take(std::span<const double> block) override;
    const RealVector& values() const { return values_; }
    RealVector release() { return std::move(values_); }

  private:
    std::size_t count_;
    RealVector values_;
};

// Hands every block to each of its consumers, in the order they were added.
class ProbabilityFanOut final : public ProbabilityConsumer {
  public:
    void add(ProbabilityConsumer& consumer) { consumers_.push_back(&consumer); }
    void take(std::span<const double> block) override;

  private:
    std::vector<ProbabilityConsumer*> consumers_;
};

// Feeds `values` to `consumer` in blocks of at most `blockSize` numbers (all
// at once for 0): the stream a reader would give.
void feedInBlocks(const RealVector& values, ProbabilityConsumer& consumer,
                  std::size_t blockSize = 0);

}  // namespace unionbound
