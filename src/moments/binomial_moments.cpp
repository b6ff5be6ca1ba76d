#include "moments/binomial_moments.hpp"

#include "moments/moment_sweep.hpp"

namespace unionbound {

RealVector binomialMoments(const RealVector& prob, std::int32_t n, std::int32_t l, std::int32_t m,
                           const IntMatrix& pairs, const IntVector& orders) {
    std::vector<PassMoments> one = binomialMomentsOfPasses(prob, n, m, {{l, pairs, orders}});
    return std::move(one[0].moments);
}

}  // namespace unionbound
