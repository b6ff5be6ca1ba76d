#include "process/replacement_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "e2e/program_runner.hpp"

namespace unionbound {
namespace {

namespace fs = std::filesystem;
using testing::namesIn;
using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

const std::string kEarlier = "the earlier text\n";
const std::string kNew = "the new text, longer than the earlier one\n";

// The mode bits a newly created file gets under the current umask.
unsigned newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

unsigned modeOf(const fs::path& file) {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return status.st_mode & 07777u;
}

// What lies at "out" before the replacement, and where the text must land.
struct Before {
    const char* name;
    const char* earlierFile;  // from the folder; empty for none
    unsigned mode;            // the earlier file's mode, kept afterwards
    std::vector<std::pair<const char*, const char*>> links;  // (link, its target)
    const char* landsIn;  // the file that holds the text afterwards
};

std::ostream& operator<<(std::ostream& out, const Before& before) {
    return out << before.name;
}

class Replacement : public ::testing::TestWithParam<Before> {};

TEST_P(Replacement, KeepsTheEarlierTextUntilCommittedThenHoldsOnlyTheNewText) {
    const Before& before = GetParam();
    const ScratchDir dir;
    const fs::path sub = dir.path() / "sub";
    fs::create_directory(sub);
    if (*before.earlierFile != '\0') {
        writeFile(dir.path() / before.earlierFile, kEarlier);
        fs::permissions(dir.path() / before.earlierFile, static_cast<fs::perms>(before.mode));
    }
    for (const auto& [link, target] : before.links) {
        fs::create_symlink(target, dir.path() / link);
    }
    const fs::path landing = dir.path() / before.landsIn;
    const std::string earlierText = fs::exists(landing) ? readFile(landing) : "";
    const std::set<std::string> topBefore = namesIn(dir.path()), subBefore = namesIn(sub);

    ReplacementFile file;
    ASSERT_TRUE(file.open((dir.path() / "out").string())) << std::strerror(file.error());
    EXPECT_FALSE(file.writesDirectly());
    file.stream() << kNew << std::flush;
    EXPECT_EQ(fs::exists(landing) ? readFile(landing) : "", earlierText)
        << "the text written so far goes to a file of its own";

    EXPECT_EQ(file.commit(), 0);
    EXPECT_EQ(readFile(landing), kNew);
    EXPECT_EQ(modeOf(landing), *before.earlierFile != '\0' ? before.mode : newFileMode());
    std::set<std::string> topAfter = topBefore, subAfter = subBefore;
    topAfter.insert("out");
    if (landing.parent_path() == sub) {
        subAfter.insert(landing.filename().string());
        EXPECT_TRUE(fs::is_symlink(dir.path() / "out")) << "a link stays a link";
    }
    EXPECT_EQ(namesIn(dir.path()), topAfter) << "nothing else is left behind";
    EXPECT_EQ(namesIn(sub), subAfter);
}

INSTANTIATE_TEST_SUITE_P(
    WhatLiesThere, Replacement,
    ::testing::Values(Before{"Nothing", "", 0, {}, "out"},
                      Before{"AFileWithItsOwnMode", "out", 0640, {}, "out"},
                      Before{"ALinkToAFileInAnotherFolder",
                             "sub/target",
                             0600,
                             {{"out", "sub/target"}},
                             "sub/target"},
                      Before{"ALinkToALinkWithATargetRelativeToItsOwnFolder",
                             "sub/target",
                             0700,
                             {{"sub/link", "target"}, {"out", "sub/link"}},
                             "sub/target"},
                      Before{"ADanglingLink", "", 0, {{"out", "sub/made"}}, "sub/made"}),
    [](const ::testing::TestParamInfo<Before>& row) { return std::string(row.param.name); });

TEST(ReplacementFile, AbandonedLeavesTheEarlierFileAndNothingElse) {
    const ScratchDir dir;
    writeFile(dir.path() / "out", kEarlier);
    {
        ReplacementFile file;
        ASSERT_TRUE(file.open((dir.path() / "out").string()));
        file.stream() << kNew << std::flush;
    }
    EXPECT_EQ(readFile(dir.path() / "out"), kEarlier);
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"out"});
}

TEST(ReplacementFile, KeepsTheOwnerAndGroupOfTheEarlierFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another owner";
    }
    constexpr uid_t kNobody = 65534;
    const ScratchDir dir;
    writeFile(dir.path() / "out", kEarlier);
    ASSERT_EQ(::chown((dir.path() / "out").c_str(), kNobody, kNobody), 0);
    ReplacementFile file;
    ASSERT_TRUE(file.open((dir.path() / "out").string()));
    file.stream() << kNew;
    ASSERT_EQ(file.commit(), 0);
    struct stat status {};
    ::stat((dir.path() / "out").c_str(), &status);
    EXPECT_EQ(status.st_uid, kNobody);
    EXPECT_EQ(status.st_gid, kNobody);
}

}  // namespace
}  // namespace unionbound
