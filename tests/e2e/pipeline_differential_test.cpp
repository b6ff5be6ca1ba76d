// The whole program against the reference pipeline (every stage in its
// straightforward form) on random small inputs: the report and the console
// output must be the same byte for byte, running times aside.
#include <gtest/gtest.h>

#include <charconv>
#include <random>
#include <sstream>

#include "e2e/program_runner.hpp"
#include "input/prob_reader.hpp"
#include "moments/subsets.hpp"
#include "reference/literal_pipeline.hpp"

namespace unionbound::testing {
namespace {

// Intersection probabilities of a mixture of a few outcome vectors and
// independent events (consistent probabilities), or, for odd trials, values
// drawn one by one (inconsistent ones, which give singular and odd systems).
std::string randomProbFile(std::mt19937_64& random, std::int32_t n, std::int32_t m, bool mixture) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::vector<double>> chance(3, std::vector<double>(n + 1));
    for (std::size_t k = 0; k < chance.size(); ++k) {
        for (std::int32_t i = 1; i <= n; ++i) {
            chance[k][i] = k == 0 ? (unit(random) < 0.4 ? 1.0 : 0.0) : unit(random);
        }
    }
    std::string text;
    char buffer[40];
    std::size_t column = 0;
    for (SubsetCursor cursor(n, m); cursor.valid(); cursor.next()) {
        double p = 0.0;
        if (mixture) {
            for (std::size_t k = 0; k < chance.size(); ++k) {
                double product = 1.0 / 3.0;
                for (std::int32_t x : cursor.subset()) {
                    product *= chance[k][x];
                }
                p += product;
            }
        } else {
            const int kind = std::uniform_int_distribution<int>(0, 9)(random);
            p = kind == 0 ? 0.0 : kind == 1 ? 1.0 : unit(random);
        }
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, p, std::chars_format::general, 17);
        text.append(buffer, end.ptr);
        text += ++column % 7 == 0 ? '\n' : ' ';
    }
    return text;
}

TEST(WholeRun, PrintsTheSameReportAndConsoleAsTheReferencePipeline) {
    std::mt19937_64 random(41);
    for (int trial = 0; trial < 24; ++trial) {
        const std::int32_t m = trial % 3 == 2 ? 5 : 3;
        const std::int32_t n =
            std::uniform_int_distribution<std::int32_t>(std::max(6, 2 * m), 16)(random);
        const std::string text = randomProbFile(random, n, m, trial % 2 == 0);

        ScratchDir dir;
        writeFile(dir.path() / "prob.txt", text);
        const ProgramRun run =
            runProgram(UNIONBOUND_PROGRAM, {},
                       std::to_string(n) + "\n" + std::to_string(m) + "\n\n\n", dir.path());
        ASSERT_FALSE(run.timedOut);
        ASSERT_EQ(run.exitStatus, 0) << run.err;

        const ProbabilityInput input = parseIntersectionProbabilities(text, n, m, "prob.txt");
        ASSERT_TRUE(input.ok()) << input.message();
        std::ostringstream report, console;
        console << "Number of events. n=Maximum order of the intersections (must be an odd "
                   "number). m=";
        reference::runPasses(input.value(), n, m, report, console);
        console << "Press RETURN to continue";

        EXPECT_EQ(maskReportTimes(readFile(dir.path() / "result.txt")),
                  maskReportTimes(report.str()))
            << "n=" << n << " m=" << m << " trial " << trial;
        EXPECT_EQ(maskConsoleTimes(run.out), maskConsoleTimes(console.str()))
            << "n=" << n << " m=" << m << " trial " << trial;
    }
}

}  // namespace
}  // namespace unionbound::testing
