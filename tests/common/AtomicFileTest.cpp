#include "kb/common/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kb_atomic_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
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

TEST_F(AtomicFileTest, ReadingMissingFilesAndFoldersFails) {
    EXPECT_FALSE(kb::ReadWholeFile(dir_ / "none").ok);
    EXPECT_FALSE(kb::ReadWholeFile(dir_).ok);
}

}  // namespace
