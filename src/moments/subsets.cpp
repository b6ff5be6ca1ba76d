#include "moments/subsets.hpp"

#include <algorithm>

namespace unionbound {

std::int64_t subsetCount(std::int64_t n, std::int64_t k) {
    if (k < 0 || n < k) {
        return 0;
    }
    std::int64_t a = 1;
    for (std::int64_t j = 1; j <= k; ++j) {
        // After step j, a = C(n - k + j, j) < 2^31 and n + j - k < 2^31, so the
        // product stays below 2^62.
        a = ((n + j - k) * a) / j;
        if (a >= kCountTooLarge) {
            return kCountTooLarge;
        }
    }
    return a;
}

std::int64_t intersectionCount(std::int32_t n, std::int32_t m) {
    std::int64_t count = 0;
    for (std::int32_t i = 1; i <= m && i <= n; ++i) {
        count += subsetCount(n, i);
        if (count >= kCountTooLarge) {
            return kCountTooLarge;
        }
    }
    return count;
}

IntVector subsetAtPosition(std::int32_t n, std::int32_t m, std::int64_t p) {
    if (p < 0) {
        return {};
    }
    for (std::int32_t size = 1; size <= m && size <= n; ++size) {
        const std::int64_t sizeCount = subsetCount(n, size);
        if (p >= sizeCount) {
            p -= sizeCount;
            continue;
        }
        // Unrank p among the size-subsets: the number of subsets that go on
        // with x after the elements chosen so far is C(n - x, size - 1 - t).
        IntVector subset;
        std::int64_t rest = p;
        std::int32_t last = 0;
        for (std::int32_t t = 0; t < size; ++t) {
            std::int32_t x = last + 1;
            for (;;) {
                const std::int64_t continuations = subsetCount(n - x, size - 1 - t);
                if (rest < continuations) {
                    break;
                }
                rest -= continuations;
                ++x;
            }
            subset.push_back(x);
            last = x;
        }
        return subset;
    }
    return {};
}

std::int64_t subsetPosition(std::int32_t n, std::int32_t m, const IntVector& subset) {
    const auto size = static_cast<std::int32_t>(subset.size());
    if (size < 1 || size > m || size > n) {
        return -1;
    }
    std::int64_t position = 0;
    for (std::int32_t smaller = 1; smaller < size; ++smaller) {
        position += subsetCount(n, smaller);
    }
    // The subsets that share the first t elements and go on with a smaller
    // element x come first: C(n - x, size - 1 - t) of them for every such x.
    std::int32_t last = 0;
    for (std::int32_t t = 0; t < size; ++t) {
        if (subset[t] <= last || subset[t] > n) {
            return -1;
        }
        for (std::int32_t x = last + 1; x < subset[t]; ++x) {
            position += subsetCount(n - x, size - 1 - t);
        }
        last = subset[t];
    }
    return position;
}

IntMatrix allSubsets(std::int32_t n, std::int32_t m) {
    IntMatrix rows;
    for (SubsetCursor cursor(n, m); cursor.valid(); cursor.next()) {
        rows.push_back(cursor.subset());
    }
    return rows;
}

SubsetCursor::SubsetCursor(std::int32_t n, std::int32_t m)
    : n_(n), m_(m), valid_(n >= 1 && m >= 1), elements_(valid_ ? 1 : 0, 1) {}

void SubsetCursor::next() {
    if (!valid_) {
        return;
    }
    const std::int32_t size = static_cast<std::int32_t>(elements_.size());
    // Advance the rightmost element that can still grow; the ones after it
    // restart right behind it.
    for (std::int32_t t = size - 1; t >= 0; --t) {
        if (elements_[t] < n_ - (size - 1 - t)) {
            ++elements_[t];
            for (std::int32_t u = t + 1; u < size; ++u) {
                elements_[u] = elements_[u - 1] + 1;
            }
            return;
        }
    }
    // Every subset of this size is done: the next size starts at 1, 2, ….
    if (size < m_ && size < n_) {
        elements_.resize(size + 1);
        for (std::int32_t u = 0; u <= size; ++u) {
            elements_[u] = u + 1;
        }
        return;
    }
    valid_ = false;
}

}  // namespace unionbound
