#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "KbctlRunner.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class SettingsCliTest : public ::testing::Test {
  protected:
    void Write(const std::string& name, const std::string& text) { kbtest::WriteFile(dir_ / name, text); }
    json Run(const std::vector<std::string>& command) {
        std::vector<std::string> args{"--dir", dir_.string()};
        args.insert(args.end(), command.begin(), command.end());
        const kbtest::KbctlResult r = kbtest::RunKbctl(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return json::parse(r.out);
    }
    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

TEST_F(SettingsCliTest, Config) {
    Write("config.xml", R"(<local language="cn"/><usb vid="1209" pid="0xa5" subdevice="-1"/>
<funkey><item name="" code="1"/><item name="Stumm" code="65568" path="p"/></funkey>
<combkey><item name="Copy" code=" 29:0 ,, 46:5 "/>text</combkey>)");
    EXPECT_EQ(Run({"config"}), json::parse(R"({
        "vid": "1209", "pid": "00a5", "interface": 0, "subdevice": -1, "language": 1,
        "mediaKeys": [{"name": "Stumm", "code": 65568, "path": "p", "argm": ""}],
        "functionKeys": [{"name": "Copy", "keys": [{"code": 29, "name": "CtrlLeft", "delay": 0},
                                                   {"code": 46, "name": "C", "delay": 5}]},
                         {"name": "", "keys": []}]
    })"));

    // Absent or unreadable: what the application would use, the defaults, with a one-line warning.
    const json defaults =
        json::parse(R"({"vid": null, "pid": null, "interface": 0, "subdevice": 0, "language": 0,
                                          "mediaKeys": [], "functionKeys": []})");
    for (const bool present : {false, true}) {
        fs::remove(dir_ / "config.xml");
        if (present) {
            Write("config.xml", "<usb vid=\"0x1209\"");  // not well-formed
        }
        const kbtest::KbctlResult result = kbtest::RunKbctl({"--dir", dir_.string(), "config"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(json::parse(result.out), defaults);
        EXPECT_NE(result.err.find("config.xml"), std::string::npos);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    }
}

TEST_F(SettingsCliTest, LightingKeepsUnreadableFilesAsideAndUsesFactoryValues) {
    Write("ledeffect.xml", "<effect sel=\"2\"><item speed=\"7\" brightness=\"9\" deriction=\"1\"/></effect>");
    Write("sidemodel.xml", "broken");
    const kbtest::KbctlResult result = kbtest::RunKbctl({"--dir", dir_.string(), "lighting"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The damaged file is kept aside, and stderr says so in one line.
    EXPECT_EQ(kbtest::ReadFile(dir_ / "sidemodel.xml.unreadable"), "broken");
    EXPECT_EQ(result.err.rfind("kbctl lighting: " + (dir_ / "sidemodel.xml").string(), 0), 0u) << result.err;
    EXPECT_NE(result.err.find("sidemodel.xml.unreadable"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(dir_ / "ledeffect.xml.unreadable"));
    const json out = json::parse(result.out);
    EXPECT_EQ(out["effect"]["sel"], 2);
    ASSERT_EQ(out["effect"]["items"].size(), 20u);
    EXPECT_EQ(out["effect"]["items"][0],
              json::parse(R"({"brightness":5,"speed":1,"direction":1,"selection":1})"));
    EXPECT_EQ(out["effect"]["items"][1],
              json::parse(R"({"brightness":5,"speed":0,"direction":0,"selection":0})"));
    EXPECT_EQ(out["side"], json::parse(R"({"sel":0,"levels":[4,4,4,7,7,7,7,7,7,7,7,7]})"));

    // The broken side-light file now holds the factory values.
    const std::string rewritten = kbtest::ReadFile(dir_ / "sidemodel.xml");
    EXPECT_NE(rewritten.find("<effect sel=\"0\">"), std::string::npos);
    // after it was kept aside, which the command says.
    EXPECT_EQ(kbtest::ReadFile(dir_ / "sidemodel.xml.unreadable"), "broken");
    Write("sidemodel.xml", "broken again");
    const kbtest::KbctlResult told = kbtest::RunKbctl({"--dir", dir_.string(), "lighting"});
    EXPECT_EQ(told.exitCode, 0);
    EXPECT_NE(told.err.find("sidemodel.xml.unreadable"), std::string::npos) << told.err;

    const kbtest::KbctlResult missing = kbtest::RunKbctl({"--dir", (dir_ / "absent").string(), "lighting"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir_ / "absent"));
}

TEST_F(SettingsCliTest, Macros) {
    Write(
        "macro.xml",
        R"(<config type="2" repeat="3" mode="1" delay="35" media="1" function="0" group="-1" skcode="30" play="1"/>
<macro><group name="Gr&#252;&#223;e"><item code="65565" state="0" delay="4294967291" name="Ctrl"/></group><group name="e"/></macro>)");
    EXPECT_EQ(Run({"macros"}), json::parse(R"({
        "config": {"type":2,"repeat":3,"mode":1,"delay":35,"media":1,"function":0,"group":-1,"skcode":30,"play":1},
        "groups": [{"name": "Grüße", "steps": [{"code":65565,"state":0,"delay":-5,"name":"Ctrl"}]},
                   {"name": "e", "steps": []}]
    })"));

    fs::rename(dir_ / "macro.xml", dir_ / "other.xml");
    EXPECT_EQ(Run({"macros", (dir_ / "other.xml").string()})["config"]["delay"], 35);

    // A fresh set-up has no macro.xml yet: what the program starts with, not an error.
    EXPECT_EQ(Run({"macros"}), json::parse(R"({
        "config": {"type":0,"repeat":1,"mode":0,"delay":10,"media":0,"function":0,"group":0,"skcode":0,"play":0},
        "groups": []})"));

    // A file that is there but broken, or a named file that is not there, is an error that says which.
    Write("macro.xml", "<config");
    const struct {
        std::vector<std::string> command;
        std::string message;
    } bad[] = {
        {{"macros"},
         "kbctl macros: " + (dir_ / "macro.xml").string() + " cannot be read: it is not well-formed XML"},
        {{"macros", (dir_ / "absent.xml").string()}, "absent.xml"},
    };
    for (const auto& c : bad) {
        std::vector<std::string> args{"--dir", dir_.string()};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const kbtest::KbctlResult r = kbtest::RunKbctl(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

#if !defined(_WIN32)
TEST_F(SettingsCliTest, MacrosRefusesWhatItCannotReadAndSaysWhy) {
    // A FIFO would block a plain open until someone writes to it.
    ASSERT_EQ(::mkfifo((dir_ / "macro.xml").c_str(), 0600), 0);
    kbtest::KbctlResult r = kbtest::RunKbctl({"--dir", dir_.string(), "macros"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;

    fs::remove(dir_ / "macro.xml");
    Write("macro.xml", "<macro><group name=\"g\"/></macro><");
    r = kbtest::RunKbctl({"--dir", dir_.string(), "macros"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not well-formed XML"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("macro.xml.unreadable"), std::string::npos) << r.err;
    EXPECT_EQ(kbtest::ReadFile(dir_ / "macro.xml.unreadable"), "<macro><group name=\"g\"/></macro><");
}
#endif

// The keys come in the documented order, not just with the documented names.
std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it) {
        keys.push_back(it.key());
    }
    return keys;
}

using Names = std::vector<std::string>;

TEST_F(SettingsCliTest, KeysComeInTheDocumentedOrder) {
    Write("config.xml",
          R"(<funkey><item name="M" code="1"/></funkey><combkey><item name="C" code="1:2"/></combkey>)");
    Write("macro.xml", R"(<config/><macro><group name="g"><item code="1"/></group></macro>)");
    const auto run = [&](const std::string& command) {
        const kbtest::KbctlResult r = kbtest::RunKbctl({"--dir", dir_.string(), command});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return nlohmann::ordered_json::parse(r.out);
    };

    const nlohmann::ordered_json config = run("config");
    EXPECT_EQ(Keys(config),
              (Names{"vid", "pid", "interface", "subdevice", "language", "mediaKeys", "functionKeys"}));
    EXPECT_EQ(Keys(config["mediaKeys"][0]), (Names{"name", "code", "path", "argm"}));
    EXPECT_EQ(Keys(config["functionKeys"][0]), (Names{"name", "keys"}));
    EXPECT_EQ(Keys(config["functionKeys"][0]["keys"][0]), (Names{"code", "name", "delay"}));

    const nlohmann::ordered_json lighting = run("lighting");
    EXPECT_EQ(Keys(lighting), (Names{"effect", "side"}));
    EXPECT_EQ(Keys(lighting["effect"]), (Names{"sel", "items"}));
    EXPECT_EQ(Keys(lighting["effect"]["items"][0]), (Names{"brightness", "speed", "direction", "selection"}));
    EXPECT_EQ(Keys(lighting["side"]), (Names{"sel", "levels"}));

    const nlohmann::ordered_json macros = run("macros");
    EXPECT_EQ(Keys(macros), (Names{"config", "groups"}));
    EXPECT_EQ(Keys(macros["config"]),
              (Names{"type", "repeat", "mode", "delay", "media", "function", "group", "skcode", "play"}));
    EXPECT_EQ(Keys(macros["groups"][0]), (Names{"name", "steps"}));
    EXPECT_EQ(Keys(macros["groups"][0]["steps"][0]), (Names{"code", "state", "delay", "name"}));
}

// Options a command does not take are refused, not skipped: "lighting --dir X" must not read (and, for
// a missing file, write) the default folder's settings instead of X's.
TEST_F(SettingsCliTest, OptionsAfterTheCommandAreRefused) {
    Write("macro.xml", "<config/>");
    const Names bad[] = {
        {"config", "--dir", "x"}, {"config", "x"},       {"lighting", "--dir", "x"}, {"lighting", "x"},
        {"macros", "--dir", "x"}, {"macros", "--bogus"}, {"macros", "a", "b"},
    };
    for (const Names& command : bad) {
        Names args{"--dir", dir_.string()};
        args.insert(args.end(), command.begin(), command.end());
        const kbtest::KbctlResult r = kbtest::RunKbctl(args);
        EXPECT_EQ(r.exitCode, 2) << command[0] << " " << command[1];
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(fs::exists(dir_ / "ledeffect.xml"));
}

// A save that fails is an error of the command, with the file's reason; the old file stays.
TEST_F(SettingsCliTest, FailedSavesInAReadOnlyFolderExitWithStatusOne) {
    // Root writes into any folder: the commands then run as an unprivileged user.
    std::vector<std::string> launcher;
    if (::geteuid() == 0) {
        launcher = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        if (kbtest::RunKbctl({"--help"}, launcher).exitCode != 0) {
            GTEST_SKIP() << "running as root and cannot run kbctl as another user";
        }
    }
    const fs::path full = dir_ / "full";
    const fs::path empty = dir_ / "empty";
    fs::create_directories(full);
    fs::create_directories(empty);
    const std::string led = "<effect sel=\"2\"><item speed=\"1\"/></effect>";
    const std::string side = "<effect sel=\"4\"><item brightness=\"3\"/></effect>";
    kbtest::WriteFile(full / "ledeffect.xml", led);
    kbtest::WriteFile(full / "sidemodel.xml", side);
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(full, readOnly);
    fs::permissions(empty, readOnly);

    const struct {
        Names command;
        const char* file;  // named in the message
    } cases[] = {
        {{"--dir", full.string(), "effect", "3", "--brightness", "2"}, "ledeffect.xml"},
        {{"--dir", full.string(), "side", "5"}, "sidemodel.xml"},
        {{"--dir", empty.string(), "lighting"}, "sidemodel.xml"},  // its factory values cannot be written
    };
    for (const auto& c : cases) {
        const kbtest::KbctlResult r = kbtest::RunKbctl(c.command, launcher);
        EXPECT_EQ(r.exitCode, 1) << c.command[2] << ": " << r.out << r.err;
        EXPECT_NE(r.err.find("settings not saved"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.file), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_EQ(kbtest::ReadFile(full / "ledeffect.xml"), led);
    EXPECT_EQ(kbtest::ReadFile(full / "sidemodel.xml"), side);
    EXPECT_TRUE(fs::is_empty(empty));
    fs::permissions(full, fs::perms::owner_all);
    fs::permissions(empty, fs::perms::owner_all);
}

}  // namespace
