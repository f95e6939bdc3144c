#include <gtest/gtest.h>

#include "TestSupport.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>

#include "kb/common/AppConfig.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/LoadStatus.h"

namespace fs = std::filesystem;

namespace {

class SettingsReadTest : public ::testing::Test {
  protected:
    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

#if !defined(_WIN32)
// A FIFO where a settings file belongs would block an ordinary open until someone writes to it.
TEST_F(SettingsReadTest, WhatIsNoRegularFileIsRefusedWithoutBlocking) {
    const fs::path fifo = dir_ / "macro.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder");
    for (const fs::path& file : {fifo, dir_ / "folder", fs::path("/dev/zero")}) {
        const kb::FileReadResult read = kb::ReadWholeFile(file);
        EXPECT_FALSE(read.ok) << file;
        EXPECT_EQ(read.failure, kb::FileReadFailure::NotRegularFile) << file;
    }
    // Refused, told, and left where it is: it holds nothing to keep.
    const kb::LoadStatus status = kb::FailedReadStatus(fifo, kb::ReadWholeFile(fifo), true);
    EXPECT_TRUE(status.Unreadable());
    EXPECT_NE(status.Message().find("macro.xml"), std::string::npos) << status.Message();
    EXPECT_TRUE(fs::exists(fifo));
    EXPECT_FALSE(fs::exists(kb::KeptAsidePath(fifo)));
}
#endif

TEST_F(SettingsReadTest, ReadFailuresSayWhy) {
    EXPECT_EQ(kb::ReadWholeFile(dir_ / "none").failure, kb::FileReadFailure::Missing);
    kbtest::WriteFile(dir_ / "big", std::string(100, 'x'));
    EXPECT_EQ(kb::ReadWholeFile(dir_ / "big", 99).failure, kb::FileReadFailure::TooLarge);
    const kb::FileReadResult whole = kb::ReadWholeFile(dir_ / "big", 100);
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.bytes.size(), 100u);
}

TEST_F(SettingsReadTest, AnUnreadableFileIsKeptAsideOnceTheNewestCopy) {
    const fs::path file = dir_ / "macro.xml";
    kbtest::WriteFile(file, "first <");
    kb::LoadStatus status = kb::UnreadableStatus(file, "it is broken", true);
    EXPECT_TRUE(status.Unreadable());
    EXPECT_EQ(status.keptAside, dir_ / "macro.xml.unreadable");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_NE(status.Message().find("macro.xml.unreadable"), std::string::npos) << status.Message();

    kbtest::WriteFile(file, "second <");
    status = kb::UnreadableStatus(file, "it is broken", true);
    EXPECT_EQ(kbtest::ReadFile(dir_ / "macro.xml.unreadable"), "second <");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    // Where it cannot be moved, the user learns that too.
    kbtest::WriteFile(file, "third <");
    fs::remove(dir_ / "macro.xml.unreadable");
    fs::create_directories(dir_ / "macro.xml.unreadable" / "full");
    status = kb::UnreadableStatus(file, "it is broken", true);
    EXPECT_TRUE(status.keptAside.empty());
    EXPECT_FALSE(status.keepAsideError.empty());
    EXPECT_EQ(kbtest::ReadFile(file), "third <");
}

TEST_F(SettingsReadTest, ABrokenConfigFileSaysWhatIsWrongAndStaysWhereItIs) {
    const fs::path file = dir_ / "config.xml";
    kb::AppConfig config;
    EXPECT_FALSE(config.Load(file));
    EXPECT_EQ(config.LastLoad().state, kb::LoadState::Missing);

    kbtest::WriteFile(file, "<usb vid=\"258a\" pid=\"1\"/>\n<local language=\"cn\"");
    EXPECT_FALSE(config.Load(file));
    EXPECT_EQ(config.Vid(), 0);
    ASSERT_TRUE(config.LastLoad().Unreadable());
    const std::string message = config.LastLoad().Message();
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    EXPECT_NE(message.find("not well-formed XML"), std::string::npos) << message;
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(kb::KeptAsidePath(file)));

    kbtest::WriteFile(file, "<usb vid=\"258a\"/>");
    EXPECT_TRUE(config.Load(file));
    EXPECT_EQ(config.LastLoad().state, kb::LoadState::Loaded);
}

}  // namespace
