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
TEST_F(AtomicFileTest, NewFilesAreNotWritableByOthersAndOldFilesKeepTheirMode) {
    const mode_t previous = ::umask(002);
    const bool created = kb::WriteFileAtomically(dir_ / "record.bin", "x").ok;
    ::umask(previous);
    ASSERT_TRUE(created);
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "record.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_EQ(::chmod((dir_ / "record.bin").c_str(), 0600), 0);
    ASSERT_TRUE(kb::WriteFileAtomically(dir_ / "record.bin", "y").ok);
    ASSERT_EQ(::stat((dir_ / "record.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
#endif

#if !defined(_WIN32)
TEST_F(AtomicFileTest, TemporariesOfDeadSavesAreSweptAndLiveOnesKept) {
    const fs::path file = dir_ / "macro.xml";
    // Left by a save that was killed: nobody holds it.
    kbtest::WriteFile(dir_ / ".macro.xml.Ab3dE9", "torn");
    // A save in progress in another process holds its temporary locked.
    kbtest::WriteFile(dir_ / ".macro.xml.Zz0000", "in progress");
    const int live = ::open((dir_ / ".macro.xml.Zz0000").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    // Other files that look alike are not ours.
    kbtest::WriteFile(dir_ / ".record.bin.Ab3dE9", "other file's");
    kbtest::WriteFile(dir_ / ".macro.xml.toolong", "not a temporary name");

    ASSERT_TRUE(kb::WriteFileAtomically(file, "new").ok);
    EXPECT_EQ(kbtest::ReadFile(file), "new");
    EXPECT_FALSE(fs::exists(dir_ / ".macro.xml.Ab3dE9"));
    EXPECT_TRUE(fs::exists(dir_ / ".macro.xml.Zz0000"));
    EXPECT_TRUE(fs::exists(dir_ / ".record.bin.Ab3dE9"));
    EXPECT_TRUE(fs::exists(dir_ / ".macro.xml.toolong"));
    ::close(live);

    ASSERT_TRUE(kb::WriteFileAtomically(file, "newer").ok);
    EXPECT_FALSE(fs::exists(dir_ / ".macro.xml.Zz0000"));
}
#endif

TEST_F(AtomicFileTest, ReadingMissingFilesAndFoldersFails) {
    EXPECT_FALSE(kb::ReadWholeFile(dir_ / "none").ok);
    EXPECT_FALSE(kb::ReadWholeFile(dir_).ok);
}

}  // namespace
