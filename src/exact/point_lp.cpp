#include "exact/point_lp.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace unionbound {

namespace {

// Passes with at most this many value points take them all at once.
constexpr std::int64_t kAllPointsAtOnce = 500;

}  // namespace

PointLp::PointLp(const PassProblem& problem, lp::Solver& solver, bool distance,
                 const RealVector& allowed)
    : PassProgram(problem, solver, distance, allowed) {
    finishRows(momentRows());
    zeroColumn_ = solver_.columnCount();
    // All points of a small pass; otherwise the point 0, then the points
    // where all counts keep the same rank (z_c = a·L_c / L_1): a
    // distribution that makes the events of the subsequences move together
    // is often near an optimum.
    const auto q = static_cast<std::size_t>(layout_.q);
    std::int64_t allPoints = 1;
    for (std::int32_t c = 1; c <= layout_.q && allPoints <= kAllPointsAtOnce; ++c) {
        allPoints *= length(c) + 1;
    }
    std::vector<Point> first{Point(q, 0)};
    if (allPoints <= kAllPointsAtOnce) {
        Point z(q, 0);
        while (true) {
            std::size_t c = 0;
            while (c < q && z[c] == length(static_cast<std::int32_t>(c) + 1)) {
                z[c++] = 0;
            }
            if (c == q) {
                break;
            }
            ++z[c];
            first.push_back(z);
        }
    }
    for (std::int32_t a = 1; a <= length(1) && allPoints > kAllPointsAtOnce; ++a) {
        Point z(q, a);
        for (std::int32_t c = 2; c <= layout_.q; ++c) {
            z[static_cast<std::size_t>(c - 1)] = static_cast<std::int32_t>(
                std::lround(static_cast<double>(a) * length(c) / static_cast<double>(length(1))));
        }
        first.push_back(z);
    }
    enter(first);
}

lp::Column PointLp::pointColumn(const Point& z) const {
    const std::int32_t m = problem_.m;
    const std::int32_t a = z[0];
    lp::Column column;
    column.rows.push_back(row(0));
    column.values.push_back(1.0);
    for (std::int32_t k = 1; k <= m && k <= a; ++k) {
        const std::size_t i = layout_.single(1, k);
        column.rows.push_back(row(i));
        column.values.push_back(scaled(i, binomial_.lower(a, k)));
    }
    for (std::int32_t c = 2; c <= layout_.q; ++c) {
        const std::int32_t zc = z[static_cast<std::size_t>(c - 1)];
        for (std::int32_t e = 1; e <= m && e <= zc; ++e) {
            const std::size_t i = layout_.single(c, e);
            column.rows.push_back(row(i));
            column.values.push_back(scaled(i, binomial_.lower(zc, e)));
            for (std::int32_t d = 1; d + e <= m && d <= a; ++d) {
                const std::size_t j = layout_.pair(c, d, e);
                column.rows.push_back(row(j));
                column.values.push_back(scaled(j, binomial_.lower(a, d) * binomial_.lower(zc, e)));
            }
        }
    }
    return column;
}

void PointLp::enter(const std::vector<Point>& points) {
    std::vector<lp::Column> columns;
    columns.reserve(points.size());
    for (const Point& z : points) {
        if (points_.insert(z).second) {
            columns.push_back(pointColumn(z));
        }
    }
    if (!columns.empty()) {
        solver_.addColumns(columns);
    }
}

std::vector<PointLp::Point> PointLp::price(const lp::Result& result) const {
    const std::int32_t m = problem_.m;
    const std::int32_t q = layout_.q;
    const std::int32_t top = problem_.lengths[0];
    const RealVector dual = momentDuals(result);
    RealVector alpha(static_cast<std::size_t>(m + 1), 0.0);
    std::vector<Point> entering;
    Point best(static_cast<std::size_t>(q), 0);
    for (std::int32_t a = 0; a <= top; ++a) {
        // The dual activity of p(z): λ_0 + f(a) + Σ_c h_c(a, z_c).
        double activity = dual[0];
        for (std::int32_t k = 1; k <= m && k <= a; ++k) {
            activity += dual[layout_.single(1, k)] * binomial_.lower(a, k);
        }
        best[0] = a;
        // For a = 0 the point 0 is not a candidate: the cheapest way off it
        // moves the coordinate that loses least.
        double leastLoss = lp::kInfinity;
        std::int32_t lossC = 0, lossZ = 0;
        for (std::int32_t c = 2; c <= q; ++c) {
            const std::int32_t length = problem_.lengths[static_cast<std::size_t>(c - 1)];
            for (std::int32_t e = 1; e <= m; ++e) {
                double sum = dual[layout_.single(c, e)];
                for (std::int32_t d = 1; d + e <= m && d <= a; ++d) {
                    sum += dual[layout_.pair(c, d, e)] * binomial_.lower(a, d);
                }
                alpha[static_cast<std::size_t>(e)] = sum;
            }
            double largest = 0.0;  // h_c(a, 0)
            double largestAboveZero = -lp::kInfinity;
            std::int32_t at = 0, atAboveZero = 1;
            for (std::int32_t z = 1; z <= length; ++z) {
                double h = 0.0;
                for (std::int32_t e = 1; e <= m && e <= z; ++e) {
                    h += alpha[static_cast<std::size_t>(e)] * binomial_.lower(z, e);
                }
                if (h > largestAboveZero) {
                    largestAboveZero = h;
                    atAboveZero = z;
                }
            }
            if (largestAboveZero > largest) {
                largest = largestAboveZero;
                at = atAboveZero;
            }
            activity += largest;
            best[static_cast<std::size_t>(c - 1)] = at;
            if (largest - largestAboveZero < leastLoss) {
                leastLoss = largest - largestAboveZero;
                lossC = c;
                lossZ = atAboveZero;
            }
        }
        const bool zero =
            std::all_of(best.begin(), best.end(), [](std::int32_t v) { return v == 0; });
        if (zero) {
            if (q == 1) {
                continue;  // the point 0 is always in the program
            }
            activity -= leastLoss;
            best[static_cast<std::size_t>(lossC - 1)] = lossZ;
        }
        if (-activity < -kPricingTolerance && points_.count(best) == 0) {
            entering.push_back(best);
        }
    }
    return entering;
}

void PointLp::setGoal(Goal goal) {
    solver_.setColumnCost(zeroColumn_, goal == Goal::leastNoEvent  ? 1.0
                                       : goal == Goal::mostNoEvent ? -1.0
                                                                   : 0.0);
}

bool PointLp::enterPriced(const lp::Result& result) {
    const std::vector<Point> entering = price(result);
    enter(entering);
    return !entering.empty();
}

}  // namespace unionbound
