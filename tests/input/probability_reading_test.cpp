// One reading of "prob.txt" that keeps only what is asked for, in one thread
// or more: the same moments, sums and kept probabilities as the whole vector
// gives, and the same refusals.
#include "input/probability_reading.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <random>
#include <string>

#include "classical/classical_bounds.hpp"
#include "e2e/program_runner.hpp"
#include "moments/pass_division.hpp"
#include "moments/subsets.hpp"
#include "reference/random_values.hpp"

namespace unionbound {
namespace {

// The probabilities of (n, m) as a file's text, `digits` significant digits
// each, the awkward values among them.
std::string probText(std::int32_t n, std::int32_t m, int digits) {
    std::mt19937_64 random(static_cast<std::uint64_t>(n));
    std::string text;
    char buffer[40];
    for (std::int64_t i = 0; i < intersectionCount(n, m); ++i) {
        const double p = testing::awkwardProbability(random);
        text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, p,
                                          std::chars_format::general, digits)
                                .ptr);
        text += i % 9 == 8 ? '\n' : ' ';
    }
    return text;
}

TEST(ReadProbabilities, KeepWhatIsAskedAsTheWholeVectorGivesItWithOneThreadOrMore) {
    // The largest file spans many blocks of the reader, and its walk costs
    // enough that both threads walk some of the passes.
    const struct { std::int32_t n, m, digits; } sizes[] = {{8, 3, 17}, {14, 5, 17}, {200, 3, 3}};
    testing::ScratchDir dir;
    const std::string path = (dir.path() / "prob.txt").string();
    for (const auto& [n, m, digits] : sizes) {
        testing::writeFile(path, probText(n, m, digits));
        const RealVector whole = readIntersectionProbabilities(n, m, path).value();
        const std::vector<PassDivision> passes = passDivisions(n, m);
        const std::vector<bool> byReader = passesOfTheReader(n, m, passes);
        const auto walkedByReader = std::count(byReader.begin(), byReader.end(), true);
        ASSERT_TRUE(n < 200 || (walkedByReader > 0 && walkedByReader < std::ssize(passes)))
            << "each thread walks some passes";
        const std::vector<PassMoments> moments = binomialMomentsOfPasses(whole, n, m, passes);
        const std::vector<DoubleDouble> sums = binomialSums(whole, n, m);
        for (const std::int32_t threads : {1, 2, 3}) {
            ThreadPool pool(threads);
            ReadingRequest request{passes, true, true, true, &pool};
            const ReadingResult r = readProbabilities(n, m, TextSource::file(path), request).value();
            ASSERT_EQ(r.passMoments.size(), moments.size());
            for (std::size_t i = 0; i < moments.size(); ++i) {
                EXPECT_TRUE(testing::sameBits(r.passMoments[i].moments, moments[i].moments))
                    << "n=" << n << " l=" << passes[i].l << " threads=" << threads;
            }
            ASSERT_EQ(r.sums.size(), sums.size());
            for (std::size_t k = 0; k < sums.size(); ++k) {
                EXPECT_TRUE(testing::sameBits(r.sums[k].hi, sums[k].hi) &&
                            testing::sameBits(r.sums[k].lo, sums[k].lo))
                    << "n=" << n << " k=" << k << " threads=" << threads;
            }
            EXPECT_TRUE(testing::sameBits(
                r.singlesAndPairs,
                RealVector(whole.begin(), whole.begin() + intersectionCount(n, 2))));
            EXPECT_TRUE(testing::sameBits(r.probabilities, whole));
        }
        // Only what is asked for is kept.
        ThreadPool two(2);
        const ReadingResult bare =
            readProbabilities(n, m, TextSource::file(path), {passes, false, false, false, &two}).value();
        EXPECT_TRUE(bare.sums.empty() && bare.singlesAndPairs.empty() &&
                    bare.probabilities.empty());
    }
}

TEST(ReadProbabilities, RefuseABadNumberAsTheReaderDoesEvenAfterManyBlocks) {
    const std::int32_t n = 200, m = 3;
    const std::string clean = probText(n, m, 3);
    const std::size_t lastStart = clean.find_last_of(" \n", clean.size() - 2) + 1;
    testing::ScratchDir dir;
    const std::string path = (dir.path() / "prob.txt").string();
    for (const std::string& text :
         {clean.substr(0, lastStart) + "0.5x\n", clean.substr(0, lastStart) + "1.5\n",
          clean.substr(0, lastStart), clean.substr(0, clean.size() / 2) + " z " + clean}) {
        testing::writeFile(path, text);
        const std::string refusal = readIntersectionProbabilities(n, m, path).message();
        ASSERT_NE(refusal, "");
        for (const std::int32_t threads : {1, 2}) {
            ThreadPool pool(threads);
            const Parsed<ReadingResult> read =
                readProbabilities(n, m, TextSource::file(path), {passDivisions(n, m), true, false, false, &pool});
            EXPECT_EQ(read.message(), refusal) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace unionbound
