// kbctl profile, assign, unassign and the sharing commands, run as a user runs them on a fixture folder.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "KbctlRunner.h"
#include "TestSupport.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/macros/MacroLibrary.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class ProfileCli : public ::testing::Test {
  protected:
    void SetUp() override {
        kbtest::WriteFile(dir_ / "config.xml", R"(<local language="en"/><usb vid="0x1209" pid="0xa1e5"/>
<funkey><item name="Mute" code="65568"/></funkey>
<combkey><item name="Copy" code="29:0, 46:5"/><item name="Empty" code=""/></combkey>)");
        kb::MacroLibrary library;
        library.Load(dir_ / "macro.xml");
        kb::MacroGroup burst;
        burst.name = u"Burst";
        burst.AppendStep(0x20, 0, 10, u"D");
        burst.AppendStep(0x20, 1, 20, u"D");
        kb::MacroGroup huge;
        huge.name = u"Huge";
        for (int i = 0; i < 256; ++i) {
            huge.AppendStep(0x20, i % 2, 1, u"D");
        }
        library.groups = {burst, huge};
        ASSERT_TRUE(library.Save());
    }

    // kbctl with the virtual filter and keyboard, so that reloads and lighting reports have somewhere to go.
    kbtest::KbctlResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--dir", dir_.string()});
        return kbtest::RunKbctl(args, {"env", "KBSTUDIO_VIRTUAL_FILTER=1", "KBSTUDIO_VIRTUAL_KEYBOARD=1"});
    }
    json Ok(const std::vector<std::string>& args) const {
        const kbtest::KbctlResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        return r.exitCode == 0 ? json::parse(r.out) : json();
    }
    // A refusal: exit 1 (2 for arguments the command does not take), the reason on stderr, nothing on
    // stdout.
    std::string Refused(const std::vector<std::string>& args, int exitCode = 1) const {
        const kbtest::KbctlResult r = Run(args);
        EXPECT_EQ(r.exitCode, exitCode) << r.out;
        EXPECT_TRUE(r.out.empty()) << r.out;
        return r.err;
    }
    std::string Records() const { return kbtest::ReadFile(dir_ / "record.bin"); }

    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

kb::MacroStep Step(uint32_t code, int32_t state, int32_t delay, std::u16string name = u"") {
    return kb::MacroStep{code, state, delay, std::move(name)};
}

TEST_F(ProfileCli, AssignWritesTheRecordTheDialogWritesForTheSameChoice) {
    // What the assignment dialog stores for each choice, key "A" (0x1E), written out by hand.
    const std::vector<kb::MacroStep> burst = {Step(0x20, 0, 10, u"D"), Step(0x20, 1, 20, u"D")};
    const struct {
        std::vector<std::string> args;
        kb::KeyRecord record;
    } cases[] = {
        {{"--macro", "Burst", "--times", "3"}, {0x1E, 0, 3, 2, u"A", u"", burst}},
        {{"--macro", "Burst"}, {0x1E, 0, 1, 2, u"A", u"", burst}},
        {{"--macro", "Burst", "--while-held"}, {0x1E, 0, 1, 3, u"A", u"", burst}},
        {{"--macro", "Burst", "--toggle"}, {0x1E, 0, 1, 4, u"A", u"", burst}},
        {{"--key", "B"}, {0x1E, 1, 0x30, 1, u"A", u"", {}}},
        {{"--key", "0x10038"}, {0x1E, 1, 0x10038, 1, u"A", u"", {}}},
        {{"--media", "Mute"}, {0x1E, 2, 1, 2, u"A", u"", {Step(65568, 0, 0)}}},
        {{"--shortcut", "Copy"},
         {0x1E, 3, 1, 2, u"A", u"", {Step(29, 1, 1), Step(46, 1, 6), Step(29, 0, 0), Step(46, 0, 5)}}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"assign", "A"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const json out = Ok(args);
        EXPECT_EQ(out["key"], 0x1E);
        EXPECT_EQ(out["reloaded"], true) << out.dump();
        EXPECT_EQ(Records(), kb::EncodeRecordFile({c.record}));
    }
    // By code too, and a second key appends after the first.
    const json f1 = Ok({"assign", "0x3B", "--media", "Mute"});
    EXPECT_EQ(f1["name"], "F1");
    kb::KeyRecord mute{0x3B, 2, 1, 2, u"F1", u"", {Step(65568, 0, 0)}};
    EXPECT_EQ(Records(), kb::EncodeRecordFile({cases[7].record, mute}));

    const json gone = Ok({"unassign", "A"});
    EXPECT_EQ(gone["removed"], true);
    EXPECT_EQ(Records(), kb::EncodeRecordFile({mute}));
    EXPECT_EQ(Ok({"unassign", "A"})["removed"], false);
}

TEST_F(ProfileCli, AssignRefusesWhatItCannotWriteAndWritesNothing) {
    Ok({"assign", "F1", "--macro", "Burst"});
    const std::string before = Records();
    const struct {
        std::vector<std::string> args;
        std::string reasonPart;
    } cases[] = {
        {{"assign", "Nope", "--macro", "Burst"}, "\"Nope\" names no key"},
        {{"assign", "0x74", "--macro", "Burst"}, "names no key"},
        {{"assign", "A", "--macro", "Missing"}, "no macro named \"Missing\" (macros: Burst, Huge)"},
        {{"assign", "A", "--media", "Loud"}, "no media key named \"Loud\""},
        {{"assign", "A", "--shortcut", "Paste"}, "no shortcut named \"Paste\""},
        {{"assign", "A", "--shortcut", "Empty"}, "has no keys"},
        {{"assign", "A", "--key", "0x36"}, "names no key"},
        {{"assign", "A", "--macro", "Huge"}, "at most 255"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& a : c.args) {
            line += a + " ";
        }
        SCOPED_TRACE(line);
        const std::string err = Refused(c.args);
        EXPECT_NE(err.find(c.reasonPart), std::string::npos) << err;
        EXPECT_EQ(Records(), before);
    }
    // Arguments the command does not take: the usage error's two lines and exit status 2.
    const struct {
        std::vector<std::string> args;
        std::string firstLine;
    } usage[] = {
        {{"assign", "A", "--macro", "Burst", "--key", "B"},
         "kbctl assign: give one of --macro, --key, --media or --shortcut"},
        {{"assign", "A", "--media", "Mute", "--toggle"},
         "kbctl assign: --times, --while-held and --toggle go with --macro"},
        {{"assign", "A", "--macro", "Burst", "--times", "2", "--toggle"},
         "kbctl assign: give at most one of"},
        {{"assign", "A", "--macro", "Burst", "--macro", "Burst"}, "kbctl assign: --macro given twice"},
        {{"assign", "A", "--macro"}, "kbctl assign: --macro needs a value"},
        {{"assign", "A", "--bogus", "1"}, "kbctl assign: unknown option --bogus"},
        {{"assign", "A", "B", "--macro", "Burst"}, "kbctl assign: unexpected argument B"},
        {{"unassign"}, "kbctl unassign: which key?"},
        {{"profile", "frobnicate"}, "kbctl profile: unknown profile command frobnicate"},
        {{"profile", "use"}, "kbctl profile: profile use takes 1 argument(s)"},
        {{"profile", "list", "x"}, "kbctl profile: unexpected argument x"},
        {{"macros", "import"}, "kbctl macros: macros import takes FILE"},
    };
    for (const auto& c : usage) {
        const std::string err = Refused(c.args, 2);
        const std::string tryLine = "Try 'kbctl " + c.args[0] + " --help' for more information.\n";
        EXPECT_EQ(err.rfind(c.firstLine, 0), 0u) << err;
        EXPECT_TRUE(err.ends_with("\n" + tryLine)) << err;
        EXPECT_EQ(Records(), before);
    }
    // A record file that cannot be read is not replaced by one with a single record: it is kept aside.
    kbtest::WriteFile(dir_ / "record.bin", "not a record file");
    EXPECT_NE(Refused({"assign", "A", "--macro", "Burst"}).find("nothing was written"), std::string::npos);
    EXPECT_EQ(Records(), "");
    EXPECT_EQ(kbtest::ReadFile(dir_ / "record.bin.unreadable"), "not a record file");
}

TEST_F(ProfileCli, ProfilesSwitchWholeFromTheShell) {
    json list = Ok({"profile", "list"});
    EXPECT_EQ(list,
              json::parse(R"({"active": "Default", "profiles": [{"name": "Default", "active": true}]})"));

    Ok({"assign", "A", "--macro", "Burst"});
    Ok({"effect", "5"});
    const std::string defaultRecords = Records();
    const std::string defaultLighting = kbtest::ReadFile(dir_ / "ledeffect.xml");
    Ok({"profile", "new", "Games"});
    Ok({"unassign", "A"});  // Default changes; Games keeps the copy
    const std::string changedRecords = Records();

    const json use = Ok({"profile", "use", "Games"});
    EXPECT_EQ(use["active"], "Games");
    EXPECT_EQ(use["previous"], "Default");
    EXPECT_EQ(use["changed"], true);
    EXPECT_EQ(use["reloaded"], true) << use.dump();
    EXPECT_EQ(use["lighting"], "sent") << use.dump();
    EXPECT_EQ(Records(), defaultRecords);
    Ok({"effect", "7"});

    Ok({"profile", "use", "default"});
    EXPECT_EQ(Records(), changedRecords);
    EXPECT_EQ(kbtest::ReadFile(dir_ / "ledeffect.xml"), defaultLighting);
    EXPECT_EQ(Ok({"profile", "use", "Default"})["changed"], false);

    EXPECT_NE(Refused({"profile", "delete", "Default"}).find("active profile"), std::string::npos);
    EXPECT_NE(Refused({"profile", "new", "../x"}).find("cannot contain / or \\"), std::string::npos);
    EXPECT_NE(Refused({"profile", "use", "Nope"}).find("no profile named \"Nope\""), std::string::npos);
    EXPECT_NE(Refused({"profile", "rename", "Games", "Default"}).find("exists already"), std::string::npos);

    Ok({"profile", "rename", "Games", "Play"});
    list = Ok({"profile", "delete", "Play"});
    EXPECT_EQ(list["deleted"], "Play");
    EXPECT_EQ(list["profiles"].size(), 1u);
    EXPECT_FALSE(fs::exists(dir_ / "profiles/Play"));
}

TEST_F(ProfileCli, ExportedProfilesAndMacrosImportBackAndNeverOverwriteUnasked) {
    Ok({"assign", "A", "--macro", "Burst", "--times", "2"});
    Ok({"assign", "B", "--key", "C"});
    Ok({"profile", "new", "Games"});
    const std::string records = Records();
    const fs::path file = dir_ / "games.xml";
    Ok({"profile", "export", "Games", file.string()});
    EXPECT_NE(Refused({"profile", "export", "Games", file.string()}).find("exists already"),
              std::string::npos);
    const std::string text = kbtest::ReadFile(file);
    EXPECT_NE(text.find("<macro name=\"Burst\">"), std::string::npos) << text;
    EXPECT_EQ(text.find("Huge"), std::string::npos) << "only the macros the profile plays";

    Ok({"profile", "delete", "Games"});
    const json imported = Ok({"profile", "import", file.string()});
    EXPECT_EQ(imported["imported"], "Games");
    EXPECT_EQ(kbtest::ReadFile(dir_ / "profiles/Games/record.bin"), records);
    EXPECT_NE(Refused({"profile", "import", file.string()}).find("exists already"), std::string::npos);
    Ok({"profile", "import", file.string(), "--name", "Copy"});
    EXPECT_EQ(kbtest::ReadFile(dir_ / "profiles/Copy/record.bin"), records);

    // Replacing the active profile puts the file's assignments into the settings folder at once.
    Ok({"unassign", "A"});
    const json replaced = Ok({"profile", "import", file.string(), "--name", "Default", "--replace"});
    EXPECT_EQ(replaced["reloaded"], true) << replaced.dump();
    EXPECT_EQ(Records(), records);

    // One macro: out, changed in the library, back only with --replace.
    const fs::path macroFile = dir_ / "burst.xml";
    Ok({"macros", "export", "Burst", macroFile.string()});
    kb::MacroLibrary library;
    ASSERT_TRUE(library.Load(dir_ / "macro.xml"));
    library.groups[0].steps.pop_back();
    ASSERT_TRUE(library.Save());
    EXPECT_NE(Refused({"macros", "import", macroFile.string()}).find("exists already with other steps"),
              std::string::npos);
    EXPECT_EQ(Ok({"macros", "import", macroFile.string(), "--replace"})["changed"], 1);
    ASSERT_TRUE(library.Load(dir_ / "macro.xml"));
    EXPECT_EQ(library.groups[0].steps.size(), 2u);
}

TEST_F(ProfileCli, BadImportFilesChangeNothing) {
    Ok({"profile", "list"});
    const std::string macros = kbtest::ReadFile(dir_ / "macro.xml");
    const struct {
        std::string bytes;
        std::string reasonPart;
    } cases[] = {
        {"<kbstudio version=\"9\"><profile name=\"X\"/></kbstudio>", "version 9 is not known"},
        {"<kbstudio version=\"1\"><profile name=\"X\"><key code=\"0x99\" mode=\"1\" "
         "parameter=\"30\"/></profile>"
         "<macro name=\"New\"/></kbstudio>",
         "names no key"},
        {"<kbstudio version=\"1\"><profile name=\"X\"/><macro name=\"Burst\"/></kbstudio>",
         "exists already with other steps"},
        {"<kbstudio version=\"1\"><profile name=\"a/b\"/></kbstudio>", "cannot contain / or \\"},
        {"<kbstudio version=\"1\"><profile name=\"Default\"/></kbstudio>", "exists already"},
        {"<kbstudio version=\"1\"><macro name=\"M\"/></kbstudio>", "holds no profile"},
        {"<kbstudio", "not well-formed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        kbtest::WriteFile(dir_ / "in.xml", c.bytes);
        const std::string err = Refused({"profile", "import", (dir_ / "in.xml").string()});
        EXPECT_NE(err.find(c.reasonPart), std::string::npos) << err;
        EXPECT_EQ(kbtest::ReadFile(dir_ / "macro.xml"), macros);
        EXPECT_EQ(Ok({"profile", "list"})["profiles"].size(), 1u);
    }
}

}  // namespace
