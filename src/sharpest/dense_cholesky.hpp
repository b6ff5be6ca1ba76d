// A dense symmetric positive definite matrix, factored by the LAPACK of
// this build (Cholesky, dpotrf) and then solved with (dpotrs): the normal
// equations of the interior-point method.
#pragma once

#include <cstdint>
#include <vector>

namespace unionbound {

class DenseCholesky {
  public:
    explicit DenseCholesky(std::int32_t size);

    std::int32_t size() const { return size_; }
    // The matrix, column-major; only the lower triangle (row ≥ column) is
    // read. Overwritten by factor().
    double& at(std::int32_t row, std::int32_t column) {
        return matrix_[static_cast<std::size_t>(column) * static_cast<std::size_t>(size_) +
                       static_cast<std::size_t>(row)];
    }
    // Factors the matrix; false where it is not (numerically) positive
    // definite, and then solve() must not be called.
    bool factor();
    // Replaces `rhs` (size() entries) by the solution of the factored system.
    void solve(std::vector<double>& rhs) const;

  private:
    std::int32_t size_;
    std::vector<double> matrix_;
};

}  // namespace unionbound
