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

void writePassBlock(std::ostream& out, std::int32_t m, const PassReport& pass) {
    out << std::endl << std::endl;
    // "subsecuences" is kept as the report has always spelt it, so that stored
    // reports and the scripts that read them still match.
    out << "The length of the subsecuences. l=" << pass.l << std::endl;
    out << "Upper bound on the probability of the union:" << std::endl;
    out.precision(15);
    out << -pass.objective << std::endl;
    out << "Running time: " << pass.seconds << std::endl << std::endl;
    out << "Kjs:";
    writeIntMatrix(out, pass.kjs);
    out << "q1:" << m - pass.jbest - 1 << std::endl;
    out << "Vks:";
    writeIntMatrix(out, pass.vks);
    out << std::endl;
    out << "The binomial moments:" << std::endl;
    out << "{";
    out.setf(std::ios_base::fixed);
    for (double moment : pass.binomialMoments) {
        out.precision(20);
        out << moment << ",";
    }
    out << "}" << std::endl;
    out << "Basis subscripts:";
    writeIntMatrix(out, pass.basisSubscripts);
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
