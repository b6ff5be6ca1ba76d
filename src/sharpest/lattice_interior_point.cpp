#include "sharpest/lattice_interior_point.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace unionbound {

namespace {

// The fraction of the way to the boundary that a step goes, at most.
constexpr double kLargestStepFraction = 0.9995;
// Gondzio's correctors: the trial step beyond the current one, the band of
// products x_ω·s_ω around the target σμ they aim for, and the gain in step
// length a corrector must bring to be kept.
constexpr double kCorrectorStretch = 0.1;
constexpr double kBandLow = 0.1;
constexpr double kBandHigh = 10.0;
constexpr double kCorrectorGain = 0.1;
// Correctors only where a factorisation takes this many times as long as
// one corrector's transforms and passes over the lattice, or more (they cut
// the iterations by a quarter at best).
constexpr double kCorrectorsAreCheap = 10.0;
// Iterations without a better point (its gap or either residual smaller
// than ever by kProgress) before the method counts as stalled.
constexpr std::int32_t kStallIterations = 8;
constexpr double kProgress = 1e-3;
// A step scales the residuals of the rows and of the costs by (1 − step);
// they are summed anew every this many iterations, and whenever they are
// small enough to decide the end.
constexpr std::int32_t kFreshResiduals = 8;
constexpr double kSmallResidual = 1e-7;
// The primal point is moved onto the rows, to be handed out, once its
// objective agrees with the dual one to this, relative to 1 + |dual objective|.
constexpr double kProjectionGap = 1e-7;

}  // namespace

LatticeInteriorPoint::LatticeInteriorPoint(const OutcomeRows& rows, std::span<const double> targets,
                                           std::span<const std::uint8_t> excluded,
                                           double costWithEvents, ParallelFor parallel)
    : rows_(rows),
      excluded_(excluded),
      cost_(costWithEvents),
      parallel_(std::move(parallel)),
      normal_(0) {
    for (std::int32_t row = 0; row < rows.rowCount(); ++row) {
        const double target = targets[static_cast<std::size_t>(row)];
        if (row == 0 || target != 0.0) {
            active_.push_back(row);
            masks_.push_back(rows.maskOfRow(row));
            b_.push_back(target);
        }
    }
    normal_ = DenseCholesky(static_cast<std::int32_t>(active_.size()));
    const auto outcomes = static_cast<std::size_t>(rows.outcomeCount());
    for (std::size_t w = 0; w < outcomes; ++w) {
        unknowns_ += excluded_[w] == 0 ? 1 : 0;
    }
    for (std::vector<double>* v : {&x_, &s_, &dx_, &ds_, &rc_, &work_, &q_}) {
        v->assign(outcomes, 0.0);
    }
    const std::size_t r = active_.size();
    for (std::vector<double>* v : {&y_, &dy_, &rb_}) {
        v->assign(r, 0.0);
    }
    fullDuals_.assign(static_cast<std::size_t>(rows.rowCount()), 0.0);
}

template <class Body>
void LatticeInteriorPoint::inParts(Body&& body) const {
    // Always the same parts, whether they run one after the other or at the
    // same time, so that sums taken part by part are the same either way.
    const std::size_t size = x_.size();
    const std::size_t parts = std::min(kParts, size);
    const auto one = [&](std::size_t part) {
        body(part, size * part / parts, size * (part + 1) / parts);
    };
    if (parallel_) {
        parallel_(parts, one);
    } else {
        for (std::size_t part = 0; part < parts; ++part) {
            one(part);
        }
    }
}

void LatticeInteriorPoint::applyRows(std::span<const double> v, std::vector<double>& rowValues) {
    inParts([&](std::size_t, std::size_t begin, std::size_t end) {
        std::copy(v.begin() + static_cast<std::ptrdiff_t>(begin),
                  v.begin() + static_cast<std::ptrdiff_t>(end),
                  work_.begin() + static_cast<std::ptrdiff_t>(begin));
    });
    applyRowsToWork(rowValues);
}

void LatticeInteriorPoint::applyRowsToWork(std::vector<double>& rowValues) {
    supersetTransform(work_, parallel_);
    rowValues.resize(masks_.size());
    for (std::size_t i = 0; i < masks_.size(); ++i) {
        rowValues[i] = work_[masks_[i]];
    }
}

void LatticeInteriorPoint::applyColumns(std::span<const double> y, std::vector<double>& lattice) {
    inParts([&](std::size_t, std::size_t begin, std::size_t end) {
        std::fill(lattice.begin() + static_cast<std::ptrdiff_t>(begin),
                  lattice.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
    });
    for (std::size_t i = 0; i < masks_.size(); ++i) {
        lattice[masks_[i]] = y[i];
    }
    zetaTransform(lattice, parallel_);
}

bool LatticeInteriorPoint::factorNormalMatrix(Weights weights) {
    inParts([&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t w = begin; w < end; ++w) {
            work_[w] = excluded_[w] != 0            ? 0.0
                       : weights == Weights::newton ? x_[w] / s_[w]
                                                    : x_[w] * x_[w];
        }
    });
    supersetTransform(work_, parallel_);
    const auto r = static_cast<std::int32_t>(masks_.size());
    // Near the optimum the weights x/s spread over many orders of
    // magnitude and the factorisation can break down in double; then again
    // with each diagonal entry enlarged by a little more.
    for (const double enlarge : {0.0, 1e-12, 1e-10}) {
        for (std::int32_t j = 0; j < r; ++j) {
            const OutcomeMask column = masks_[static_cast<std::size_t>(j)];
            for (std::int32_t i = j; i < r; ++i) {
                normal_.at(i, j) = work_[masks_[static_cast<std::size_t>(i)] | column];
            }
            normal_.at(j, j) *= 1.0 + enlarge;
        }
        if (normal_.factor()) {
            return true;
        }
    }
    return false;
}

bool LatticeInteriorPoint::meetTheRows(double& objective, double& residual) {
    // x' = x + X² Aᵀ z with A X² Aᵀ z = b − A x: A x' = b, and each
    // probability moves by a share x_ω (Aᵀz)_ω of itself, small where the
    // rows are nearly met, so x' stays nonnegative unless the rows are far off.
    if (!factorNormalMatrix(Weights::projection)) {
        return false;
    }
    std::vector<double> z = rb_;
    normal_.solve(z);
    applyColumns(z, q_);
    std::array<double, kParts> masses{};
    std::array<std::uint8_t, kParts> negative{};
    inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
        double mass = 0.0;
        for (std::size_t w = begin; w < end; ++w) {
            dx_[w] = excluded_[w] != 0 ? 0.0 : x_[w] + x_[w] * x_[w] * q_[w];
            if (dx_[w] < 0.0) {
                negative[part] = 1;
            }
            mass += w == 0 ? 0.0 : dx_[w];
        }
        masses[part] = mass;
    });
    if (std::any_of(negative.begin(), negative.end(), [](std::uint8_t n) { return n != 0; })) {
        return false;
    }
    applyRows(dx_, z);
    residual = 0.0;
    for (std::size_t i = 0; i < z.size(); ++i) {
        residual = std::max(residual, std::fabs(b_[i] - z[i]));
    }
    objective = cost_ * sumOverParts(masses);
    return true;
}

LatticeInteriorPoint::Steps LatticeInteriorPoint::direction(Rhs rhs) {
    // From S Δx + X Δs = r_xs, Aᵀ Δy + Δs = r_c and A Δx = r_b:
    // A D Aᵀ Δy = r_b + A (D r_c − S⁻¹ r_xs), Δs = r_c − Aᵀ Δy, Δx = S⁻¹ r_xs − D Δs,
    // with S⁻¹ r_xs = −x for the predictor, q_ otherwise; a corrector has
    // no residuals of its own.
    const bool residuals = rhs != Rhs::corrector;
    const auto scaled = [&](std::size_t w) { return rhs == Rhs::predictor ? -x_[w] : q_[w]; };
    inParts([&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t w = begin; w < end; ++w) {
            work_[w] =
                excluded_[w] != 0 ? 0.0 : (residuals ? x_[w] / s_[w] * rc_[w] : 0.0) - scaled(w);
        }
    });
    applyRowsToWork(dy_);
    if (residuals) {
        for (std::size_t i = 0; i < dy_.size(); ++i) {
            dy_[i] += rb_[i];
        }
    }
    normal_.solve(dy_);
    applyColumns(dy_, ds_);
    // The steps to the boundary come with the direction, part by part.
    std::array<Steps, kParts> partSteps;
    inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
        Steps steps;
        for (std::size_t w = begin; w < end; ++w) {
            if (excluded_[w] != 0) {
                ds_[w] = 0.0;
                dx_[w] = 0.0;
                continue;
            }
            ds_[w] = (residuals ? rc_[w] : 0.0) - ds_[w];
            dx_[w] = scaled(w) - x_[w] / s_[w] * ds_[w];
            if (dx_[w] < 0.0) {
                steps.primal = std::min(steps.primal, -x_[w] / dx_[w]);
            }
            if (ds_[w] < 0.0) {
                steps.dual = std::min(steps.dual, -s_[w] / ds_[w]);
            }
        }
        partSteps[part] = steps;
    });
    return shortest(partSteps);
}

LatticeInteriorPoint::Steps LatticeInteriorPoint::shortest(const std::array<Steps, kParts>& parts) {
    Steps steps;
    for (const Steps& part : parts) {
        steps.primal = std::min(steps.primal, part.primal);
        steps.dual = std::min(steps.dual, part.dual);
    }
    return steps;
}

double LatticeInteriorPoint::sumOverParts(const std::array<double, kParts>& parts) {
    double sum = 0.0;
    for (double part : parts) {
        sum += part;
    }
    return sum;
}

void LatticeInteriorPoint::start() {
    // Mehrotra's start: the least-norm solutions of A x = b and of
    // Aᵀ y + s = c for D = 1, moved into the positive orthant.
    const std::size_t outcomes = x_.size();
    std::vector<double> rows = b_;
    normal_.solve(rows);
    applyColumns(rows, x_);
    for (std::size_t w = 0; w < outcomes; ++w) {
        q_[w] = excluded_[w] != 0 || w == 0 ? 0.0 : cost_;
    }
    applyRows(q_, y_);
    normal_.solve(y_);
    applyColumns(y_, s_);
    double smallestX = HUGE_VAL;
    double smallestS = HUGE_VAL;
    for (std::size_t w = 0; w < outcomes; ++w) {
        if (excluded_[w] != 0) {
            x_[w] = s_[w] = 0.0;
            continue;
        }
        s_[w] = q_[w] - s_[w];
        smallestX = std::min(smallestX, x_[w]);
        smallestS = std::min(smallestS, s_[w]);
    }
    // The slacks move by at least the largest cost. The costs of the upper
    // side, −1 on every outcome but ∅, lie within one outcome of the span of
    // the rows (row 0 sums them all), so its least-squares slacks are nearly
    // 0 and 1.5 times the most negative one moves them by 1e-2 on 2^16
    // outcomes and 1e-3 on 2^20: the complementarity then starts far below
    // the rows' residual, and the steps stay short for a hundred iterations
    // or more (clustered events, n = 24: no convergence in 300 iterations;
    // with the floor, 184).
    const double moveX = std::max(-1.5 * smallestX, 0.0);
    const double moveS = std::max({-1.5 * smallestS, 0.0, std::fabs(cost_)});
    double xs = 0.0, sumX = 0.0, sumS = 0.0;
    for (std::size_t w = 0; w < outcomes; ++w) {
        if (excluded_[w] == 0) {
            x_[w] += moveX;
            s_[w] += moveS;
            xs += x_[w] * s_[w];
            sumX += x_[w];
            sumS += s_[w];
        }
    }
    const double moveX2 = 0.5 * xs / sumS;
    const double moveS2 = 0.5 * xs / sumX;
    for (std::size_t w = 0; w < outcomes; ++w) {
        if (excluded_[w] == 0) {
            x_[w] += moveX2;
            s_[w] += moveS2;
        }
    }
}

InteriorPointEnd LatticeInteriorPoint::run(
    const InteriorPointSettings& settings,
    const std::function<bool(const InteriorPointIterate&)>& visit) {
    const std::size_t outcomes = x_.size();
    for (std::size_t w = 0; w < outcomes; ++w) {
        x_[w] = s_[w] = excluded_[w] != 0 ? 0.0 : 1.0;
    }
    if (!factorNormalMatrix(Weights::newton)) {
        return InteriorPointEnd::singular;
    }
    start();

    std::int32_t correctors = settings.correctors;
    if (correctors < 0) {
        // A factorisation runs at about 20 operations a nanosecond, the
        // lattice's transforms and passes at about one.
        const double r = static_cast<double>(active_.size());
        const double factorisation = r * r * r / 3.0 / 20.0;
        const double corrector =
            static_cast<double>(rows_.events() + 8) * static_cast<double>(outcomes);
        correctors = factorisation >= kCorrectorsAreCheap * corrector ? 6 : 0;
    }
    std::vector<double> savedDx, savedDs, savedDy;
    if (correctors > 0) {
        savedDx.resize(outcomes);
        savedDs.resize(outcomes);
        savedDy.resize(active_.size());
    }
    // The best gap, row residual and cost residual so far: the method goes
    // on while any of them still falls.
    double best[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    std::int32_t sinceBest = 0;
    std::int32_t sinceFresh = kFreshResiduals;
    double rowResidual = HUGE_VAL;
    double costResidual = HUGE_VAL;
    const auto count = static_cast<double>(unknowns_);
    for (std::int32_t iteration = 1;; ++iteration) {
        // The residuals, summed anew now and then (else scaled by the steps).
        if (sinceFresh >= kFreshResiduals || rowResidual <= kSmallResidual ||
            costResidual <= kSmallResidual) {
            sinceFresh = 0;
            applyRows(x_, rb_);
            rowResidual = 0.0;
            for (std::size_t i = 0; i < rb_.size(); ++i) {
                rb_[i] = b_[i] - rb_[i];
                rowResidual = std::max(rowResidual, std::fabs(rb_[i]));
            }
            applyColumns(y_, rc_);
            std::array<double, kParts> largest{};
            inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
                double most = 0.0;
                for (std::size_t w = begin; w < end; ++w) {
                    rc_[w] = excluded_[w] != 0 ? 0.0 : (w == 0 ? 0.0 : cost_) - rc_[w] - s_[w];
                    most = std::max(most, std::fabs(rc_[w]));
                }
                largest[part] = most;
            });
            costResidual = *std::max_element(largest.begin(), largest.end());
        }
        ++sinceFresh;
        std::array<double, kParts> products{};
        std::array<double, kParts> masses{};
        inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
            double xs = 0.0;
            double mass = 0.0;
            for (std::size_t w = begin; w < end; ++w) {
                xs += x_[w] * s_[w];
                mass += w == 0 ? 0.0 : x_[w];
            }
            products[part] = xs;
            masses[part] = mass;
        });
        const double complementarity = sumOverParts(products);
        const double mu = complementarity / count;
        double dualObjective = 0.0;
        for (std::size_t i = 0; i < b_.size(); ++i) {
            dualObjective += b_[i] * y_[i];
        }
        const double primalObjective = cost_ * sumOverParts(masses);
        for (std::size_t i = 0; i < active_.size(); ++i) {
            fullDuals_[static_cast<std::size_t>(active_[i])] = y_[i];
        }
        InteriorPointIterate iterate;
        // Near the end x misses the rows by little, but by more than the
        // rounding of its sums: the point moved onto them tells what a
        // distribution that meets the data reaches.
        if (sinceFresh == 1 && rowResidual <= kSmallResidual &&
            std::fabs(primalObjective - dualObjective) <=
                kProjectionGap * (1.0 + std::fabs(dualObjective))) {
            double objective = 0.0;
            double residual = 0.0;
            if (meetTheRows(objective, residual)) {
                iterate.metObjective = objective;
                iterate.metRowResidual = residual;
            }
        }
        iterate.iteration = iteration;
        iterate.duals = fullDuals_;
        iterate.primalObjective = primalObjective;
        iterate.dualObjective = dualObjective;
        iterate.complementarity = complementarity;
        iterate.rowResidual = rowResidual;
        iterate.costResidual = costResidual;
        if (visit && !visit(iterate)) {
            return InteriorPointEnd::stopped;
        }
        const double gap =
            std::fabs(primalObjective - dualObjective) / (1.0 + std::fabs(dualObjective));
        if (gap <= settings.gapTolerance && rowResidual <= settings.rowTolerance &&
            costResidual <= settings.rowTolerance && sinceFresh == 1) {
            return InteriorPointEnd::converged;
        }
        bool better = false;
        const double measures[3] = {gap, rowResidual, costResidual};
        for (int k = 0; k < 3; ++k) {
            if (measures[k] < (1.0 - kProgress) * best[k]) {
                best[k] = measures[k];
                better = true;
            }
        }
        if (better) {
            sinceBest = 0;
        } else if (++sinceBest >= kStallIterations || !(mu > 0.0)) {
            return InteriorPointEnd::stalled;
        }
        if (iteration >= settings.iterationLimit) {
            return InteriorPointEnd::iterationLimit;
        }
        if (!factorNormalMatrix(Weights::newton)) {
            return InteriorPointEnd::stalled;  // the points so far are all there is
        }

        // Predictor: the affine scaling direction (r_xs = −XSe).
        Steps steps = direction(Rhs::predictor);
        std::array<double, kParts> affine{};
        inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
            double sum = 0.0;
            for (std::size_t w = begin; w < end; ++w) {
                if (excluded_[w] == 0) {
                    sum += (x_[w] + steps.primal * dx_[w]) * (s_[w] + steps.dual * ds_[w]);
                }
            }
            affine[part] = sum;
        });
        const double sigma = std::pow(sumOverParts(affine) / count / mu, 3.0);
        const double target = sigma * mu;

        // Corrector: r_xs = −XSe − ΔXaff ΔSaff e + σμe.
        inParts([&](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t w = begin; w < end; ++w) {
                q_[w] =
                    excluded_[w] != 0 ? 0.0 : (-x_[w] * s_[w] - dx_[w] * ds_[w] + target) / s_[w];
            }
        });
        steps = direction(Rhs::both);

        // Centrality correctors: aim the products of a longer trial step at
        // the band around σμ; keep a corrector only while it lengthens the step.
        for (std::int32_t k = 0; k < correctors; ++k) {
            if (steps.primal >= 1.0 && steps.dual >= 1.0) {
                break;
            }
            const double trialPrimal = std::min(1.0, steps.primal + kCorrectorStretch);
            const double trialDual = std::min(1.0, steps.dual + kCorrectorStretch);
            savedDx.swap(dx_);
            savedDs.swap(ds_);
            savedDy.swap(dy_);
            inParts([&](std::size_t, std::size_t begin, std::size_t end) {
                for (std::size_t w = begin; w < end; ++w) {
                    if (excluded_[w] != 0) {
                        q_[w] = 0.0;
                        continue;
                    }
                    const double product =
                        (x_[w] + trialPrimal * savedDx[w]) * (s_[w] + trialDual * savedDs[w]);
                    const double aim = std::clamp(product, kBandLow * target, kBandHigh * target);
                    q_[w] = std::max(aim - product, -kBandHigh * target) / s_[w];
                }
            });
            direction(Rhs::corrector);
            std::array<Steps, kParts> partSteps;
            inParts([&](std::size_t part, std::size_t begin, std::size_t end) {
                Steps corrected;
                for (std::size_t w = begin; w < end; ++w) {
                    dx_[w] += savedDx[w];
                    ds_[w] += savedDs[w];
                    if (excluded_[w] == 0 && dx_[w] < 0.0) {
                        corrected.primal = std::min(corrected.primal, -x_[w] / dx_[w]);
                    }
                    if (excluded_[w] == 0 && ds_[w] < 0.0) {
                        corrected.dual = std::min(corrected.dual, -s_[w] / ds_[w]);
                    }
                }
                partSteps[part] = corrected;
            });
            for (std::size_t i = 0; i < dy_.size(); ++i) {
                dy_[i] += savedDy[i];
            }
            const Steps corrected = shortest(partSteps);
            if (corrected.primal + corrected.dual <
                steps.primal + steps.dual + kCorrectorGain * kCorrectorStretch) {
                savedDx.swap(dx_);
                savedDs.swap(ds_);
                savedDy.swap(dy_);
                break;
            }
            steps = corrected;
        }

        const double fraction = std::clamp(1.0 - 10.0 * mu, 0.9, kLargestStepFraction);
        const double primalStep = std::min(1.0, fraction * steps.primal);
        const double dualStep = std::min(1.0, fraction * steps.dual);
        inParts([&](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t w = begin; w < end; ++w) {
                x_[w] += primalStep * dx_[w];
                s_[w] += dualStep * ds_[w];
                rc_[w] *= 1.0 - dualStep;
            }
        });
        for (std::size_t i = 0; i < y_.size(); ++i) {
            y_[i] += dualStep * dy_[i];
            rb_[i] *= 1.0 - primalStep;
        }
        rowResidual *= 1.0 - primalStep;
        costResidual *= 1.0 - dualStep;
    }
}

}  // namespace unionbound
