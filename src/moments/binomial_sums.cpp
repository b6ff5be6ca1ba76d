#include "moments/binomial_sums.hpp"

#include <algorithm>

#include "moments/subsets.hpp"

namespace unionbound {

BinomialSumsAccumulator::BinomialSumsAccumulator(std::int32_t n, std::int32_t m)
    : n_(n),
      m_(m),
      sums_(static_cast<std::size_t>(std::max(m, 0)) + 1),
      leftOfSize_(subsetCount(n, 1)) {
    sums_[0] = DoubleDouble(1.0);
}

void BinomialSumsAccumulator::take(std::span<const double> block) {
    std::size_t at = 0;
    while (at < block.size() && size_ <= m_) {
        if (leftOfSize_ == 0) {
            ++size_;
            leftOfSize_ = subsetCount(n_, size_);
            continue;
        }
        const std::size_t part = std::min(block.size() - at, static_cast<std::size_t>(leftOfSize_));
        DoubleDouble sum = sums_[static_cast<std::size_t>(size_)];
        for (std::size_t i = at; i < at + part; ++i) {
            sum += DoubleDouble(block[i]);
        }
        sums_[static_cast<std::size_t>(size_)] = sum;
        at += part;
        leftOfSize_ -= static_cast<std::int64_t>(part);
    }
}

}  // namespace unionbound
