#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"

namespace fs = std::filesystem;

namespace {

class LightingConfigTest : public ::testing::Test {
  protected:
    void Write(const fs::path& file, const std::string& text) { kbtest::WriteFile(file, text); }
    std::string Read(const fs::path& file) { return kbtest::ReadFile(file); }
    fs::path Led() const { return dir_ / "ledeffect.xml"; }
    fs::path Side() const { return dir_ / "sidemodel.xml"; }
    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

std::string FactoryLedFile() {
    std::string text = "<?xml version=\"1.0\"?>\n<effect sel=\"20\">\n";
    for (int i = 0; i < 20; ++i) {
        text += "\t<item speed=\"0\" brightness=\"5\" deriction=\"0\" selection=\"0\" />\n";
    }
    return text + "</effect>\n";
}

TEST_F(LightingConfigTest, MissingOrMalformedLedFileIsRewrittenWithFactoryValues) {
    for (const char* content : {static_cast<const char*>(nullptr), "<effect sel=\"3\"><item", ""}) {
        if (content != nullptr) {
            Write(Led(), content);
        }
        kb::LedEffectConfig config;
        config.GetItem(0)->brightness = 1;
        EXPECT_FALSE(config.Load(Led()));
        EXPECT_EQ(config.GetSel(), 20);
        EXPECT_EQ(config.Items()[0], (kb::LedEffectItem{5, 0, 0, 0}));
        EXPECT_EQ(Read(Led()), FactoryLedFile());
    }
}

TEST_F(LightingConfigTest, AnUnreadableFileIsKeptAsideBeforeTheFactoryValuesReplaceIt) {
    const std::string broken = "<effect sel=\"3\"><item speed=\"2\"/>";
    Write(Side(), broken);
    kb::SideLightConfig side;
    EXPECT_FALSE(side.Load(Side()));
    ASSERT_TRUE(side.LastLoad().Unreadable());
    EXPECT_EQ(Read(dir_ / "sidemodel.xml.unreadable"), broken);
    EXPECT_NE(Read(Side()), broken);  // the factory values, written at once

    kb::LedEffectConfig led;
    EXPECT_FALSE(led.Load(Led()));
    EXPECT_EQ(led.LastLoad().state, kb::LoadState::Missing);
    EXPECT_TRUE(led.Load(Led()));
    EXPECT_EQ(led.LastLoad().state, kb::LoadState::Loaded);
    EXPECT_FALSE(fs::exists(dir_ / "ledeffect.xml.unreadable"));
}

TEST_F(LightingConfigTest, LedValuesAreCorrectedWhenLoaded) {
    Write(Led(), R"(<effect sel="7">
        <item speed="7" brightness="9" deriction="2" selection="7"/>
        <item speed="258" brightness="-1" deriction="1"/>
        <other speed="2" brightness="3" deriction="0" selection="3"/>
        <item speed="x" brightness="" selection="257"/>
        <item/>
    </effect>)");
    kb::LedEffectConfig config;
    *config.GetItem(19) = kb::LedEffectItem{1, 2, 1, 3};
    ASSERT_TRUE(config.Load(Led()));
    EXPECT_EQ(config.GetSel(), 7);
    EXPECT_EQ(config.Items()[0], (kb::LedEffectItem{5, 1, 0, 7}));
    EXPECT_EQ(config.Items()[1], (kb::LedEffectItem{5, 2, 1, 1}));  // 258 keeps its low byte 2
    EXPECT_EQ(config.Items()[2], (kb::LedEffectItem{3, 2, 0, 3}));  // any element name counts
    EXPECT_EQ(config.Items()[3], (kb::LedEffectItem{0, 0, 0, 1}));
    EXPECT_EQ(config.Items()[4], (kb::LedEffectItem{0, 0, 0, 1}));
    // Records the file does not cover keep what they held.
    EXPECT_EQ(config.Items()[5], (kb::LedEffectItem{5, 0, 0, 0}));
    EXPECT_EQ(config.Items()[19], (kb::LedEffectItem{1, 2, 1, 3}));
}

TEST_F(LightingConfigTest, SelectionRanges) {
    const std::pair<const char*, int> led[] = {{"20", 20}, {"21", 0}, {"-3", 0},
                                               {"-1", 0},  {"0", 0},  {"19", 19}};
    for (const auto& [text, expected] : led) {
        Write(Led(), std::string("<effect sel=\"") + text + "\"/>");
        kb::LedEffectConfig config;
        ASSERT_TRUE(config.Load(Led()));
        EXPECT_EQ(config.GetSel(), expected) << text;
    }
    const std::pair<const char*, int> side[] = {{"12", 12}, {"13", 0}, {"-1", 0}, {"4", 4}};
    for (const auto& [text, expected] : side) {
        Write(Side(), std::string("<effect sel=\"") + text + "\"/>");
        kb::SideLightConfig config;
        ASSERT_TRUE(config.Load(Side()));
        EXPECT_EQ(config.GetSel(), expected) << text;
    }
}

TEST_F(LightingConfigTest, ItemAccessAndSaveWriteAllRecords) {
    kb::LedEffectConfig config;
    ASSERT_FALSE(config.Load(Led()));
    EXPECT_EQ(config.GetItem(-1), nullptr);  // sel 20 has no record
    EXPECT_EQ(config.GetItem(20), nullptr);
    EXPECT_EQ(config.GetItem(-2), nullptr);
    ASSERT_TRUE(config.SetSel(3));
    ASSERT_NE(config.GetItem(-1), nullptr);
    EXPECT_EQ(config.GetItem(-1), config.GetItem(3));
    config.GetItem(3)->speed = 2;
    EXPECT_TRUE(config.Save());

    kb::LedEffectConfig again;
    ASSERT_TRUE(again.Load(Led()));
    EXPECT_EQ(again.GetSel(), 3);
    EXPECT_EQ(again.Items(), config.Items());

    // -1 (no selection in the list) is stored and turns into 0 at the next load.
    ASSERT_TRUE(config.SetSel(-1));
    EXPECT_NE(Read(Led()).find("<effect sel=\"-1\">"), std::string::npos);
    ASSERT_TRUE(again.Load(Led()));
    EXPECT_EQ(again.GetSel(), 0);

    ASSERT_TRUE(config.Reset());
    EXPECT_EQ(Read(Led()), FactoryLedFile());
}

TEST_F(LightingConfigTest, MissingSideFileIsCreatedWithFactoryLevels) {
    Write(Side(), "not xml");
    kb::SideLightConfig config;
    EXPECT_FALSE(config.Load(Side()));
    std::string expected = "<?xml version=\"1.0\"?>\n<effect sel=\"0\">\n";
    for (int level : {4, 4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7}) {
        expected += "\t<item brightness=\"" + std::to_string(level) + "\" />\n";
    }
    EXPECT_EQ(Read(Side()), expected + "</effect>\n");
    EXPECT_EQ(config.GetSel(), 0);
    EXPECT_EQ(config.GetItem(-1)->level, 4);
}

TEST_F(LightingConfigTest, MissingSideFileIsCreatedWithFactoryValuesAndResetRestoresThem) {
    kb::SideLightConfig config;
    config.GetItem(0)->level = 1;
    EXPECT_FALSE(config.SetSel(5));  // no path yet: nothing is written
    EXPECT_FALSE(fs::exists(Side()));
    EXPECT_FALSE(config.Load(Side()));
    EXPECT_TRUE(fs::exists(Side()));
    EXPECT_EQ(config.GetSel(), 0);
    EXPECT_EQ(config.GetItem(0)->level, 4);
    EXPECT_EQ(config.GetItem(11)->level, 7);
    config.GetItem(0)->level = 3;
    ASSERT_TRUE(config.Reset());
    EXPECT_EQ(config.GetItem(0)->level, 4);
    EXPECT_NE(Read(Side()).find("\t<item brightness=\"4\" />\n"), std::string::npos);
}

TEST_F(LightingConfigTest, SavingAfterAShortFileWritesEveryRecord) {
    Write(Led(), R"(<effect sel="1"><item speed="2" brightness="3" deriction="1" selection="3"/></effect>)");
    kb::LedEffectConfig led;
    ASSERT_TRUE(led.Load(Led()));
    ASSERT_TRUE(led.Save());
    std::string expected =
        "<?xml version=\"1.0\"?>\n<effect sel=\"1\">\n"
        "\t<item speed=\"2\" brightness=\"3\" deriction=\"1\" selection=\"3\" />\n";
    for (int i = 1; i < 20; ++i) {
        expected += "\t<item speed=\"0\" brightness=\"5\" deriction=\"0\" selection=\"0\" />\n";
    }
    EXPECT_EQ(Read(Led()), expected + "</effect>\n");

    Write(Side(), R"(<effect sel="12"><item brightness="1"/></effect>)");
    kb::SideLightConfig side;
    ASSERT_TRUE(side.Load(Side()));
    EXPECT_EQ(side.GetSel(), 12);
    EXPECT_EQ(side.GetItem(-1), nullptr);  // 12 is accepted but has no record
    ASSERT_TRUE(side.Save());
    expected = "<?xml version=\"1.0\"?>\n<effect sel=\"12\">\n\t<item brightness=\"1\" />\n";
    for (int level : {4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7}) {
        expected += "\t<item brightness=\"" + std::to_string(level) + "\" />\n";
    }
    EXPECT_EQ(Read(Side()), expected + "</effect>\n");
}

TEST_F(LightingConfigTest, SideLevelsKeepTheirLowFourBits) {
    Write(Side(), R"(<effect sel="1"><item brightness="9"/><item brightness="17"/><x brightness="7"/>
                     <item/><item brightness="-1"/></effect>)");
    kb::SideLightConfig config;
    ASSERT_TRUE(config.Load(Side()));
    std::vector<int> levels;
    for (const kb::SideLightItem& item : config.Items()) {
        levels.push_back(item.level);
    }
    // Modes 5 to 11 are not in the file and keep their values.
    EXPECT_EQ(levels, (std::vector<int>{0, 1, 7, 0, 0, 7, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(config.GetItem(12), nullptr);

    ASSERT_TRUE(config.SetSel(4));
    config.GetItem(-1)->level = 2;
    ASSERT_TRUE(config.Save());
    kb::SideLightConfig again;
    ASSERT_TRUE(again.Load(Side()));
    EXPECT_EQ(again.GetSel(), 4);
    EXPECT_EQ(again.GetItem(4)->level, 2);
}

TEST_F(LightingConfigTest, FailedSaveKeepsTheOldFileAndTheSettings) {
    kb::LedEffectConfig config;
    ASSERT_FALSE(config.Load(Led()));
    const std::string before = Read(Led());
    if (!kbtest::FullDisk::Supported()) {
        GTEST_SKIP() << "no file-size limits on this system";
    }
    const kbtest::FullDisk full;
    config.GetItem(0)->brightness = 2;
    EXPECT_FALSE(config.Save());
    EXPECT_NE(config.LastError().find(Led().string()), std::string::npos) << config.LastError();
    // Selecting and resetting report their failed saves too; the change stays in memory for the run.
    EXPECT_FALSE(config.SetSel(5));
    EXPECT_EQ(config.GetSel(), 5);
    EXPECT_EQ(config.GetItem(0)->brightness, 2);
    EXPECT_FALSE(config.Reset());
    EXPECT_EQ(config.GetSel(), kb::LedEffectConfig::kFactorySel);
    EXPECT_FALSE(config.LastError().empty());
    EXPECT_EQ(Read(Led()), before);

    // The factory rewrite of an unreadable file is a save as well.
    kb::SideLightConfig side;
    EXPECT_FALSE(side.Load(Side()));
    EXPECT_FALSE(side.LastError().empty());
    EXPECT_FALSE(fs::exists(Side()));
}

TEST_F(LightingConfigTest, ALoadClearsTheLastError) {
    kb::SideLightConfig side;
    EXPECT_FALSE(side.Save());  // nothing loaded: no file to write
    EXPECT_FALSE(side.LastError().empty());
    EXPECT_FALSE(side.Load(Side()));  // missing: the factory values are written
    EXPECT_EQ(side.LastError(), "");
}

TEST_F(LightingConfigTest, EmptyPathChangesNothing) {
    kb::LedEffectConfig led;
    EXPECT_FALSE(led.SetSel(4));
    EXPECT_FALSE(led.Load(fs::path()));
    EXPECT_EQ(led.GetSel(), 4);
    EXPECT_FALSE(led.Save());
    kb::SideLightConfig side;
    EXPECT_FALSE(side.SetSel(2));
    EXPECT_FALSE(side.Load(fs::path()));
    EXPECT_EQ(side.GetSel(), 2);
}

}  // namespace
