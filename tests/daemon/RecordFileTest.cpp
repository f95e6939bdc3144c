// Which record files the daemon accepts: each case builds a folder tree, then loads
// "top/kbstudio/record.bin".
#include "src/RecordFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

namespace kb::filterd {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kStranger = 12345;

struct Case {
    const char* name;
    std::function<void(const fs::path& top, const fs::path& file)> arrange;
    const char* error;  // a part of the error; nullptr when the file is accepted
    SocketAccess served = {};
    bool changesOwners = false;  // needs root
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class RecordFileSafety : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kbfilterd_records_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        top_ = pattern;
        fs::create_directory(top_ / "kbstudio");
        file_ = top_ / "kbstudio" / "record.bin";
        std::ofstream(file_, std::ios::binary) << EncodeRecordFile({});
        fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    }
    void TearDown() override { fs::remove_all(top_); }

    fs::path top_, file_;
};

TEST_P(RecordFileSafety, AcceptsOnlyFilesNoOneElseCouldHavePlaced) {
    const Case& c = GetParam();
    if (c.changesOwners && ::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files to another user";
    }
    c.arrange(top_, file_);
    const RecordFileLoad load = LoadRecordFile(file_, c.served);
    if (c.error == nullptr) {
        EXPECT_TRUE(load.ok) << load.error;
    } else {
        EXPECT_FALSE(load.ok);
        EXPECT_NE(load.error.find(c.error), std::string::npos) << load.error;
    }
}

void Chmod(const fs::path& p, mode_t mode) {
    ASSERT_EQ(::chmod(p.c_str(), mode), 0);
}

void Chown(const fs::path& p, uid_t uid, gid_t gid) {
    ASSERT_EQ(::chown(p.c_str(), uid, gid), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordFileSafety,
    ::testing::Values(
        Case{"PlainFile", [](const fs::path&, const fs::path&) {}, nullptr},
        Case{"SymbolicLink",
             [](const fs::path& top, const fs::path& file) {
                 fs::rename(file, top / "real.bin");
                 fs::create_symlink(top / "real.bin", file);
             },
             "it is a symbolic link"},
        Case{"FolderReachedThroughALinkIsCheckedWhereItLeads",
             [](const fs::path& top, const fs::path&) {
                 fs::create_directory(top / "open");
                 Chmod(top / "open", 0777);
                 fs::rename(top / "kbstudio", top / "open" / "kbstudio");
                 fs::create_directory_symlink(top / "open" / "kbstudio", top / "kbstudio");
             },
             "/open is writable by every user"},
        Case{"NotARegularFile",
             [](const fs::path&, const fs::path& file) {
                 fs::remove(file);
                 ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
             },
             "not a regular file"},
        Case{"FileWritableByEveryone", [](const fs::path&, const fs::path& file) { Chmod(file, 0646); },
             "it is writable by every user"},
        Case{"FileWritableByRootsGroup",
             [](const fs::path&, const fs::path& file) {
                 Chown(file, ::geteuid(), 0);
                 Chmod(file, 0664);
             },
             nullptr,
             {},
             true},
        Case{"FolderAboveWritableByEveryone", [](const fs::path& top, const fs::path&) { Chmod(top, 0777); },
             "is writable by every user"},
        Case{"FolderAboveWritableByEveryoneButSticky",
             [](const fs::path& top, const fs::path&) { Chmod(top, 01777); }, nullptr},
        Case{"OwnFolderWritableByEveryoneButSticky",
             [](const fs::path& top, const fs::path&) { Chmod(top / "kbstudio", 01777); }, nullptr},
        Case{"FileWritableByAnotherGroup",
             [](const fs::path&, const fs::path& file) {
                 Chown(file, ::geteuid(), 4321);
                 Chmod(file, 0664);
             },
             "writable by its group (gid 4321)",
             {},
             true},
        Case{"FolderAboveOwnedBySomeoneElse",
             [](const fs::path& top, const fs::path&) { Chown(top, kStranger, 0); },
             "belongs to uid 12345, neither root nor the file's owner",
             {},
             true},
        Case{"FileOfAUserNotServed",
             [](const fs::path&, const fs::path& file) { Chown(file, kStranger, 0); },
             "whom this daemon does not serve",
             {},
             true},
        Case{"FileOfTheServedUserInRootsFolders",
             [](const fs::path&, const fs::path& file) { Chown(file, kStranger, 0); }, nullptr,
             SocketAccess{kStranger, std::nullopt}, true}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(RecordFile, MissingFileOrFolderIsReportedAsMissing) {
    for (const char* path : {"/tmp/kbfilterd-no-such-folder/record.bin", "/tmp/kbfilterd-no-such-file.bin"}) {
        const RecordFileLoad load = LoadRecordFile(path, {});
        EXPECT_FALSE(load.ok);
        EXPECT_TRUE(load.missing) << path << ": " << load.error;
    }
}

}  // namespace
}  // namespace kb::filterd
