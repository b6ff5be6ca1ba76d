#include "output/report.hpp"

namespace unionbound {

void writeIntMatrix(std::ostream& out, const IntMatrix& matrix) {
    out << std::endl << "{";
    for (const IntVector& row : matrix) {
        out << "{";
        for (std::int32_t entry : row) {
            out << entry << ",";
        }
        out << "},";
    }
    out << "}" << std::endl;
}

void writeReportHeader(std::ostream& out, std::int32_t n, std::int32_t m, std::int32_t mK) {
    out << "n=" << n << ", m=" << m << ", m_k=" << mK << std::endl;
}

void writePassBlock(std::ostream& out, std::int32_t l, std::int32_t m,
                    const BoundSolution& solution, double elapsed, const RealVector& moments,
                    const IntMatrix& basisRows) {
    out << std::endl << std::endl;
    // "subsecuences" is kept as the report has always spelt it, so that stored
    // reports and the scripts that read them still match.
    out << "The length of the subsecuences. l=" << l << std::endl;
    out << "Upper bound on the probability of the union:" << std::endl;
    out.precision(15);
    out << -solution.value << std::endl;
    out << "Running time: " << elapsed << std::endl << std::endl;
    out << "Kjs:";
    writeIntMatrix(out, solution.Kjs);
    out << "q1:" << m - solution.jbest - 1 << std::endl;
    out << "Vks:";
    writeIntMatrix(out, solution.Vks);
    out << std::endl;
    out << "The binomial moments:" << std::endl;
    out << "{";
    out.setf(std::ios_base::fixed);
    for (double moment : moments) {
        out.precision(20);
        out << moment << ",";
    }
    out << "}" << std::endl;
    out << "Basis subscripts:";
    writeIntMatrix(out, basisRows);
}

void writeConsoleSummary(std::ostream& out, double bestValue, double bestTime, std::int32_t bestL) {
    out << "Upper bound on the probability of the union:" << '\n';
    out.precision(15);
    out << -bestValue << '\n' << '\n';
    out << std::fixed;
    out << "Running time: " << '\n';
    out.precision(3);
    out << bestTime << '\n' << '\n';
    out << "The length of the subsequences: l=" << bestL << '\n' << '\n';
}

}  // namespace unionbound
