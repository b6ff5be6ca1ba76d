#include "sharpest/dense_cholesky.hpp"

extern "C" {
// LAPACK (Fortran calling convention): the Cholesky factorisation of a
// symmetric positive definite matrix, and the solve with its factor.
void dpotrf_(const char* triangle, const int* size, double* matrix, const int* leading, int* info);
void dpotrs_(const char* triangle, const int* size, const int* columns, const double* factor,
             const int* leading, double* rhs, const int* rhsLeading, int* info);
}

namespace unionbound {

DenseCholesky::DenseCholesky(std::int32_t size)
    : size_(size), matrix_(static_cast<std::size_t>(size) * static_cast<std::size_t>(size)) {}

bool DenseCholesky::factor() {
    const int n = size_;
    int info = 0;
    dpotrf_("L", &n, matrix_.data(), &n, &info);
    return info == 0;
}

void DenseCholesky::solve(std::vector<double>& rhs) const {
    const int n = size_;
    const int one = 1;
    int info = 0;
    dpotrs_("L", &n, &one, matrix_.data(), &n, rhs.data(), &n, &info);
}

}  // namespace unionbound
