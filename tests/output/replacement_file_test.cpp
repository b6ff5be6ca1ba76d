#include "output/replacement_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

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
    std::function<void(const fs::path& dir)> lay;
    const char* landsIn;  // the file that holds the text afterwards, from the folder
    unsigned mode;        // its mode afterwards; 0 for the mode of a new file
};

std::ostream& operator<<(std::ostream& out, const Before& before) {
    return out << before.name;
}

void earlierFile(const fs::path& file, fs::perms mode) {
    writeFile(file, kEarlier);
    fs::permissions(file, mode);
}

class Replacement : public ::testing::TestWithParam<Before> {};

TEST_P(Replacement, KeepsTheEarlierTextUntilCommittedThenHoldsOnlyTheNewText) {
    const Before& before = GetParam();
    const ScratchDir dir;
    fs::create_directory(dir.path() / "sub");
    before.lay(dir.path());
    const fs::path landing = dir.path() / before.landsIn;
    const std::string earlierText = fs::exists(landing) ? readFile(landing) : "";
    const fs::path sub = dir.path() / "sub";
    const std::set<std::string> topBefore = namesIn(dir.path()), subBefore = namesIn(sub);

    ReplacementFile file;
    ASSERT_TRUE(file.open((dir.path() / "out").string())) << std::strerror(file.error());
    EXPECT_FALSE(file.writesDirectly());
    file.stream() << kNew << std::flush;
    EXPECT_EQ(fs::exists(landing) ? readFile(landing) : "", earlierText);
    const std::set<std::string>& landingBefore =
        landing.parent_path() == sub ? subBefore : topBefore;
    std::size_t hiddenNewNames = 0;
    for (const std::string& name : namesIn(landing.parent_path())) {
        hiddenNewNames += name[0] == '.' && landingBefore.count(name) == 0 ? 1 : 0;
    }
    EXPECT_EQ(hiddenNewNames, 1u)
        << "the new text goes to a file of its own beside the file it replaces";

    EXPECT_EQ(file.commit(), 0);
    EXPECT_EQ(readFile(landing), kNew);
    EXPECT_EQ(modeOf(landing), before.mode != 0 ? before.mode : newFileMode());
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
    ::testing::Values(Before{"Nothing", [](const fs::path&) {}, "out", 0},
                      Before{"AFileWithItsOwnMode",
                             [](const fs::path& dir) {
                                 earlierFile(dir / "out", fs::perms::owner_read |
                                                              fs::perms::owner_write |
                                                              fs::perms::group_read);
                             },
                             "out", 0640},
                      Before{"ALinkToAFileInAnotherFolder",
                             [](const fs::path& dir) {
                                 earlierFile(dir / "sub" / "target",
                                             fs::perms::owner_read | fs::perms::owner_write);
                                 fs::create_symlink("sub/target", dir / "out");
                             },
                             "sub/target", 0600},
                      Before{"ALinkToALinkWithATargetRelativeToItsOwnFolder",
                             [](const fs::path& dir) {
                                 earlierFile(dir / "sub" / "target", fs::perms::owner_all);
                                 fs::create_symlink("target", dir / "sub" / "link");
                                 fs::create_symlink(dir / "sub" / "link", dir / "out");
                             },
                             "sub/target", 0700},
                      Before{
                          "ADanglingLink",
                          [](const fs::path& dir) { fs::create_symlink("sub/made", dir / "out"); },
                          "sub/made", 0}),
    [](const ::testing::TestParamInfo<Before>& info) { return std::string(info.param.name); });

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

TEST(ReplacementFile, RefusesWhatATruncatingWriteRefusesWithItsError) {
    const ScratchDir dir;
    fs::create_directory(dir.path() / "folder");
    fs::create_symlink("loop", dir.path() / "loop");
    const struct {
        const char* path;
        int error;
    } refusals[] = {{"folder", EISDIR}, {"no/such/out", ENOENT}, {"loop", ELOOP}};
    for (const auto& refusal : refusals) {
        ReplacementFile file;
        EXPECT_FALSE(file.open((dir.path() / refusal.path).string())) << refusal.path;
        EXPECT_EQ(file.error(), refusal.error) << refusal.path;
        file.stream() << kNew;
        EXPECT_TRUE(file.stream().fail()) << "a refused file takes no text";
        EXPECT_EQ(file.commit(), refusal.error);
    }
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"folder", "loop"}));
}

TEST(ReplacementFile, WritesADeviceDirectlyAndReportsItsWriteError) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "this system has no /dev/full";
    }
    ReplacementFile file;
    ASSERT_TRUE(file.open("/dev/full"));
    EXPECT_TRUE(file.writesDirectly());
    file.stream() << kNew;
    EXPECT_EQ(file.commit(), ENOSPC);
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
