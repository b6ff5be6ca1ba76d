// Walks the subset order (sizes 1 … m, each size lexicographic) carrying a
// value along every prefix of the current subset, so that a subset's value
// costs one step from its prefix's instead of one per element.
#pragma once

#include <cstdint>
#include <vector>

namespace unionbound {

// For every subset {a_1 < … < a_s} of {1 … n} in the subset order:
// prefix[0] = start, prefix[t] = extend(prefix[t-1], a_t), then emit(prefix[s]).
// `extend(const State&, std::int32_t event, State& into)` writes into place.
template <typename State, typename Extend, typename Emit>
void walkSubsetsWithPrefix(std::int32_t n, std::int32_t m, const State& start, Extend extend,
                           Emit emit) {
    for (std::int32_t size = 1; size <= m && size <= n; ++size) {
        std::vector<State> prefix(size + 1, start);
        std::vector<std::int32_t> element(size + 1, 0);
        // Depth-first over the elements: element[t] runs up to n - (size - t).
        std::int32_t t = 1;
        element[1] = 0;
        while (t >= 1) {
            ++element[t];
            if (element[t] > n - (size - t)) {
                --t;
                continue;
            }
            extend(prefix[t - 1], element[t], prefix[t]);
            if (t == size) {
                emit(prefix[t]);
            } else {
                element[t + 1] = element[t];
                ++t;
            }
        }
    }
}

}  // namespace unionbound
