#include "aggregation/moment_shift.hpp"

#include <string>

#include "numeric/diagnostics.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

bool isEntry(const IntMatrix& entry, std::size_t width) {
    return entry.size() == 2 && entry[0].size() == width && entry[1].size() == width;
}

// C(e, t) as the running product c = c·(e - t + r) / r in 32-bit integers.
std::int32_t binomial(std::int32_t e, std::int32_t t) {
    if (t > e) {
        return 0;
    }
    std::int32_t c = 1;
    for (std::int32_t r = 1; r <= t; ++r) {
        c = c * (e - t + r) / r;
    }
    return c;
}

RealVector refuse(const std::string& problem) {
    diagnose("in shiftMoments, " + problem + "\n");
    return {};
}

}  // namespace

std::int32_t findSingleEntry(const IntMatrixList& L, std::int32_t j, std::int32_t e) {
    const IntMatrix wanted = {{j}, {e}};
    for (std::size_t p = 0; p < L.size(); ++p) {
        if (IntMatrixEqual(L[p], wanted)) {
            return static_cast<std::int32_t>(p);
        }
    }
    return -1;
}

std::int32_t findMixedEntry(const IntMatrixList& L, std::int32_t j1, std::int32_t j2,
                            std::int32_t e1, std::int32_t e2) {
    const IntMatrix wanted = {{j1, j2}, {e1, e2}};
    for (std::size_t p = 0; p < L.size(); ++p) {
        if (IntMatrixEqual(L[p], wanted)) {
            return static_cast<std::int32_t>(p);
        }
    }
    return -1;
}

MomentLookup::MomentLookup(const IntMatrixList& L) {
    for (std::size_t p = 0; p < L.size(); ++p) {
        const IntMatrix& entry = L[p];
        const auto position = static_cast<std::int32_t>(p);
        if (isEntry(entry, 1)) {
            const std::int32_t j = entry[0][0], e = entry[1][0];
            if (j < 0 || e < 0) {
                continue;
            }
            if (single_.size() <= static_cast<std::size_t>(j)) {
                single_.resize(j + 1);
            }
            IntVector& row = single_[j];
            if (row.size() <= static_cast<std::size_t>(e)) {
                row.resize(e + 1, -1);
            }
            if (row[e] < 0) {
                row[e] = position;
            }
        } else if (isEntry(entry, 2)) {
            const std::int32_t e1 = entry[1][0], e2 = entry[1][1];
            if (e1 < 0 || e2 < 0) {
                continue;
            }
            std::vector<IntVector>& grid = mixed_[{entry[0][0], entry[0][1]}];
            if (grid.size() <= static_cast<std::size_t>(e1)) {
                grid.resize(e1 + 1);
            }
            IntVector& row = grid[e1];
            if (row.size() <= static_cast<std::size_t>(e2)) {
                row.resize(e2 + 1, -1);
            }
            if (row[e2] < 0) {
                row[e2] = position;
            }
        }
    }
}

std::int32_t MomentLookup::single(std::int32_t j, std::int32_t e) const {
    if (j < 0 || e < 0 || static_cast<std::size_t>(j) >= single_.size()) {
        return -1;
    }
    const IntVector& row = single_[j];
    return static_cast<std::size_t>(e) < row.size() ? row[e] : -1;
}

std::int32_t MomentLookup::mixed(std::int32_t j1, std::int32_t j2, std::int32_t e1,
                                 std::int32_t e2) const {
    const auto found = mixed_.find({j1, j2});
    if (found == mixed_.end() || e1 < 0 || e2 < 0 ||
        static_cast<std::size_t>(e1) >= found->second.size()) {
        return -1;
    }
    const IntVector& row = found->second[e1];
    return static_cast<std::size_t>(e2) < row.size() ? row[e2] : -1;
}

RealVector shiftMoments(const RealVector& rhs, const RealVector& shifts,
                        const IntMatrixList& momentIndex, const IntVector& orders) {
    return shiftMoments(rhs, shifts, momentIndex, orders, MomentLookup(momentIndex));
}

RealVector shiftMoments(const RealVector& rhs, const RealVector& shifts,
                        const IntMatrixList& momentIndex, const IntVector& orders,
                        const MomentLookup& lookup) {
    const std::int32_t singles = IntScalarProduct(orders, IntVector(orders.size(), 1));
    if (singles < 0 || momentIndex.size() < static_cast<std::size_t>(singles) + 1) {
        return refuse("the moment index list is shorter than its one-coordinate block");
    }
    if (rhs.size() < momentIndex.size()) {
        return refuse("there are fewer moments than entries of the moment index list");
    }
    const auto coordinateOk = [&](std::int32_t j) {
        return j >= 1 && static_cast<std::size_t>(j) <= shifts.size();
    };
    // Checks every entry and every moment its expansion reads before any
    // arithmetic, so that no lookup can fall outside the moments.
    for (std::size_t i = 1; i < momentIndex.size(); ++i) {
        const IntMatrix& entry = momentIndex[i];
        const bool one = i <= static_cast<std::size_t>(singles);
        if (!isEntry(entry, one ? 1 : 2)) {
            return refuse("entry " + std::to_string(i) + " of the moment index list is not a " +
                          (one ? "one" : "two") + "-coordinate entry");
        }
        bool found = true;
        if (one) {
            const std::int32_t j = entry[0][0], e = entry[1][0];
            found = coordinateOk(j);
            for (std::int32_t t = 1; t <= e && found; ++t) {
                found = lookup.single(j, t) >= 0;
            }
        } else {
            const std::int32_t j1 = entry[0][0], j2 = entry[0][1];
            const std::int32_t e1 = entry[1][0], e2 = entry[1][1];
            found = coordinateOk(j1) && coordinateOk(j2);
            for (std::int32_t t = 1; t <= e1 && found; ++t) {
                found = lookup.single(j1, t) >= 0;
            }
            for (std::int32_t t = 1; t <= e2 && found; ++t) {
                found = lookup.single(j2, t) >= 0;
            }
            for (std::int32_t t1 = 1; t1 <= e1 && found; ++t1) {
                for (std::int32_t t2 = 1; t2 <= e2 && found; ++t2) {
                    found = lookup.mixed(j1, j2, t1, t2) >= 0;
                }
            }
        }
        if (!found) {
            return refuse("entry " + std::to_string(i) +
                          " needs a coordinate or a moment that the list does not hold");
        }
    }

    RealVector shifted;
    shifted.reserve(momentIndex.size());
    shifted.push_back(1.0);

    for (std::size_t i = 1; i <= static_cast<std::size_t>(singles); ++i) {
        const std::int32_t j = momentIndex[i][0][0], e = momentIndex[i][1][0];
        const double a = -shifts[j - 1];
        const auto mu = [&](std::int32_t t) { return rhs[lookup.single(j, t)]; };
        double acc = 0;
        for (std::int32_t t = 1; t <= e - 1; ++t) {
            acc = IntPower(a, e - t) * mu(t) * binomial(e, t) + acc;
        }
        acc = IntPower(a, e) + mu(e) + acc;
        shifted.push_back(acc);
    }

    for (std::size_t i = static_cast<std::size_t>(singles) + 1; i < momentIndex.size(); ++i) {
        const std::int32_t j1 = momentIndex[i][0][0], j2 = momentIndex[i][0][1];
        const std::int32_t e1 = momentIndex[i][1][0], e2 = momentIndex[i][1][1];
        const double a1 = -shifts[j1 - 1];
        const double a2 = -shifts[j2 - 1];
        const auto mu1 = [&](std::int32_t t) { return rhs[lookup.single(j1, t)]; };
        const auto mu2 = [&](std::int32_t t) { return rhs[lookup.single(j2, t)]; };
        const auto mu = [&](std::int32_t t1, std::int32_t t2) {
            return rhs[lookup.mixed(j1, j2, t1, t2)];
        };
        double acc = IntPower(a2, e2) * IntPower(a1, e1);
        for (std::int32_t t1 = 1; t1 <= e1 - 1; ++t1) {
            acc += IntPower(a1, e1 - t1) * IntPower(a2, e2) * mu1(t1) * binomial(e1, t1);
        }
        acc += IntPower(a2, e2) * mu1(e1);
        for (std::int32_t t2 = 1; t2 <= e2 - 1; ++t2) {
            acc += IntPower(a2, e2 - t2) * IntPower(a1, e1) * mu2(t2) * binomial(e2, t2);
        }
        acc += IntPower(a1, e1) * mu2(e2);
        for (std::int32_t t1 = 1; t1 <= e1 - 1; ++t1) {
            for (std::int32_t t2 = 1; t2 <= e2 - 1; ++t2) {
                const std::int32_t coefficient = binomial(e1, t1) * binomial(e2, t2);
                acc += coefficient * IntPower(a1, e1 - t1) * IntPower(a2, e2 - t2) * mu(t1, t2);
            }
        }
        acc += mu(e1, e2);
        for (std::int32_t t1 = 1; t1 <= e1 - 1; ++t1) {
            acc += IntPower(a1, e1 - t1) * mu(t1, e2) * binomial(e1, t1);
        }
        for (std::int32_t t2 = 1; t2 <= e2 - 1; ++t2) {
            acc += IntPower(a2, e2 - t2) * mu(e1, t2) * binomial(e2, t2);
        }
        shifted.push_back(acc);
    }
    return shifted;
}

}  // namespace unionbound
