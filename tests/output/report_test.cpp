#include "output/report.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "aggregation/bound_solver.hpp"

namespace unionbound {
namespace {

std::string printed(const IntMatrix& matrix) {
    std::ostringstream out;
    writeIntMatrix(out, matrix);
    return out.str();
}

TEST(IntMatrixForm, PutsACommaAfterEveryEntryAndRow) {
    EXPECT_EQ(printed({{1, 2}, {3}}), "\n{{1,2,},{3,},}\n");
    EXPECT_EQ(printed({{}, {-4}}), "\n{{},{-4,},}\n");
    EXPECT_EQ(printed({}), "\n{}\n");
}

TEST(ReportHeader, NamesNMAndMk) {
    std::ostringstream out;
    writeReportHeader(out, 10, 3, 3);
    EXPECT_EQ(out.str(), "n=10, m=3, m_k=3\n");
}

const BoundSolution kSolution{-0.015625, {{3}, {3}}, 0, {{0, 1, 2}, {0, 1, 2}}};

// The block of pass l with the solver's tables of `solution`.
void writePassBlock(std::ostream& out, std::int32_t l, std::int32_t m,
                    const BoundSolution& solution, double elapsed, const RealVector& moments,
                    const IntMatrix& basisRows) {
    PassReport pass;
    pass.l = l;
    pass.objective = solution.value;
    pass.seconds = elapsed;
    pass.binomialMoments = moments;
    pass.kjs = solution.Kjs;
    pass.jbest = solution.jbest;
    pass.vks = solution.Vks;
    pass.basisSubscripts = basisRows;
    unionbound::writePassBlock(out, m, pass);
}

TEST(PassBlock, HasItsLabelsAndTablesInOrder) {
    std::ostringstream out;
    writePassBlock(out, 4, 3, kSolution, 0.015, {1.0, 0.1}, {{0, 0}, {1, 0}});
    EXPECT_EQ(out.str(),
              "\n\n"
              "The length of the subsecuences. l=4\n"
              "Upper bound on the probability of the union:\n"
              "0.015625\n"
              "Running time: 0.015\n"
              "\n"
              "Kjs:\n{{3,},{3,},}\n"
              "q1:2\n"
              "Vks:\n{{0,1,2,},{0,1,2,},}\n"
              "\n"
              "The binomial moments:\n"
              "{1.00000000000000000000,0.10000000000000000555,}\n"
              "Basis subscripts:\n{{0,0,},{1,0,},}\n");
}

TEST(PassBlock, SwitchesBoundAndTimeToFixedNotationAfterTheFirstBlock) {
    std::ostringstream out;
    writePassBlock(out, 3, 3, kSolution, 0.015, {}, {});
    writePassBlock(out, 4, 3, {-0.5, {}, -1, {}}, 2.0, {}, {});
    const std::string text = out.str();
    EXPECT_NE(text.find("union:\n0.015625\nRunning time: 0.015\n"), std::string::npos);
    EXPECT_NE(text.find("union:\n0.500000000000000\nRunning time: 2.000000000000000\n"),
              std::string::npos);
    EXPECT_NE(text.find("q1:3\n"), std::string::npos);  // jbest = -1
    EXPECT_NE(text.find("The binomial moments:\n{}\n"), std::string::npos);
}

TEST(PassBlock, WritesBoundsInGeneralNotationWithFifteenDigits) {
    std::ostringstream out;
    writePassBlock(out, 3, 3, {-0.769106072, {}, 0, {}}, 1e-7, {}, {});
    EXPECT_NE(out.str().find("\n0.769106072\nRunning time: 1e-07\n"), std::string::npos);
    std::ostringstream thirds;
    writePassBlock(thirds, 3, 3, {-1.0 / 3.0, {}, 0, {}}, 0, {}, {});
    EXPECT_NE(thirds.str().find("\n0.333333333333333\n"), std::string::npos);
}

TEST(ConsoleSummary, PrintsBoundTimeAndLength) {
    std::ostringstream out;
    writeConsoleSummary(out, -0.927105046899543, 0.125, 4);
    EXPECT_EQ(out.str(),
              "Upper bound on the probability of the union:\n"
              "0.927105046899543\n\n"
              "Running time: \n"
              "0.125\n\n"
              "The length of the subsequences: l=4\n\n");
    std::ostringstream rounded;
    writeConsoleSummary(rounded, -0.5, 1.0 / 3.0, 3);
    EXPECT_NE(rounded.str().find("\n0.5\n\nRunning time: \n0.333\n"), std::string::npos);
}

}  // namespace
}  // namespace unionbound
