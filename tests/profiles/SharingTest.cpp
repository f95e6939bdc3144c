#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/profiles/Sharing.h"

namespace {

kb::MacroGroup Group(const std::u16string& name, int steps, int32_t oddState = 1) {
    kb::MacroGroup group;
    group.name = name;
    for (int s = 0; s < steps; ++s) {
        group.AppendStep(0x1E + static_cast<uint32_t>(s), s % 2 == 0 ? 0 : oddState, 10 * s, u"k");
    }
    return group;
}

// A profile's files as the program writes them: a macro, a single key and a media key, both lighting files.
kb::ProfileFiles SampleFiles(const kb::MacroGroup& macro, const kbtest::ScratchDir& dir) {
    kb::KeyRecord played{0x3B, 2, 3, 2, u"F1", u"", macro.steps};
    kb::KeyRecord single{0x1E, 1, 0x30, 1, u"A", u"", {}};
    kb::KeyRecord media{0x10038, 2, 1, 2, u"AltRight", u"", {kb::MacroStep{0x10030, 0, 0, u""}}};
    kb::ProfileFiles files;
    files.bytes[0] = kb::EncodeRecordFile({played, single, media});
    kb::LedEffectConfig led;
    led.Load(dir / "ledeffect.xml");
    led.GetItem(2)->speed = 2;
    EXPECT_TRUE(led.SetSel(2));
    kb::SideLightConfig side;
    side.Load(dir / "sidemodel.xml");
    files.bytes[1] = kbtest::ReadFile(dir / "ledeffect.xml");
    files.bytes[2] = kbtest::ReadFile(dir / "sidemodel.xml");
    return files;
}

TEST(Sharing, ProfileRoundTripGivesTheSameFilesAndCarriesTheMacrosItPlays) {
    kbtest::ScratchDir dir;
    kb::MacroLibrary library;
    library.groups = {Group(u"Unused", 2), Group(u"Burst", 4)};
    // The record file keeps down/up only: a group step in another state still counts as the same macro.
    library.groups[1].steps[1].state = 2;
    kb::MacroGroup recorded = library.groups[1];
    recorded.steps[1].state = 1;
    const kb::ProfileFiles files = SampleFiles(recorded, dir);

    std::string text;
    std::string error;
    ASSERT_TRUE(kb::WriteSharedProfile("Games", files, library, text, error)) << error;
    EXPECT_NE(text.find("<kbstudio version=\"1\">"), std::string::npos) << text;
    EXPECT_NE(text.find("code=\"0x3B\" name=\"F1\""), std::string::npos) << text;
    EXPECT_NE(text.find("macro=\"Burst\""), std::string::npos) << text;

    const kb::SharedFileReadResult read = kb::ReadSharedFile(text);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_TRUE(read.file.profile);
    EXPECT_EQ(read.file.profile->name, "Games");
    EXPECT_EQ(read.file.profile->records[0].assignedName, u"Burst");
    EXPECT_EQ(read.file.profile->ToFiles(), files);
    ASSERT_EQ(read.file.macros.size(), 1u);
    EXPECT_EQ(read.file.macros[0], library.groups[1]);
}

TEST(Sharing, MacroRoundTripAndConflicts) {
    kb::MacroGroup burst = Group(u"Burst \u00e9 <&>", 5, 7);
    burst.steps[4].delay = static_cast<int32_t>(4000000000u);  // "macro.xml" keeps delays unsigned
    const kb::SharedFileReadResult read = kb::ReadSharedFile(kb::WriteSharedMacro(burst));
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_FALSE(read.file.profile);
    ASSERT_EQ(read.file.macros.size(), 1u);
    EXPECT_EQ(read.file.macros[0], burst);

    kb::MacroLibrary library;
    library.groups = {Group(u"Burst \u00e9 <&>", 2), Group(u"Other", 1)};
    EXPECT_EQ(kb::CheckMacroConflicts(library, read.file.macros, false),
              "a macro named \"Burst \xc3\xa9 <&>\" exists already with other steps");
    EXPECT_EQ(kb::CheckMacroConflicts(library, read.file.macros, true), "");
    EXPECT_EQ(kb::MergeMacros(library, read.file.macros), 1u);
    EXPECT_EQ(library.groups.size(), 2u);
    EXPECT_EQ(library.groups[0], burst);
    // The same macro again is no conflict and no change.
    EXPECT_EQ(kb::CheckMacroConflicts(library, read.file.macros, false), "");
    EXPECT_EQ(kb::MergeMacros(library, read.file.macros), 0u);
}

TEST(Sharing, BadFilesAreRefusedWithAReason) {
    const std::string head = "<kbstudio version=\"1\">";
    const std::string key = "<key code=\"0x1E\" name=\"A\" mode=\"2\" parameter=\"1\">";
    std::string manySteps;
    for (int i = 0; i < 256; ++i) {
        manySteps += "<step code=\"0x20\" state=\"down\" delay=\"1\"/>";
    }
    const struct {
        std::string bytes;
        std::string reasonPart;
    } cases[] = {
        {"", "not well-formed"},
        {"\xff\xfe<", "not well-formed"},
        {"<profile/>", "no <kbstudio>"},
        {"<kbstudio><macro name=\"m\"/></kbstudio>", "does not state its format version"},
        {"<kbstudio version=\"2\"><macro name=\"m\"/></kbstudio>", "version 2 is not known"},
        {head + "</kbstudio>", "neither a profile nor a macro"},
        {head + "<macro name=\"m\"/><macro name=\"m\"/></kbstudio>", "is in the file twice"},
        {head + "<macro/></kbstudio>", "has no name"},
        {head + "<macro name=\"m\"><step code=\"0x400000\" state=\"up\" delay=\"0\"/></macro></kbstudio>",
         "is not a number from 0 to 4194303"},
        {head + "<macro name=\"m\"><step code=\"A\" state=\"up\" delay=\"0\"/></macro></kbstudio>",
         "code \"A\""},
        {head + "<macro name=\"m\"><step code=\"1\" state=\"up\" delay=\"-1\"/></macro></kbstudio>", "delay"},
        {head + "<macro name=\"m\"><step state=\"up\" delay=\"1\"/></macro></kbstudio>", "no key code"},
        {head + "<macro name=\"m\"><stop/></macro></kbstudio>", "unexpected: <stop>"},
        {head + "<profile name=\"p\"><key code=\"0x74\" mode=\"1\" parameter=\"30\"/></profile></kbstudio>",
         "names no key of the keyboard"},
        {head + "<profile name=\"p\"><key code=\"0x1E\" mode=\"1\" parameter=\"0x36\"/></profile></kbstudio>",
         "sends no key of the keyboard"},
        {head + "<profile name=\"p\">" + key + "</key>" + key + "</key></profile></kbstudio>",
         "assigned twice"},
        {head + "<profile name=\"p\"><key code=\"0x1E\" mode=\"256\" parameter=\"1\"/></profile></kbstudio>",
         "mode \"256\""},
        {head + "<profile name=\"p\">" + key + manySteps + "</key></profile></kbstudio>", "does not fit"},
        {head + "<profile name=\"p\"/><profile name=\"q\"/></kbstudio>", "more than one profile"},
        {head + "<profile name=\"p\"><ledeffect/></profile></kbstudio>", "holds no <effect>"},
    };
    for (const auto& c : cases) {
        const kb::SharedFileReadResult read = kb::ReadSharedFile(c.bytes);
        EXPECT_FALSE(read.ok) << c.bytes.substr(0, 120);
        EXPECT_NE(read.error.find(c.reasonPart), std::string::npos)
            << c.bytes.substr(0, 120) << "\n  gave: " << read.error;
    }
}

}  // namespace
