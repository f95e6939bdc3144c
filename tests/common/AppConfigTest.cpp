#include "kb/common/AppConfig.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Keys = std::vector<std::pair<int32_t, int32_t>>;

namespace {

kb::AppConfig Parse(const std::string& xml) {
    kb::AppConfig config;
    EXPECT_TRUE(config.LoadFromBuffer(xml)) << xml;
    return config;
}

TEST(AppConfigTest, ReadsEveryTopLevelElement) {
    const kb::AppConfig c = Parse(R"(<?xml version="1.0" encoding="utf-8"?>
<combkey><item name="Copy" code="29:0, 46:0"/></combkey>
<usb vid="0x1209" pid="00a5" interface="1" subdevice="-1"/>
<local language="cn"/>
<funkey><item name="Mute" code="65568" path="p" argm="a"/><item name="Lautst&#228;rke" code="1"/></funkey>
<usb vid="1"/>)");
    EXPECT_EQ(c.Vid(), 0x1209);
    EXPECT_EQ(c.Pid(), 0xA5);
    EXPECT_EQ(c.Interface(), 1);
    EXPECT_EQ(c.Subdevice(), -1);
    EXPECT_EQ(c.Language(), 1);
    ASSERT_EQ(c.MediaKeys().size(), 2u);
    EXPECT_EQ(c.MediaKeys()[0], (kb::MediaKeyItem{u"Mute", 65568, u"p", u"a"}));
    EXPECT_EQ(c.MediaKeys()[1].name, u"Lautst\u00e4rke");
    ASSERT_EQ(c.FunctionKeys().size(), 1u);
    EXPECT_EQ(c.FunctionKeys()[0], (kb::FunctionKeyItem{u"Copy", Keys{{29, 0}, {46, 0}}}));
}

TEST(AppConfigTest, OnlyExactlyCnSelectsChinese) {
    const std::pair<const char*, int32_t> cases[] = {
        {"cn", 1}, {"CN", 0}, {"Cn", 0}, {" cn", 0}, {"cn ", 0}, {"en", 0}, {"", 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(Parse(std::string("<local language=\"") + value + "\"/>").Language(), expected) << value;
    }
    EXPECT_EQ(Parse("<local/>").Language(), 0);
}

TEST(AppConfigTest, UsbIdentifiersAreHexadecimalAndClamped) {
    const std::pair<const char*, int32_t> cases[] = {
        {"ffe0", 65504},
        {"0xFFE0", 65504},
        {"0XffE0", 65504},
        {"  -1", -1},
        {"12zz", 0x12},
        {"zz", 0},
        {"", 0},
        {"0x", 0},
        {"FFFFFFFF", INT32_MAX},
        {"-80000001", INT32_MIN},
        {"+7fffffff", INT32_MAX},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(Parse(std::string("<usb vid=\"") + value + "\"/>").Vid(), expected) << value;
    }
    // Missing interface and subdevice mean 0 exactly, not "any".
    const kb::AppConfig c = Parse(R"(<usb vid="1" pid="2"/>)");
    EXPECT_EQ(c.Interface(), 0);
    EXPECT_EQ(c.Subdevice(), 0);
}

TEST(AppConfigTest, MediaKeysWithoutANameAreSkippedWithoutShiftingTheOthers) {
    const kb::AppConfig c = Parse(R"(<funkey>
        <item name="" code="1"/>
        <item code="2"/>
        text without a name
        <other name="A" code="-1"/>
        <item name="B" code="12abc"/>
        <item name="C"/>
        <item name="D" code="99999999999"/>
    </funkey>)");
    ASSERT_EQ(c.MediaKeys().size(), 4u);
    EXPECT_EQ(c.MediaKeys()[0].name, u"A");
    EXPECT_EQ(c.MediaKeys()[0].code, 0xFFFFFFFFu);  // unsigned reading wraps the sign
    EXPECT_EQ(c.MediaKeys()[1].code, 12u);
    EXPECT_EQ(c.MediaKeys()[2].code, 0u);
    EXPECT_EQ(c.MediaKeys()[2].path, u"");
    EXPECT_EQ(c.MediaKeys()[3].code, 0xFFFFFFFFu);
}

TEST(AppConfigTest, FunctionKeyCodes) {
    const std::pair<const char*, Keys> cases[] = {
        {"29:0 , 56:0 , 15:20", {{29, 0}, {56, 0}, {15, 20}}},
        {"42", {{42, 0}}},
        {",,29:5,,", {{29, 5}}},
        {"::7::3:9", {{7, 3}}},
        {":::,1", {{1, 0}}},  // a token of colons only has no key
        {"x:y", {{0, 0}}},
        {"-5:-10", {{-5, -10}}},
        {"29\t:1", {{29, 1}}},
        {"", {}},
        {"  ", {}},
    };
    for (const auto& [code, expected] : cases) {
        const kb::AppConfig c =
            Parse(std::string("<combkey><i name=\"n\" code=\"") + code + "\"/></combkey>");
        ASSERT_EQ(c.FunctionKeys().size(), 1u) << code;
        EXPECT_EQ(c.FunctionKeys()[0].keys, expected) << code;
    }
}

TEST(AppConfigTest, EveryCombkeyChildCountsTextIncluded) {
    const kb::AppConfig c =
        Parse(R"(<combkey><a code="1"/><!-- no item -->some text<b name="B"/><![CDATA[x]]></combkey>)");
    ASSERT_EQ(c.FunctionKeys().size(), 4u);
    EXPECT_EQ(c.FunctionKeys()[0], (kb::FunctionKeyItem{u"", Keys{{1, 0}}}));
    EXPECT_EQ(c.FunctionKeys()[1], (kb::FunctionKeyItem{}));
    EXPECT_EQ(c.FunctionKeys()[2].name, u"B");
    EXPECT_EQ(c.FunctionKeys()[3], (kb::FunctionKeyItem{}));
}

TEST(AppConfigTest, MissingOrMalformedFileGivesTheDefaults) {
    const kbtest::ScratchDir scratch;
    const fs::path& dir = scratch.path();
    kb::AppConfig c;
    ASSERT_TRUE(c.LoadFromBuffer(R"(<usb vid="1"/><local language="cn"/><funkey><i name="a"/></funkey>)"));
    EXPECT_FALSE(c.Load(dir / "config.xml"));
    EXPECT_EQ(c.Vid(), 0);
    EXPECT_EQ(c.Language(), 0);
    EXPECT_TRUE(c.MediaKeys().empty());

    std::ofstream(dir / "config.xml") << "<usb vid=\"1\"><local>";
    EXPECT_FALSE(c.Load(dir / "config.xml"));
    EXPECT_EQ(c.Vid(), 0);

    // UTF-16 with a byte-order mark is detected by itself.
    const std::u16string text = u"\uFEFF<usb vid=\"0x10\"/>";
    std::ofstream(dir / "config.xml", std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    EXPECT_TRUE(c.Load(dir / "config.xml"));
    EXPECT_EQ(c.Vid(), 16);
}

}  // namespace
