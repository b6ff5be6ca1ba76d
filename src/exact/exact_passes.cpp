#include "exact/exact_passes.hpp"

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "exact/exact_bounds.hpp"
#include "exact/pass_problem.hpp"
#include "moments/pass_division.hpp"

namespace unionbound {

std::vector<ExactPass> runExactPasses(const std::vector<PassMoments>& moments, std::int32_t n,
                                      std::int32_t m, ThreadPool& pool,
                                      const ExactProgress& progress,
                                      const std::function<bool()>& stop) {
    const std::vector<PassDivision> divisions = passDivisions(n, m);
    const auto solve = [&](std::size_t i) {
        ExactPass pass{divisions[i].l, subsequenceCount(n, divisions[i].l), {}};
        try {
            pass.bounds = exactPassBounds(makePassProblem(n, pass.l, m, moments[i].moments));
        } catch (const std::bad_alloc&) {
            const std::string why = "not enough memory for the pass's linear program";
            pass.bounds = {{std::nullopt, why}, {std::nullopt, why}, false, {}};
        } catch (const std::exception& error) {
            const std::string why = std::string("the pass could not be solved: ") + error.what();
            pass.bounds = {{std::nullopt, why}, {std::nullopt, why}, false, {}};
        }
        return pass;
    };
    std::vector<ExactPass> passes;
    const auto keep = [&](std::size_t, ExactPass pass) {
        passes.push_back(std::move(pass));
        if (progress) {
            progress(passes.size(), moments.size());
        }
    };
    computeInOrder<ExactPass>(pool, moments.size(), solve, keep, stop);
    return passes;
}

}  // namespace unionbound
