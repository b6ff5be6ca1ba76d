// One reading of "prob.txt" that keeps only what is asked for, in one thread
// or two: the same moments, sums and kept probabilities as the whole vector
// gives, and the same refusals.
#include "app/probability_reading.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <random>
#include <string>

#include "app/driver.hpp"
#include "classical/classical_bounds.hpp"
#include "e2e/program_runner.hpp"
#include "moments/subsets.hpp"
#include "reference/random_values.hpp"

namespace unionbound {
namespace {

// The probabilities of (n, m) as a file's text, `digits` significant digits
// each, with the awkward values among them.
std::string probText(std::int32_t n, std::int32_t m, std::uint64_t seed, int digits = 17) {
    std::mt19937_64 random(seed);
    std::string text;
    char buffer[40];
    for (std::int64_t i = 0; i < intersectionCount(n, m); ++i) {
        const double p = testing::awkwardProbability(random);
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, p, std::chars_format::general, digits);
        text.append(buffer, end.ptr);
        text += i % 9 == 8 ? '\n' : ' ';
    }
    return text;
}

bool sameSums(const std::vector<DoubleDouble>& a, const std::vector<DoubleDouble>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (!testing::sameBits(a[k].hi, b[k].hi) || !testing::sameBits(a[k].lo, b[k].lo)) {
            return false;
        }
    }
    return true;
}

TEST(ReadProbabilities, KeepWhatIsAskedAsTheWholeVectorGivesItWithOneThreadOrMore) {
    // The largest file spans many blocks of the reader, and its walk costs
    // enough that the two threads each walk some of the passes.
    const struct {
        std::int32_t n, m;
        int digits;
    } sizes[] = {{8, 3, 17}, {14, 5, 17}, {200, 3, 3}};
    testing::ScratchDir dir;
    for (const auto& [n, m, digits] : sizes) {
        const std::string path = (dir.path() / "prob.txt").string();
        testing::writeFile(path, probText(n, m, static_cast<std::uint64_t>(n), digits));
        const ProbabilityInput whole = readIntersectionProbabilities(n, m, path);
        ASSERT_TRUE(whole.ok()) << whole.message();
        const std::vector<PassDivision> passes = passDivisions(n, m);
        if (n == 200) {
            const std::vector<bool> byReader = passesOfTheReader(n, m, passes);
            ASSERT_NE(std::count(byReader.begin(), byReader.end(), true), 0);
            ASSERT_NE(std::count(byReader.begin(), byReader.end(), false), 0);
        }
        const std::vector<PassMoments> moments = binomialMomentsOfPasses(whole.value(), n, m, passes);
        const RealVector leading(whole.value().begin(),
                                 whole.value().begin() + intersectionCount(n, 2));
        for (const std::int32_t threads : {1, 2, 3}) {
            for (const bool everything : {false, true}) {
                const std::string label = "n=" + std::to_string(n) + " m=" + std::to_string(m) +
                                          " threads=" + std::to_string(threads) +
                                          (everything ? " all kept" : " moments only");
                ReadingRequest request;
                request.passes = passes;
                request.sums = everything;
                request.singlesAndPairs = everything;
                request.everyProbability = everything;
                request.threads = threads;
                const Parsed<ReadingResult> read = readProbabilities(n, m, path, request);
                ASSERT_TRUE(read.ok()) << read.message();
                const ReadingResult& r = read.value();
                ASSERT_EQ(r.passMoments.size(), moments.size()) << label;
                for (std::size_t i = 0; i < moments.size(); ++i) {
                    EXPECT_TRUE(testing::sameBits(r.passMoments[i].moments, moments[i].moments))
                        << label << " l=" << passes[i].l;
                    EXPECT_EQ(r.passMoments[i].terms, moments[i].terms) << label;
                }
                if (everything) {
                    EXPECT_TRUE(sameSums(r.sums, binomialSums(whole.value(), n, m))) << label;
                    EXPECT_TRUE(testing::sameBits(r.singlesAndPairs, leading)) << label;
                    EXPECT_TRUE(testing::sameBits(r.probabilities, whole.value())) << label;
                } else {
                    EXPECT_TRUE(r.sums.empty() && r.singlesAndPairs.empty() &&
                                r.probabilities.empty())
                        << label;
                }
            }
        }
    }
}

TEST(ReadProbabilities, RefuseABadNumberAsTheReaderDoesEvenAfterManyBlocks) {
    // The bad word comes after the numbers of many blocks went to the
    // summing thread, or is the very last one.
    const std::int32_t n = 130, m = 3;
    const std::string clean = probText(n, m, 5);
    const std::size_t lastBlank = clean.find_last_not_of(" \n");
    const std::size_t lastStart = clean.find_last_of(" \n", lastBlank) + 1;
    const struct {
        const char* name;
        std::string text;
    } files[] = {
        {"a bad last number", clean.substr(0, lastStart) + "0.5x\n"},
        {"a last number above one", clean.substr(0, lastStart) + "1.5\n"},
        {"a bad number in the middle", clean.substr(0, clean.size() / 2) + "z " +
                                           clean.substr(clean.size() / 2)},
        {"a missing last number", clean.substr(0, lastStart)},
    };
    testing::ScratchDir dir;
    const std::string path = (dir.path() / "prob.txt").string();
    for (const auto& file : files) {
        testing::writeFile(path, file.text);
        const ProbabilityInput whole = readIntersectionProbabilities(n, m, path);
        ASSERT_FALSE(whole.ok()) << file.name;
        for (const std::int32_t threads : {1, 2}) {
            ReadingRequest request;
            request.passes = passDivisions(n, m);
            request.sums = true;
            request.threads = threads;
            const Parsed<ReadingResult> read = readProbabilities(n, m, path, request);
            EXPECT_EQ(read.message(), whole.message()) << file.name << ", threads=" << threads;
            EXPECT_TRUE(read.value().passMoments.empty()) << file.name;
        }
    }
}

}  // namespace
}  // namespace unionbound
