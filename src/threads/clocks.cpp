#include "threads/clocks.hpp"

#include <time.h>

#include <algorithm>
#include <ctime>
#include <utility>

namespace unionbound {

std::int64_t processMilliseconds() {
    return static_cast<std::int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

std::int64_t threadMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::vector<std::int64_t> apportionMilliseconds(std::int64_t total,
                                                const std::vector<std::uint64_t>& weights) {
    std::vector<std::int64_t> shares(weights.size(), 0);
    long double sum = 0;
    for (std::uint64_t w : weights) {
        sum += static_cast<long double>(w);
    }
    if (total <= 0 || sum <= 0) {
        return shares;
    }
    std::vector<std::pair<long double, std::size_t>> remainders;
    std::int64_t given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const long double exact = static_cast<long double>(total) * weights[i] / sum;
        shares[i] = static_cast<std::int64_t>(exact);
        given += shares[i];
        remainders.push_back({exact - static_cast<long double>(shares[i]), i});
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t k = 0; given < total && k < remainders.size(); ++k, ++given) {
        ++shares[remainders[k].second];
    }
    return shares;
}

}  // namespace unionbound
