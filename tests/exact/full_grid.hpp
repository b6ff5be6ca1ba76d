// The per-pass problem over every value point z = (z_1 … z_q), 0 ≤ z_c ≤ L_c,
// solved directly with the LP library: the reference the compact form is
// compared with (small passes only: the grid has Π (L_c + 1) points).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/pass_problem.hpp"
#include "lp/lp_solver.hpp"
#include "moments/moment_errors.hpp"
#include "numeric/binomial_bounds.hpp"

namespace unionbound::testing {

// The value points of a pass, in odometer order (z_1 fastest).
inline std::vector<IntVector> valuePoints(const IntVector& lengths) {
    std::vector<IntVector> points;
    IntVector z(lengths.size(), 0);
    while (true) {
        points.push_back(z);
        std::size_t c = 0;
        while (c < z.size() && z[c] == lengths[c]) {
            z[c++] = 0;
        }
        if (c == z.size()) {
            return points;
        }
        ++z[c];
    }
}

// φ_i(z) for every moment i of the pass: 1, C(z_c, k), C(z_1, d)·C(z_c, e).
inline RealVector momentFunctions(const PassProblem& problem, const IntVector& z) {
    const PassLayout layout = passLayout(problem);
    const BinomialBounds binomial(*std::max_element(z.begin(), z.end()), problem.m);
    RealVector phi(layout.size(), 0.0);
    phi[0] = 1.0;
    for (std::int32_t c = 1; c <= layout.q; ++c) {
        const std::int32_t zc = z[static_cast<std::size_t>(c - 1)];
        for (std::int32_t k = 1; k <= problem.m; ++k) {
            phi[layout.single(c, k)] = binomial.lower(zc, k);
        }
        for (std::int32_t e = 1; c >= 2 && e < problem.m; ++e) {
            for (std::int32_t d = 1; d + e <= problem.m; ++d) {
                phi[layout.pair(c, d, e)] = binomial.lower(z[0], d) * binomial.lower(zc, e);
            }
        }
    }
    return phi;
}

struct GridOptima {
    lp::Status status = lp::Status::failed;
    double largest = 0.0;   // max P(z ≠ 0)
    double smallest = 0.0;  // min P(z ≠ 0)
};

// Both optima of the grid LP, rows scaled by the number of terms of each moment.
inline GridOptima solveFullGrid(const PassProblem& problem) {
    const RealVector scale = passTermCounts(problem);
    lp::Rows rows;
    std::vector<std::int32_t> rowOf;
    for (std::size_t i = 0; i < scale.size(); ++i) {
        const double s = i == 0 ? 1.0 : scale[i];
        rowOf.push_back(s > 0.0 ? static_cast<std::int32_t>(rows.lower.size()) : -1);
        if (s > 0.0) {
            rows.lower.push_back(problem.moments[i] / s);
            rows.upper.push_back(problem.moments[i] / s);
        }
    }
    std::vector<lp::Column> columns;
    for (const IntVector& z : valuePoints(problem.lengths)) {
        const RealVector phi = momentFunctions(problem, z);
        lp::Column column;
        column.cost =
            std::any_of(z.begin(), z.end(), [](std::int32_t v) { return v > 0; }) ? -1.0 : 0.0;
        for (std::size_t i = 0; i < phi.size(); ++i) {
            if (rowOf[i] >= 0 && phi[i] != 0.0) {
                column.rows.push_back(rowOf[i]);
                column.values.push_back(phi[i] / (i == 0 ? 1.0 : scale[i]));
            }
        }
        columns.push_back(std::move(column));
    }
    GridOptima optima;
    auto solver = lp::makeSolver();
    solver->setRows(rows);
    solver->addColumns(columns);
    lp::Result result = solver->solve();
    if (result.status != lp::Status::optimal) {
        optima.status = result.status;
        return optima;
    }
    optima.largest = -result.objective;
    for (std::int32_t j = 0; j < solver->columnCount(); ++j) {
        solver->setColumnCost(j, -columns[static_cast<std::size_t>(j)].cost);
    }
    result = solver->solve();
    optima.status = result.status;
    optima.smallest = result.objective;
    return optima;
}

}  // namespace unionbound::testing
