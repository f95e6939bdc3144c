#include "src/UserFiles.h"

#include <gtest/gtest.h>

#include <pwd.h>

#include <string>

namespace {

using kb::filterd::FindUserFiles;

// The test program's folder holds no config.xml, so the daemon's rules for an installed copy apply.
TEST(UserFilesTest, TheUsersRecordFileAndTheInstallationsConfig) {
    const passwd* pw = ::getpwuid(0);
    ASSERT_NE(pw, nullptr);
    const std::string home = pw->pw_dir;
    for (const std::string& user : {std::string(pw->pw_name), std::string("0")}) {
        SCOPED_TRACE(user);
        std::string records, config, error;
        ASSERT_TRUE(FindUserFiles(user, records, config, error)) << error;
        EXPECT_EQ(records, home + "/.config/kbstudio/record.bin");
        EXPECT_TRUE(config.ends_with("/kbstudio/config.xml")) << config;
        EXPECT_EQ(config.rfind(home, 0), std::string::npos)
            << "a user's config.xml never chooses the keyboard";
    }
}

TEST(UserFilesTest, GivenFilesStayAndUnknownUsersAreRefused) {
    std::string records = "/given/record.bin", config = "/given/config.xml", error;
    ASSERT_TRUE(FindUserFiles("0", records, config, error)) << error;
    EXPECT_EQ(records, "/given/record.bin");
    EXPECT_EQ(config, "/given/config.xml");

    std::string r, c;
    EXPECT_FALSE(FindUserFiles("no-such-user-kbstudio", r, c, error));
    EXPECT_NE(error.find("no-such-user-kbstudio: no such user"), std::string::npos) << error;
    EXPECT_TRUE(r.empty());
}

}  // namespace
