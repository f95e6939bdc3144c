#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "kb/profiles/ProfileName.h"
#include "kb/profiles/ProfileStore.h"

namespace fs = std::filesystem;

namespace {

// Distinct bytes per profile and file; content does not matter to the store.
void WriteSet(const fs::path& dir, const std::string& tag, bool withSide = true) {
    kbtest::WriteFile(dir / "record.bin", "records of " + tag);
    kbtest::WriteFile(dir / "ledeffect.xml", "<effect>" + tag + "</effect>");
    if (withSide) {
        kbtest::WriteFile(dir / "sidemodel.xml", "<effect>side " + tag + "</effect>");
    } else {
        fs::remove(dir / "sidemodel.xml");
    }
}

std::string SetOf(const fs::path& dir) {
    std::string all;
    for (const char* f : kb::kProfileFiles) {
        all += fs::exists(dir / f) ? kbtest::ReadFile(dir / f) : std::string("(none)");
        all += "|";
    }
    return all;
}

std::string Expected(const std::string& tag, bool withSide = true) {
    return "records of " + tag + "|<effect>" + tag + "</effect>|" +
           (withSide ? "<effect>side " + tag + "</effect>" : std::string("(none)")) + "|";
}

TEST(ProfileName, RefusesWhatCouldEscapeOrCollideWithAReason) {
    const struct {
        std::string name;
        std::string reasonPart;
    } refused[] = {
        {"", "empty"},
        {"a/b", "/"},
        {"a\\b", "\\"},
        {"..", ".."},
        {"x..y", ".."},
        {".hidden", "dot"},
        {"tab\there", "control"},
        {"line\nbreak", "control"},
        {"a:b", "< > :"},
        {"end.", "end with a dot"},
        {" lead", "space"},
        {"active", "active"},
        {"ACTIVE", "active"},
        {std::string(65, 'x'), "at most 64"},
        {"bad\xff", "UTF-8"},
    };
    for (const auto& c : refused) {
        const std::string why = kb::CheckProfileName(c.name);
        EXPECT_NE(why.find(c.reasonPart), std::string::npos) << "\"" << c.name << "\": " << why;
    }
    std::string sixtyFourAccents;
    for (int i = 0; i < 64; ++i) {
        sixtyFourAccents += "\xc3\xa9";  // é: two bytes, one character
    }
    for (const std::string& good : {std::string("Games"), std::string("Work 2"), std::string(64, 'x'),
                                    sixtyFourAccents, std::string("a.b")}) {
        EXPECT_EQ(kb::CheckProfileName(good), "") << good;
    }
}

TEST(ProfileStore, FirstOpenMakesDefaultFromTheFilesThatAreThere) {
    kbtest::ScratchDir dir;
    WriteSet(dir.path(), "mine", false);
    kb::ProfileStore store(dir.path());
    const kb::ProfileResult opened = store.Open();
    ASSERT_TRUE(opened) << opened.error;
    EXPECT_FALSE(opened.liveChanged);
    EXPECT_EQ(store.Names(), std::vector<std::string>{"Default"});
    EXPECT_EQ(store.Active(), "Default");
    EXPECT_EQ(SetOf(dir.path()), Expected("mine", false));
    EXPECT_EQ(SetOf(dir / "profiles/Default"), Expected("mine", false));
    EXPECT_EQ(kbtest::ReadFile(dir / "profiles/active"), "Default\n");
}

TEST(ProfileStore, SwitchKeepsTheActiveSetAndBringsTheOtherOneWhole) {
    kbtest::ScratchDir dir;
    WriteSet(dir.path(), "default");
    kb::ProfileStore store(dir.path());
    ASSERT_TRUE(store.Open());
    ASSERT_TRUE(store.Create("Games"));
    EXPECT_EQ(SetOf(dir / "profiles/Games"), Expected("default"));

    const kb::ProfileResult toGames = store.Switch("games");  // names match without ASCII case
    ASSERT_TRUE(toGames) << toGames.error;
    EXPECT_TRUE(toGames.liveChanged);
    EXPECT_EQ(store.Active(), "Games");
    WriteSet(dir.path(), "games", false);  // the user changes the active profile, dropping one file

    ASSERT_TRUE(store.Switch("Default"));
    EXPECT_EQ(SetOf(dir.path()), Expected("default"));
    EXPECT_EQ(SetOf(dir / "profiles/Games"), Expected("games", false));
    ASSERT_TRUE(store.Switch("Games"));
    EXPECT_EQ(SetOf(dir.path()), Expected("games", false));

    // A profile without a record file brings an empty one, so that the filter drops the assignments.
    kb::ProfileFiles bare;
    bare.bytes[1] = "<effect>bare</effect>";
    ASSERT_TRUE(store.Install("Bare", bare, false));
    ASSERT_TRUE(store.Switch("Bare"));
    EXPECT_EQ(SetOf(dir.path()), std::string(6, '\0') + "|<effect>bare</effect>|(none)|");
    ASSERT_TRUE(store.Switch("Games"));

    const kb::ProfileResult same = store.Switch("Games");
    EXPECT_TRUE(same);
    EXPECT_FALSE(same.liveChanged);
    const kb::ProfileResult unknown = store.Switch("Nope");
    EXPECT_FALSE(unknown);
    EXPECT_EQ(unknown.error, "there is no profile named \"Nope\"");
    EXPECT_EQ(SetOf(dir.path()), Expected("games", false));

    // Another process (a second store) sees the switch.
    kb::ProfileStore other(dir.path());
    ASSERT_TRUE(other.Open());
    EXPECT_EQ(other.Active(), "Games");
}

TEST(ProfileStore, RenameAndDeleteKeepOneProfileActive) {
    kbtest::ScratchDir dir;
    WriteSet(dir.path(), "default");
    kb::ProfileStore store(dir.path());
    ASSERT_TRUE(store.Open());

    const kb::ProfileResult last = store.Remove("Default");
    EXPECT_FALSE(last);
    EXPECT_EQ(last.error, "the last profile cannot be deleted");

    ASSERT_TRUE(store.Create("Work"));
    EXPECT_EQ(store.Create("work").error, "a profile named \"Work\" exists already");
    EXPECT_EQ(store.Create("a/b").error, "a profile name cannot contain / or \\");
    EXPECT_EQ(store.Rename("Work", "Default").error, "a profile named \"Default\" exists already");
    EXPECT_EQ(store.Rename("Work", "..").error, "a profile name cannot contain \"..\"");

    const kb::ProfileResult active = store.Remove("Default");
    EXPECT_FALSE(active);
    EXPECT_NE(active.error.find("active profile"), std::string::npos) << active.error;

    ASSERT_TRUE(store.Rename("Default", "Home"));
    EXPECT_EQ(store.Active(), "Home");
    EXPECT_EQ(kbtest::ReadFile(dir / "profiles/active"), "Home\n");
    EXPECT_EQ(store.Names(), (std::vector<std::string>{"Home", "Work"}));
    EXPECT_EQ(SetOf(dir / "profiles/Home"), Expected("default"));

    ASSERT_TRUE(store.Remove("Work"));
    EXPECT_FALSE(fs::exists(dir / "profiles/Work"));
    EXPECT_EQ(store.Names(), std::vector<std::string>{"Home"});
    EXPECT_EQ(SetOf(dir.path()), Expected("default"));
}

TEST(ProfileStore, InstallNeverOverwritesUnlessToldAndReplacesTheActiveFilesToo) {
    kbtest::ScratchDir dir;
    WriteSet(dir.path(), "default");
    kb::ProfileStore store(dir.path());
    ASSERT_TRUE(store.Open());
    kb::ProfileFiles incoming;
    incoming.bytes[0] = "records of new";
    incoming.bytes[1] = "<effect>new</effect>";

    const kb::ProfileResult added = store.Install("Shared", incoming, false);
    ASSERT_TRUE(added) << added.error;
    EXPECT_FALSE(added.liveChanged);
    EXPECT_EQ(SetOf(dir / "profiles/Shared"), Expected("new", false));

    const kb::ProfileResult refused = store.Install("default", incoming, false);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error, "a profile named \"Default\" exists already");
    EXPECT_EQ(SetOf(dir.path()), Expected("default"));

    const kb::ProfileResult replaced = store.Install("Default", incoming, true);
    ASSERT_TRUE(replaced) << replaced.error;
    EXPECT_TRUE(replaced.liveChanged);
    EXPECT_EQ(SetOf(dir.path()), Expected("new", false));
    EXPECT_EQ(SetOf(dir / "profiles/Default"), Expected("new", false));
}

TEST(ProfileStore, OpenFinishesWhatKilledOperationsLeft) {
    kbtest::ScratchDir dir;
    WriteSet(dir.path(), "a");
    {
        kb::ProfileStore store(dir.path());
        ASSERT_TRUE(store.Open());
        ASSERT_TRUE(store.Rename("Default", "A"));
        ASSERT_TRUE(store.Install("B", kb::ProfileFiles{{"records of b", "<effect>b</effect>", std::nullopt}},
                                  false));
        ASSERT_TRUE(store.Install("C", kb::ProfileFiles{{"records of c", "<effect>c</effect>", std::nullopt}},
                                  false));
    }
    // A switch from A to B killed after one file: the marker still says where it was going.
    kbtest::WriteFile(dir / "record.bin", "records of b");
    kbtest::WriteFile(dir / "profiles/active", "A\nB\n");
    // A replacement of C killed between its two renames, and a creation killed half way.
    fs::rename(dir / "profiles/C", dir / "profiles/.old-C");
    fs::create_directories(dir / "profiles/.new-D");

    kb::ProfileStore store(dir.path());
    const kb::ProfileResult opened = store.Open();
    ASSERT_TRUE(opened) << opened.error;
    EXPECT_TRUE(opened.liveChanged);
    EXPECT_EQ(store.Active(), "B");
    EXPECT_EQ(SetOf(dir.path()), Expected("b", false));
    EXPECT_EQ(kbtest::ReadFile(dir / "profiles/active"), "B\n");
    EXPECT_EQ(store.Names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(SetOf(dir / "profiles/C"), Expected("c", false));
    EXPECT_FALSE(fs::exists(dir / "profiles/.new-D"));

    // A marker that names nothing usable: the settings folder's files become a profile of a new name,
    // and no profile is overwritten.
    kbtest::WriteFile(dir / "profiles/active", "../escape\n");
    kb::ProfileStore again(dir.path());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Active(), "Default");
    EXPECT_EQ(SetOf(dir / "profiles/B"), Expected("b", false));
    EXPECT_EQ(SetOf(dir / "profiles/Default"), Expected("b", false));
}

}  // namespace
