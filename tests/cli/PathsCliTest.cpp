#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "KbctlRunner.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// kbctl copied into a folder without config.xml behaves as an installed copy; HOME and XDG_CONFIG_HOME
// point into the scratch folder.
class PathsCliTest : public ::testing::Test {
  protected:
    PathsCliTest() {
        fs::create_directories(root_ / "usr/bin");
        fs::copy_file(KBCTL_PATH, root_ / "usr/bin/kbctl");
        fs::create_directories(root_ / "home");
    }
    kbtest::KbctlResult Run(const std::vector<std::string>& env, const std::vector<std::string>& command) {
        std::vector<std::string> args{"-i"};
        args.insert(args.end(), env.begin(), env.end());
        args.push_back((root_ / "usr/bin/kbctl").string());
        args.insert(args.end(), command.begin(), command.end());
        return kbtest::RunProgram("env", args);
    }
    std::string Home() const { return "HOME=" + (root_ / "home").string(); }

    kbtest::ScratchDir scratch_;
    const fs::path root_ = scratch_.path();
};

TEST_F(PathsCliTest, InstalledCopyUsesTheUsersConfigFolder) {
    const kbtest::KbctlResult paths = Run({Home()}, {"paths"});
    ASSERT_EQ(paths.exitCode, 0) << paths.err;
    const json j = json::parse(paths.out);
    EXPECT_EQ(j["mode"], "installed");
    EXPECT_EQ(j["folder"], (root_ / "home/.config/kbstudio").string());
    EXPECT_EQ(j["files"]["record"], (root_ / "home/.config/kbstudio/record.bin").string());
    EXPECT_TRUE(j["uires"].get<std::string>().ends_with("/share/kbstudio/uires")) << j["uires"];
    EXPECT_FALSE(fs::exists(root_ / "home/.config")) << "paths only looks";

    // A command that saves creates the folder, privately, and writes there.
    const kbtest::KbctlResult lighting = Run({Home()}, {"lighting"});
    ASSERT_EQ(lighting.exitCode, 0) << lighting.err;
    EXPECT_TRUE(fs::exists(root_ / "home/.config/kbstudio/ledeffect.xml"));
    EXPECT_TRUE(fs::exists(root_ / "home/.config/kbstudio/sidemodel.xml"));
    EXPECT_EQ(fs::status(root_ / "home/.config/kbstudio").permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(root_ / "usr/bin/ledeffect.xml"));

    // The user's own config.xml wins over the installation's.
    kbtest::WriteFile(root_ / "home/.config/kbstudio/config.xml", R"(<usb vid="0x1209" pid="0x1"/>)");
    const kbtest::KbctlResult config = Run({Home()}, {"config"});
    ASSERT_EQ(config.exitCode, 0) << config.err;
    EXPECT_EQ(json::parse(config.out)["vid"], "1209");
}

TEST_F(PathsCliTest, XdgConfigHomeAndDirOverride) {
    const std::string xdg = (root_ / "xdg").string();
    kbtest::KbctlResult r = Run({Home(), "XDG_CONFIG_HOME=" + xdg}, {"paths"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(json::parse(r.out)["folder"], xdg + "/kbstudio");

    // --dir overrides everything: config.xml and the written files in that one folder.
    const std::string dir = (root_ / "portable").string();
    fs::create_directories(dir);
    r = Run({Home(), "XDG_CONFIG_HOME=" + xdg}, {"--dir", dir, "paths"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["mode"], "--dir");
    EXPECT_EQ(j["config"], dir + "/config.xml");
    EXPECT_EQ(j["folder"], dir);
    r = Run({Home(), "XDG_CONFIG_HOME=" + xdg}, {"--dir", dir, "lighting"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/ledeffect.xml"));
    EXPECT_FALSE(fs::exists(xdg));
}

TEST_F(PathsCliTest, NoUsableFolderIsAClearError) {
    // A relative HOME names no folder (an unset one falls back to the password database).
    kbtest::KbctlResult r = Run({"HOME=relative"}, {"paths"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("\"error\""), std::string::npos) << r.out;

    kbtest::WriteFile(root_ / "home/.config", "not a folder");
    r = Run({Home()}, {"lighting"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot create the settings folder " + (root_ / "home/.config").string()),
              std::string::npos)
        << r.err;
}

}  // namespace
