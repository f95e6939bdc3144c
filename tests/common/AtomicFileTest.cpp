#include "kb/common/AtomicFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
  protected:
    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

TEST_F(AtomicFileTest, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
    const fs::path file = dir_ / "record.bin";
    ASSERT_TRUE(kb::WriteFileAtomically(file, "first version, longer").ok);
    ASSERT_TRUE(kb::WriteFileAtomically(file, std::string("sec\0nd", 6)).ok);
    const kb::FileReadResult back = kb::ReadWholeFile(file);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.bytes, std::string("sec\0nd", 6));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(AtomicFileTest, AFailedSaveKeepsTheOldFile) {
    // The target's folder is missing: nothing can be written, and nothing else is touched.
    const kb::FileWriteResult missing = kb::WriteFileAtomically(dir_ / "absent" / "x.xml", "data");
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());

    // The target is a folder: the rename fails and the temporary file is cleaned up.
    fs::create_directories(dir_ / "macro.xml");
    EXPECT_FALSE(kb::WriteFileAtomically(dir_ / "macro.xml", "data").ok);
    EXPECT_TRUE(fs::is_directory(dir_ / "macro.xml"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

#if !defined(_WIN32)
mode_t ModeOf(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
    return st.st_mode;
}

TEST_F(AtomicFileTest, SavedFilesAreWritableByTheOwnerAlone) {
    struct Case {
        const char* what;
        mode_t umask;
        int oldMode;  // -1: no old file
        mode_t expected;
    };
    const Case cases[] = {
        {"new file, open umask", 0, -1, 0600},
        {"new file, usual umask", 022, -1, 0600},
        {"old file the user made private", 022, 0600, 0600},
        {"old readable file", 077, 0644, 0644},
        {"old group and world writable file", 0, 0666, 0644},
        {"old file with set-id and sticky bits", 0, 06777, 0755},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir_ / "record.bin";
        fs::remove(file);
        if (c.oldMode >= 0) {
            kbtest::WriteFile(file, "old");
            ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(c.oldMode)), 0);
        }
        const mode_t previous = ::umask(c.umask);
        const bool saved = kb::WriteFileAtomically(file, "new").ok;
        ::umask(previous);
        ASSERT_TRUE(saved);
        EXPECT_EQ(ModeOf(file) & 07777, c.expected);
        EXPECT_EQ(kbtest::ReadFile(file), "new");
    }
}

TEST_F(AtomicFileTest, ASymlinkIsReplacedNeverWrittenThroughNorGivenItsTargetsMode) {
    // A user switched the file off with a link to /dev/null; another links to a file of their own.
    const fs::path devNull = dir_ / "record.bin";
    fs::create_symlink("/dev/null", devNull);
    const mode_t previous = ::umask(0);
    const bool saved = kb::WriteFileAtomically(devNull, "records").ok;
    ::umask(previous);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(S_ISREG(ModeOf(devNull)));
    EXPECT_EQ(ModeOf(devNull) & 07777, 0600u);
    EXPECT_EQ(kbtest::ReadFile(devNull), "records");
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));

    const fs::path elsewhere = dir_ / "shared.xml";
    kbtest::WriteFile(elsewhere, "somebody's");
    ASSERT_EQ(::chmod(elsewhere.c_str(), 0666), 0);
    const fs::path link = dir_ / "sidemodel.xml";
    fs::create_symlink(elsewhere, link);
    ASSERT_TRUE(kb::WriteFileAtomically(link, "mine").ok);
    EXPECT_TRUE(S_ISREG(ModeOf(link)));
    EXPECT_EQ(ModeOf(link) & 07777, 0600u);
    EXPECT_EQ(kbtest::ReadFile(elsewhere), "somebody's");
    EXPECT_EQ(ModeOf(elsewhere) & 07777, 0666u);
}
#endif

#if !defined(_WIN32)
TEST_F(AtomicFileTest, TemporariesOfDeadSavesAreSweptAndLiveOnesKept) {
    const fs::path file = dir_ / "macro.xml";
    // Left by a save that was killed: nobody holds it.
    kbtest::WriteFile(dir_ / ".macro.xml.kbtmp-Ab3dE9x0", "torn");
    // A save in progress in another process holds its temporary locked.
    kbtest::WriteFile(dir_ / ".macro.xml.kbtmp-Zz000000", "in progress");
    const int live = ::open((dir_ / ".macro.xml.kbtmp-Zz000000").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    // The user's own files, however alike, and other files' temporaries are not this save's to remove.
    const char* const kept[] = {
        ".record.bin.kbtmp-Ab3dE9x0", ".macro.xml.kbtmp-toolong12", ".macro.xml.kbtmp-12 4 678",
        ".macro.xml.kbtmp-short",     ".macro.xml.backup",          ".macro.xml.12 4 6",
        ".macro.xml.Ab3dE9",          "macro.xml.kbtmp-Ab3dE9x0",
    };
    for (const char* name : kept) {
        kbtest::WriteFile(dir_ / name, "user's");
    }

    ASSERT_TRUE(kb::WriteFileAtomically(file, "new").ok);
    EXPECT_EQ(kbtest::ReadFile(file), "new");
    EXPECT_FALSE(fs::exists(dir_ / ".macro.xml.kbtmp-Ab3dE9x0"));
    EXPECT_TRUE(fs::exists(dir_ / ".macro.xml.kbtmp-Zz000000"));
    for (const char* name : kept) {
        EXPECT_EQ(kbtest::ReadFile(dir_ / name), "user's") << name;
    }
    ::close(live);

    ASSERT_TRUE(kb::WriteFileAtomically(file, "newer").ok);
    EXPECT_FALSE(fs::exists(dir_ / ".macro.xml.kbtmp-Zz000000"));
}
#endif

TEST_F(AtomicFileTest, ReadingMissingFilesAndFoldersFails) {
    EXPECT_FALSE(kb::ReadWholeFile(dir_ / "none").ok);
    EXPECT_FALSE(kb::ReadWholeFile(dir_).ok);
}

}  // namespace
