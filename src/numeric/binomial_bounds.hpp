// Binomial coefficients as proven enclosures in doubles: C(a, k) is an
// integer that a double holds exactly only below 2^53, so each one is kept as
// a pair lower ≤ C(a, k) ≤ upper (equal wherever it is exact). Built by
// Pascal's rule, C(a, k) = C(a-1, k-1) + C(a-1, k), each sum rounded outward.
#pragma once

#include <cstdint>

#include "numeric/directed_rounding.hpp"
#include "numeric/types.hpp"

namespace unionbound {

class BinomialBounds {
  public:
    // The coefficients C(a, k) for 0 ≤ a ≤ top and 0 ≤ k ≤ orders.
    // Precondition: top ≥ 0, orders ≥ 0.
    BinomialBounds(std::int32_t top, std::int32_t orders)
        : top_(top),
          orders_(orders),
          lower_(static_cast<std::size_t>(top + 1) * static_cast<std::size_t>(orders + 1), 0.0),
          upper_(lower_) {
        for (std::int32_t a = 0; a <= top; ++a) {
            set(a, 0, 1.0, 1.0);
            for (std::int32_t k = 1; k <= orders && a > 0; ++k) {
                set(a, k, addDown(lower(a - 1, k - 1), lower(a - 1, k)),
                    addUp(upper(a - 1, k - 1), upper(a - 1, k)));
            }
        }
    }

    std::int32_t top() const { return top_; }
    std::int32_t orders() const { return orders_; }

    // A double ≤ C(a, k) and a double ≥ C(a, k) (0 for k > a).
    // Precondition: 0 ≤ a ≤ top, 0 ≤ k ≤ orders.
    double lower(std::int32_t a, std::int32_t k) const { return lower_[at(a, k)]; }
    double upper(std::int32_t a, std::int32_t k) const { return upper_[at(a, k)]; }

  private:
    std::size_t at(std::int32_t a, std::int32_t k) const {
        return static_cast<std::size_t>(a) * static_cast<std::size_t>(orders_ + 1) +
               static_cast<std::size_t>(k);
    }
    void set(std::int32_t a, std::int32_t k, double low, double high) {
        lower_[at(a, k)] = low;
        upper_[at(a, k)] = high;
    }

    std::int32_t top_;
    std::int32_t orders_;
    RealVector lower_;
    RealVector upper_;
};

}  // namespace unionbound
