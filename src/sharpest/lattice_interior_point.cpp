#include "sharpest/lattice_interior_point.hpp"

#include <algorithm>
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

}  // namespace

LatticeInteriorPoint::LatticeInteriorPoint(const OutcomeRows& rows, std::span<const double> targets,
                                           std::span<const std::uint8_t> excluded,
                                           double costWithEvents)
    : rows_(rows), excluded_(excluded), cost_(costWithEvents), normal_(0) {
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

void LatticeInteriorPoint::applyRows(std::span<const double> v, std::vector<double>& rowValues) {
    std::copy(v.begin(), v.end(), work_.begin());
    supersetTransform(work_);
    rowValues.resize(masks_.size());
    for (std::size_t i = 0; i < masks_.size(); ++i) {
        rowValues[i] = work_[masks_[i]];
    }
}

void LatticeInteriorPoint::applyColumns(std::span<const double> y, std::vector<double>& lattice) {
    std::fill(lattice.begin(), lattice.end(), 0.0);
    for (std::size_t i = 0; i < masks_.size(); ++i) {
        lattice[masks_[i]] = y[i];
    }
    zetaTransform(lattice);
}

bool LatticeInteriorPoint::factorNormalMatrix() {
    for (std::size_t w = 0; w < work_.size(); ++w) {
        work_[w] = excluded_[w] != 0 ? 0.0 : x_[w] / s_[w];
    }
    supersetTransform(work_);
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

void LatticeInteriorPoint::direction(const std::vector<double>& q, bool withResiduals) {
    // From S Δx + X Δs = r_xs, Aᵀ Δy + Δs = r_c and A Δx = r_b:
    // A D Aᵀ Δy = r_b + A (D r_c − S⁻¹ r_xs), Δs = r_c − Aᵀ Δy, Δx = S⁻¹ r_xs − D Δs.
    for (std::size_t w = 0; w < q.size(); ++w) {
        dx_[w] = excluded_[w] != 0
                     ? 0.0
                     : (withResiduals ? x_[w] / s_[w] * rc_[w] : 0.0) - q[w];
    }
    applyRows(dx_, dy_);
    if (withResiduals) {
        for (std::size_t i = 0; i < dy_.size(); ++i) {
            dy_[i] += rb_[i];
        }
    }
    normal_.solve(dy_);
    applyColumns(dy_, ds_);
    for (std::size_t w = 0; w < q.size(); ++w) {
        if (excluded_[w] != 0) {
            ds_[w] = 0.0;
            dx_[w] = 0.0;
            continue;
        }
        ds_[w] = (withResiduals ? rc_[w] : 0.0) - ds_[w];
        dx_[w] = q[w] - x_[w] / s_[w] * ds_[w];
    }
}

double LatticeInteriorPoint::stepToBoundary(const std::vector<double>& z,
                                            const std::vector<double>& dz) const {
    double step = 1.0;
    for (std::size_t w = 0; w < z.size(); ++w) {
        if (excluded_[w] == 0 && dz[w] < 0.0) {
            step = std::min(step, -z[w] / dz[w]);
        }
    }
    return step;
}

double LatticeInteriorPoint::pointValue(const std::vector<double>& v) const {
    double sum = 0.0;
    for (std::size_t w = 1; w < v.size(); ++w) {
        sum += v[w];
    }
    return cost_ * sum;
}

InteriorPointEnd LatticeInteriorPoint::run(
    const InteriorPointSettings& settings,
    const std::function<bool(const InteriorPointIterate&)>& visit) {
    const std::size_t outcomes = x_.size();
    // Mehrotra's start: the least-norm solutions of A x = b and of Aᵀ y + s = c
    // for D = 1, moved into the positive orthant.
    for (std::size_t w = 0; w < outcomes; ++w) {
        x_[w] = s_[w] = excluded_[w] != 0 ? 0.0 : 1.0;
    }
    if (!factorNormalMatrix()) {
        return InteriorPointEnd::singular;
    }
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
    const double moveX = std::max(-1.5 * smallestX, 0.0);
    const double moveS = std::max(-1.5 * smallestS, 0.0);
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

    std::vector<double> savedDx(outcomes), savedDs(outcomes), savedDy(active_.size());
    // The best gap, row residual and cost residual so far: the method goes
    // on while any of them still falls.
    double best[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    std::int32_t sinceBest = 0;
    const auto count = static_cast<double>(unknowns_);
    std::int32_t correctors = settings.correctors;
    if (correctors < 0) {
        // A factorisation runs at about 20 operations a nanosecond, the
        // lattice's transforms and passes at about one.
        const double r = static_cast<double>(active_.size());
        const double factorisation = r * r * r / 3.0 / 20.0;
        const double corrector = static_cast<double>(rows_.events() + 8) * static_cast<double>(outcomes);
        correctors = factorisation >= kCorrectorsAreCheap * corrector ? 6 : 0;
    }
    for (std::int32_t iteration = 1;; ++iteration) {
        // Residuals and the measures of this point.
        applyRows(x_, rb_);
        double rowResidual = 0.0;
        for (std::size_t i = 0; i < rb_.size(); ++i) {
            rb_[i] = b_[i] - rb_[i];
            rowResidual = std::max(rowResidual, std::fabs(rb_[i]));
        }
        applyColumns(y_, rc_);
        double mu = 0.0;
        double costResidual = 0.0;
        for (std::size_t w = 0; w < outcomes; ++w) {
            if (excluded_[w] != 0) {
                rc_[w] = 0.0;
                continue;
            }
            rc_[w] = (w == 0 ? 0.0 : cost_) - rc_[w] - s_[w];
            costResidual = std::max(costResidual, std::fabs(rc_[w]));
            mu += x_[w] * s_[w];
        }
        mu /= count;
        double dualObjective = 0.0;
        for (std::size_t i = 0; i < b_.size(); ++i) {
            dualObjective += b_[i] * y_[i];
        }
        const double primalObjective = pointValue(x_);
        for (std::size_t i = 0; i < active_.size(); ++i) {
            fullDuals_[static_cast<std::size_t>(active_[i])] = y_[i];
        }
        InteriorPointIterate iterate;
        iterate.iteration = iteration;
        iterate.duals = fullDuals_;
        iterate.primalObjective = primalObjective;
        iterate.dualObjective = dualObjective;
        iterate.complementarity = mu * count;
        iterate.rowResidual = rowResidual;
        iterate.costResidual = costResidual;
        if (visit && !visit(iterate)) {
            return InteriorPointEnd::stopped;
        }
        const double gap =
            std::fabs(primalObjective - dualObjective) / (1.0 + std::fabs(dualObjective));
        if (gap <= settings.gapTolerance && rowResidual <= settings.rowTolerance &&
            costResidual <= settings.rowTolerance) {
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
        if (!factorNormalMatrix()) {
            return InteriorPointEnd::stalled;  // the points so far are all there is
        }

        // Predictor: the affine scaling direction (r_xs = −XSe).
        for (std::size_t w = 0; w < outcomes; ++w) {
            q_[w] = excluded_[w] != 0 ? 0.0 : -x_[w];
        }
        direction(q_, true);
        double primalStep = stepToBoundary(x_, dx_);
        double dualStep = stepToBoundary(s_, ds_);
        double affineMu = 0.0;
        for (std::size_t w = 0; w < outcomes; ++w) {
            if (excluded_[w] == 0) {
                affineMu += (x_[w] + primalStep * dx_[w]) * (s_[w] + dualStep * ds_[w]);
            }
        }
        affineMu /= count;
        const double sigma = std::pow(affineMu / mu, 3.0);
        const double target = sigma * mu;

        // Corrector: r_xs = −XSe − ΔXaff ΔSaff e + σμe.
        for (std::size_t w = 0; w < outcomes; ++w) {
            q_[w] = excluded_[w] != 0
                        ? 0.0
                        : (-x_[w] * s_[w] - dx_[w] * ds_[w] + target) / s_[w];
        }
        direction(q_, true);
        primalStep = stepToBoundary(x_, dx_);
        dualStep = stepToBoundary(s_, ds_);

        // Centrality correctors: aim the products of a longer trial step at
        // the band around σμ; keep a corrector only while it lengthens the step.
        for (std::int32_t k = 0; k < correctors; ++k) {
            if (primalStep >= 1.0 && dualStep >= 1.0) {
                break;
            }
            const double trialPrimal = std::min(1.0, primalStep + kCorrectorStretch);
            const double trialDual = std::min(1.0, dualStep + kCorrectorStretch);
            savedDx.swap(dx_);
            savedDs.swap(ds_);
            savedDy.swap(dy_);
            for (std::size_t w = 0; w < outcomes; ++w) {
                if (excluded_[w] != 0) {
                    q_[w] = 0.0;
                    continue;
                }
                const double product =
                    (x_[w] + trialPrimal * savedDx[w]) * (s_[w] + trialDual * savedDs[w]);
                const double aim = std::clamp(product, kBandLow * target, kBandHigh * target);
                q_[w] = std::max(aim - product, -kBandHigh * target) / s_[w];
            }
            direction(q_, false);
            for (std::size_t w = 0; w < outcomes; ++w) {
                dx_[w] += savedDx[w];
                ds_[w] += savedDs[w];
            }
            for (std::size_t i = 0; i < dy_.size(); ++i) {
                dy_[i] += savedDy[i];
            }
            const double correctedPrimal = stepToBoundary(x_, dx_);
            const double correctedDual = stepToBoundary(s_, ds_);
            if (correctedPrimal + correctedDual <
                primalStep + dualStep + kCorrectorGain * kCorrectorStretch) {
                savedDx.swap(dx_);
                savedDs.swap(ds_);
                savedDy.swap(dy_);
                break;
            }
            primalStep = correctedPrimal;
            dualStep = correctedDual;
        }

        const double fraction = std::clamp(1.0 - 10.0 * mu, 0.9, kLargestStepFraction);
        primalStep = std::min(1.0, fraction * primalStep);
        dualStep = std::min(1.0, fraction * dualStep);
        for (std::size_t w = 0; w < outcomes; ++w) {
            x_[w] += primalStep * dx_[w];
            s_[w] += dualStep * ds_[w];
        }
        for (std::size_t i = 0; i < y_.size(); ++i) {
            y_[i] += dualStep * dy_[i];
        }
    }
}

}  // namespace unionbound
