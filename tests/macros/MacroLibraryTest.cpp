#include "kb/macros/MacroLibrary.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class MacroLibraryTest : public ::testing::Test {
  protected:
    void Write(const std::string& text) { kbtest::WriteFile(File(), text); }
    std::string Read() { return kbtest::ReadFile(File()); }
    fs::path File() const { return dir_ / "macro.xml"; }
    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

std::vector<std::u16string> Names(const kb::MacroLibrary& lib) {
    std::vector<std::u16string> names;
    for (const kb::MacroGroup& g : lib.groups) {
        names.push_back(g.name);
    }
    return names;
}

TEST_F(MacroLibraryTest, MissingFileKeepsTheInitialValuesAndCreatesNothing) {
    kb::MacroLibrary lib;
    EXPECT_FALSE(lib.Load(File()));
    EXPECT_TRUE(lib.groups.empty());
    EXPECT_EQ(lib.repeat, 1);
    EXPECT_EQ(lib.delay, 10);
    EXPECT_EQ(lib.type + lib.mode + lib.media + lib.function + lib.skcode + lib.group + lib.play, 0);
    EXPECT_FALSE(fs::exists(File()));
    // The path is kept, so the first save creates the file there.
    EXPECT_TRUE(lib.Save());
    EXPECT_TRUE(fs::exists(File()));
}

// One stray "<" used to give an empty list, and the next change overwrote the user's macros.
TEST_F(MacroLibraryTest, AnUnreadableFileIsKeptAsideBeforeAnythingOverwritesIt) {
    kb::MacroLibrary saved;
    EXPECT_FALSE(saved.Load(File()));  // no file yet
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(saved.AddGroup().saved);
    }
    const std::string broken = Read() + "<";
    Write(broken);

    kb::MacroLibrary lib;
    EXPECT_FALSE(lib.Load(File()));
    EXPECT_TRUE(lib.groups.empty());
    ASSERT_TRUE(lib.LastLoad().Unreadable());
    EXPECT_EQ(lib.LastLoad().keptAside, dir_ / "macro.xml.unreadable");
    ASSERT_TRUE(lib.AddGroup().saved);
    EXPECT_EQ(kbtest::ReadFile(dir_ / "macro.xml.unreadable"), broken);

    kb::MacroLibrary fresh;
    EXPECT_TRUE(fresh.Load(File()));
    EXPECT_EQ(fresh.LastLoad().state, kb::LoadState::Loaded);
    EXPECT_EQ(fresh.groups.size(), 1u);
}

TEST_F(MacroLibraryTest, WritesTheExactFileFormat) {
    kb::MacroLibrary lib;
    lib.Load(File());
    lib.type = 3;
    lib.mode = 1;
    lib.delay = 35;
    lib.group = -1;
    lib.skcode = 0x1E;
    lib.play = 2;
    lib.recording = 1;
    lib.groups.push_back({u"A & \"b\" <\u00e9>", {}});
    lib.groups.back().AppendStep(0x1001D, 0, -5, u"Ctrl");
    lib.groups.back().AppendStep(0x1001D, -1, 40, u"");
    lib.groups.push_back({u"", {}});
    ASSERT_TRUE(lib.Save());
    EXPECT_EQ(
        Read(),
        "<?xml version=\"1.0\"?>\n"
        "<config type=\"3\" repeat=\"1\" mode=\"1\" delay=\"35\" media=\"0\" function=\"0\" group=\"-1\" "
        "skcode=\"30\" play=\"2\" />\n"
        "<macro>\n"
        "\t<group name=\"A &amp; &quot;b&quot; &lt;\xC3\xA9>\">\n"
        "\t\t<item code=\"65565\" state=\"0\" delay=\"4294967291\" name=\"Ctrl\" />\n"
        "\t\t<item code=\"65565\" state=\"4294967295\" delay=\"40\" name=\"\" />\n"
        "\t</group>\n"
        "\t<group name=\"\" />\n"
        "</macro>\n");

    kb::MacroLibrary back;
    ASSERT_TRUE(back.Load(File()));
    EXPECT_EQ(back.groups, lib.groups);
    EXPECT_EQ(back.groups[0].steps[0].delay, -5);
    EXPECT_EQ(back.mode, 1);
    EXPECT_EQ(back.delay, 35);
    EXPECT_EQ(back.group, -1);
    EXPECT_EQ(back.type, 3);
    EXPECT_EQ(back.play, 2);
    EXPECT_EQ(back.recording, 0);  // never stored
}

TEST_F(MacroLibraryTest, ReadingRules) {
    Write(R"(<?xml version="1.0"?>
<macro>
    <g name="first">
        <step name="A" state="1" code="  +30" delay="12ms"/>
        <item/>
        <item code="99999999999" state="-1" delay="x"/>
    </g>
    text
    <group/>
</macro>
<config type="1" group="4294967295" skcode="-2" mode="7"/>
<macro><group name="ignored"/></macro>)");
    kb::MacroLibrary lib;
    lib.groups.push_back({u"old", {}});
    ASSERT_TRUE(lib.Load(File()));
    // Every child of the first "macro" is a group, text included; missing attributes give 0 or "".
    ASSERT_EQ(Names(lib), (std::vector<std::u16string>{u"first", u"", u""}));
    EXPECT_EQ(lib.groups[0].steps,
              (std::vector<kb::MacroStep>{{30, 1, 12, u"A"}, {0, 0, 0, u""}, {0xFFFFFFFFu, -1, 0, u""}}));
    EXPECT_TRUE(lib.groups[1].steps.empty());
    EXPECT_EQ(lib.type, 1);
    EXPECT_EQ(lib.group, -1);
    EXPECT_EQ(lib.skcode, -2);
    EXPECT_EQ(lib.mode, 7);  // kept as loaded; the dialog corrects it
    // A "config" without them gives 0, not the initial values.
    EXPECT_EQ(lib.repeat, 0);
    EXPECT_EQ(lib.delay, 0);
}

TEST_F(MacroLibraryTest, PartialFiles) {
    kb::MacroLibrary lib;
    lib.repeat = 5;
    lib.groups.push_back({u"old", {}});

    Write("<macro><group name=\"g\"/></macro>");  // no "config": fields unchanged
    ASSERT_TRUE(lib.Load(File()));
    EXPECT_EQ(Names(lib), std::vector<std::u16string>{u"g"});
    EXPECT_EQ(lib.repeat, 5);

    Write("<config repeat=\"2\"/>");  // no "macro": no groups
    ASSERT_TRUE(lib.Load(File()));
    EXPECT_TRUE(lib.groups.empty());
    EXPECT_EQ(lib.repeat, 2);

    lib.groups.push_back({u"kept", {}});
    Write("<config repeat=\"3\"><macro>");  // malformed: everything stays
    EXPECT_FALSE(lib.Load(File()));
    EXPECT_EQ(Names(lib), std::vector<std::u16string>{u"kept"});
    EXPECT_EQ(lib.repeat, 2);

    EXPECT_FALSE(lib.Load(fs::path()));
    EXPECT_EQ(lib.Path(), File());
}

TEST_F(MacroLibraryTest, GroupNaming) {
    kb::MacroLibrary lib;
    lib.Load(File());
    ASSERT_TRUE(lib.AddGroup().saved);
    ASSERT_TRUE(lib.AddGroup().saved);
    EXPECT_EQ(Names(lib), (std::vector<std::u16string>{u"Group 0", u"Group 1"}));
    lib.groups[1].name = u"Group 2";
    ASSERT_TRUE(lib.AddGroup().saved);  // "Group 2" is tried first and taken
    EXPECT_EQ(lib.groups.back().name, u"Group 3");
    ASSERT_TRUE(lib.RemoveGroup(0));
    ASSERT_TRUE(lib.RemoveGroup(0));
    EXPECT_EQ(Names(lib), std::vector<std::u16string>{u"Group 3"});
    lib.groups[0].name = u"Group 1";
    ASSERT_TRUE(lib.AddGroup().saved);
    EXPECT_EQ(lib.groups.back().name, u"Group 2");

    // Each of these saved the file.
    kb::MacroLibrary back;
    ASSERT_TRUE(back.Load(File()));
    EXPECT_EQ(Names(back), (std::vector<std::u16string>{u"Group 1", u"Group 2"}));
}

TEST_F(MacroLibraryTest, GroupEditsSaveOnlyWhenSomethingChanged) {
    kb::MacroLibrary lib;
    lib.Load(File());
    ASSERT_TRUE(lib.AddGroup().saved);
    ASSERT_TRUE(lib.AddGroup().saved);
    fs::remove(File());

    EXPECT_FALSE(lib.RenameGroup(0, u"Group 0"));
    EXPECT_FALSE(lib.RenameGroup(2, u"x"));
    EXPECT_FALSE(lib.RemoveGroup(2));
    EXPECT_FALSE(fs::exists(File()));

    EXPECT_TRUE(lib.RenameGroup(0, u"Group 1").saved);  // duplicates are allowed
    EXPECT_TRUE(fs::exists(File()));
    EXPECT_EQ(Names(lib), (std::vector<std::u16string>{u"Group 1", u"Group 1"}));
}

TEST_F(MacroLibraryTest, GroupAtAndResetAndStepEdits) {
    kb::MacroLibrary lib;
    lib.Load(File());
    ASSERT_TRUE(lib.AddGroup().saved);
    ASSERT_TRUE(lib.AddGroup().saved);
    lib.group = 1;
    EXPECT_EQ(lib.GroupAt(-1), &lib.groups[1]);
    EXPECT_EQ(lib.GroupAt(0), &lib.groups[0]);
    EXPECT_EQ(lib.GroupAt(2), nullptr);
    lib.group = 2;
    EXPECT_EQ(lib.GroupAt(-5), nullptr);
    lib.group = -1;
    EXPECT_EQ(lib.GroupAt(-1), nullptr);

    kb::MacroGroup& g = lib.groups[0];
    g.AppendStep(1, 0, 10, u"a");
    g.AppendStep(2, 1, 20, u"b");
    g.AppendStep(3, 0, 30, u"c");
    EXPECT_FALSE(g.MoveStepUp(0));
    EXPECT_FALSE(g.MoveStepDown(2));
    EXPECT_FALSE(g.MoveStepDown(-1));
    EXPECT_FALSE(g.MoveStepUp(3));
    EXPECT_TRUE(g.MoveStepUp(2));
    EXPECT_EQ(g.steps[1], (kb::MacroStep{3, 0, 30, u"c"}));
    EXPECT_TRUE(g.MoveStepDown(0));
    EXPECT_EQ(g.steps[0], (kb::MacroStep{3, 0, 30, u"c"}));
    g.RemoveStep(7);
    g.RemoveStep(0);
    EXPECT_EQ(g.steps.size(), 2u);
    EXPECT_EQ(g.steps[0].name, u"a");
    g.ClearSteps();
    EXPECT_TRUE(g.steps.empty());

    // Reset does not save: the file keeps the groups until the next save.
    lib.repeat = 9;
    lib.Reset();
    EXPECT_TRUE(lib.groups.empty());
    EXPECT_EQ(lib.repeat, 1);
    EXPECT_EQ(lib.delay, 10);
    EXPECT_EQ(lib.Path(), File());
    kb::MacroLibrary back;
    ASSERT_TRUE(back.Load(File()));
    EXPECT_EQ(back.groups.size(), 2u);
}

TEST_F(MacroLibraryTest, FailedSaveKeepsTheOldFileAndTheLibrary) {
    kb::MacroLibrary lib;
    lib.Load(File());
    ASSERT_TRUE(lib.AddGroup().saved);
    const std::string before = Read();
    if (!kbtest::FullDisk::Supported()) {
        GTEST_SKIP() << "no file-size limits on this system";
    }
    const kbtest::FullDisk full;
    // Each group operation says that it changed the library but could not write the file.
    const kb::GroupChange added = lib.AddGroup();
    EXPECT_TRUE(added.changed);
    EXPECT_FALSE(added.saved);
    EXPECT_NE(lib.LastError().find(File().string()), std::string::npos) << lib.LastError();
    const kb::GroupChange renamed = lib.RenameGroup(1, u"renamed");
    EXPECT_TRUE(renamed.changed && !renamed.saved);
    const kb::GroupChange removed = lib.RemoveGroup(0);
    EXPECT_TRUE(removed.changed && !removed.saved);
    EXPECT_FALSE(lib.Save());
    EXPECT_EQ(Names(lib), (std::vector<std::u16string>{u"renamed"}));
    EXPECT_EQ(Read(), before);
}

}  // namespace
