#include "moments/probability_consumer.hpp"

#include <algorithm>

namespace unionbound {

KeptProbabilities::KeptProbabilities(std::int64_t count)
    : count_(static_cast<std::size_t>(std::max<std::int64_t>(count, 0))) {
    values_.reserve(count_);
}

void KeptProbabilities::take(std::span<const double> block) {
    const std::size_t wanted = std::min(block.size(), count_ - values_.size());
    values_.insert(values_.end(), block.begin(),
                   block.begin() + static_cast<std::ptrdiff_t>(wanted));
}

void ProbabilityFanOut::take(std::span<const double> block) {
    for (ProbabilityConsumer* consumer : consumers_) {
        consumer->take(block);
    }
}

void feedInBlocks(const RealVector& values, ProbabilityConsumer& consumer, std::size_t blockSize) {
    const std::span<const double> all(values);
    if (blockSize == 0) {
        blockSize = std::max<std::size_t>(all.size(), 1);
    }
    for (std::size_t at = 0; at < all.size(); at += blockSize) {
        consumer.take(all.subspan(at, std::min(blockSize, all.size() - at)));
    }
}

}  // namespace unionbound
