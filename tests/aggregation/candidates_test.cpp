#include "aggregation/candidates.hpp"

#include <gtest/gtest.h>

#include "support/capture.hpp"

namespace unionbound {
namespace {

TEST(IntegerRanges, CountUpDownOrNotAtAll) {
    EXPECT_TRUE(intRange(0, -1).empty());
    EXPECT_EQ(intRange(2, 4), (IntVector{2, 3, 4}));
    EXPECT_EQ(intRangeStep(4, 3, -1), (IntVector{4, 3}));
    EXPECT_TRUE(intRangeStep(4, 5, -1).empty());
    EXPECT_EQ(intRangeStep(1, 7, 3), (IntVector{1, 4, 7}));
    EXPECT_EQ(intRangeStep(1, 8, 3), (IntVector{1, 4, 7}));
    EXPECT_TRUE(intRangeStep(1, 5, 0).empty());
    EXPECT_TRUE(intRangeFromOne(0).empty());
    EXPECT_EQ(intRangeFromOne(3), (IntVector{1, 2, 3}));
}

TEST(Transposition, TurnsRowsIntoColumns) {
    EXPECT_EQ(transposeIntMatrix({{1, 2, 3}, {4, 5, 6}}), (IntMatrix{{1, 4}, {2, 5}, {3, 6}}));
    const IntMatrixList byCoordinate = {{{1, 1}, {2, 2}}, {{3, 3}, {4, 4}}};
    EXPECT_EQ(transposeList(byCoordinate), (IntMatrixList{{{1, 1}, {3, 3}}, {{2, 2}, {4, 4}}}));
    EXPECT_TRUE(transposeIntMatrix({{1, 2}, {3}}).empty());
}

class CandidatesOfTwoCoordinates : public ::testing::Test {
  protected:
    const IntVector lengths = {4, 6};
    const IntMatrix pairs = {{1, 2}};
};

TEST_F(CandidatesOfTwoCoordinates, WithoutLowSubscriptsTakeEverythingFromTheTop) {
    const CandidateSet set = buildCandidates(lengths, 3, pairs, -1);
    EXPECT_EQ(set.subscripts, (IntMatrixList{{{4, 3, 2}, {6, 5, 4}}}));
    EXPECT_EQ(set.highCounts, (IntMatrix{{3, 3}}));
}

TEST_F(CandidatesOfTwoCoordinates, WithOneLowSubscriptMirrorTheParent) {
    const CandidateSet set = buildCandidates(lengths, 3, pairs, 0);
    EXPECT_EQ(
        set.subscripts,
        (IntMatrixList{{{0, 4, 3}, {0, 6, 5}}, {{4, 0, 3}, {0, 6, 1}}, {{4, 3, 0}, {0, 1, 6}}}));
    EXPECT_EQ(set.highCounts, (IntMatrix{{2, 2}, {2, 1}, {2, 1}}));
}

TEST_F(CandidatesOfTwoCoordinates, WithAnOddParentStartTheChildHigh) {
    const CandidateSet set = buildCandidates(lengths, 3, pairs, 1);
    ASSERT_EQ(set.subscripts.size(), 3u);
    EXPECT_EQ(set.subscripts[0], (IntMatrix{{0, 1, 4}, {6, 5, 0}}));
    EXPECT_EQ(set.subscripts[1][0], (IntVector{0, 4, 1}));
    EXPECT_EQ(set.subscripts[2][0], (IntVector{4, 0, 1}));
    EXPECT_EQ(set.highCounts[0], (IntVector{1, 2}));
}

TEST_F(CandidatesOfTwoCoordinates, WithOnlyLowSubscriptsCountUpEverywhere) {
    const CandidateSet set = buildCandidates(lengths, 3, pairs, 2);
    EXPECT_EQ(set.subscripts, (IntMatrixList{{{0, 1, 2}, {0, 1, 2}}}));
    EXPECT_EQ(set.highCounts, (IntMatrix{{0, 0}}));
}

TEST(Candidates, NumberTwoToTheMOverAllJ) {
    const IntVector lengths = {5, 5, 7};
    const IntMatrix pairs = {{1, 2}, {1, 3}};
    for (std::int32_t m : {1, 3, 5}) {
        std::size_t total = 0;
        for (std::int32_t j = -1; j <= m - 1; ++j) {
            const CandidateSet set = buildCandidates(lengths, m, pairs, j);
            ASSERT_EQ(set.subscripts.size(), set.highCounts.size());
            for (std::size_t c = 0; c < set.subscripts.size(); ++c) {
                ASSERT_EQ(set.subscripts[c].size(), 3u);
                EXPECT_EQ(set.highCounts[c][0], m - j - 1);
                for (std::size_t k = 0; k < 3; ++k) {
                    // Every coordinate gets m distinct subscripts within 0 … len.
                    IntVector s = set.subscripts[c][k];
                    std::sort(s.begin(), s.end());
                    EXPECT_EQ(std::adjacent_find(s.begin(), s.end()), s.end());
                    EXPECT_GE(s.front(), 0);
                    EXPECT_LE(s.back(), lengths[k]);
                }
            }
            total += set.subscripts.size();
        }
        EXPECT_EQ(total, 1u << m);
    }
}

TEST(Candidates, RefuseTablesThatBreakThePreconditions) {
    const struct {
        const char* what;
        IntVector lengths;
        IntMatrix pairs;
        std::int32_t j;
        const char* message;
    } cases[] = {
        {"unreached coordinate",
         {4, 6, 6},
         {{1, 2}},
         0,
         "in buildCandidates, coordinate 3 is not reached from coordinate 1 through pairs\n"},
        {"pair member out of range",
         {4, 6},
         {{1, 3}},
         0,
         "in buildCandidates, a row of pairs does not name two different coordinates\n"},
        {"j too large", {4, 6}, {{1, 2}}, 3, "in buildCandidates, j=3 is outside -1 ... m-1\n"},
        {"j too small", {4, 6}, {{1, 2}}, -2, "in buildCandidates, j=-2 is outside -1 ... m-1\n"},
        {"short coordinate",
         {4, 2},
         {{1, 2}},
         0,
         "in buildCandidates, coordinate 2 is shorter than m\n"},
    };
    for (const auto& c : cases) {
        const auto [set, out] =
            testing::captured([&] { return buildCandidates(c.lengths, 3, c.pairs, c.j); });
        EXPECT_TRUE(set.subscripts.empty()) << c.what;
        EXPECT_TRUE(set.highCounts.empty()) << c.what;
        EXPECT_EQ(out, c.message) << c.what;
    }
}

}  // namespace
}  // namespace unionbound
