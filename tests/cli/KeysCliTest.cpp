#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include "TestSupport.h"

#include <filesystem>
#include <string>

#include "KbctlRunner.h"
#include "kb/common/AtomicFile.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class KeysCliTest : public ::testing::Test {
  protected:
    void WriteRecordFile(const std::string& bytes) const {
        ASSERT_TRUE(kb::WriteFileAtomically(dir_ / "record.bin", bytes).ok);
    }

    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

TEST(KeysCli, KeyPrintsTheRowTheLookupFinds) {
    const kbtest::KbctlResult alt = kbtest::RunKbctl({"key", "0x10038"});
    ASSERT_EQ(alt.exitCode, 0) << alt.err;
    EXPECT_EQ(json::parse(alt.out), json::parse(R"({"code": 65592, "name": "AltRight", "extended": 1,
                                                   "vk": 165, "scan": 56, "usage": 230})"));

    const kbtest::KbctlResult quote = kbtest::RunKbctl({"key", "40"});
    ASSERT_EQ(quote.exitCode, 0) << quote.err;
    EXPECT_EQ(json::parse(quote.out)["name"], "\u2018");

    // A code without a row is an error, not an empty name.
    const kbtest::KbctlResult none = kbtest::RunKbctl({"key", "0x36"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "kbctl key: no key has the code 0x36\n");

    for (const char* bad : {"Esc", "-1", "0x100000000"}) {
        SCOPED_TRACE(bad);
        const kbtest::KbctlResult r = kbtest::RunKbctl({"key", bad});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("CODE"), std::string::npos) << r.err;
    }
}

TEST_F(KeysCliTest, RecordsListsAValidFile) {
    // F1 (0x3B) plays "Pad 0" down, then up; then the byte-exact single-key record for "A".
    const std::string macro = Bytes({0x22, 0, 3,    2, 0x3B, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,  //
                                     0x52, 0, 0x40, 0, 5,    0, 0, 0,                          //
                                     0x52, 0, 0,    0, 0xE8, 3, 0, 0,                          //
                                     'F',  0, '1',  0, 0,    0});
    const std::string single = Bytes({0x10, 0, 1, 0, 0x1E, 0, 0, 0, 0x30, 0, 0, 0, 0x41, 0, 0, 0});
    uint32_t sum = 0;
    for (char c : macro + single) {
        sum += static_cast<uint8_t>(c);
    }
    std::string file = macro + single + Bytes({0, 0});
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<char>(((0u - sum) >> (8 * i)) & 0xFF));
    }
    WriteRecordFile(file);

    const kbtest::KbctlResult r = kbtest::RunKbctl({"--dir", dir_.string(), "records"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"([
        {"key": 59, "name": "F1", "mode": 3, "parameter": -1, "targetName": null, "steps": [
            {"code": 82, "state": 0, "delay": 5, "name": "Pad 0"},
            {"code": 82, "state": 1, "delay": 1000, "name": "Pad 0"}]},
        {"key": 30, "name": "A", "mode": 1, "parameter": 48, "targetName": "B", "steps": []}
    ])"));

    // An explicit file argument wins over the folder.
    fs::rename(dir_ / "record.bin", dir_ / "other.bin");
    const kbtest::KbctlResult other = kbtest::RunKbctl({"records", (dir_ / "other.bin").string()});
    ASSERT_EQ(other.exitCode, 0) << other.err;
    EXPECT_EQ(other.out, r.out);

    // A fresh set-up has no record.bin yet: nothing assigned, not an error.
    const kbtest::KbctlResult fresh = kbtest::RunKbctl({"--dir", dir_.string(), "records"});
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_EQ(fresh.out, "[]\n");
    EXPECT_EQ(fresh.err, "");
    // ... but a folder that is not there is a mistake, not a fresh set-up.
    for (const char* command : {"records", "macros"}) {
        const kbtest::KbctlResult typo = kbtest::RunKbctl({"--dir", (dir_ / "absent").string(), command});
        EXPECT_EQ(typo.exitCode, 1) << command;
        EXPECT_EQ(typo.err,
                  "kbctl " + std::string(command) + ": no such folder: " + (dir_ / "absent").string() + "\n");
    }
}

TEST_F(KeysCliTest, RecordsOfAnEmptyTableIsAnEmptyList) {
    WriteRecordFile(std::string(6, '\0'));
    const kbtest::KbctlResult r = kbtest::RunKbctl({"--dir", dir_.string(), "records"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::array());
}

TEST_F(KeysCliTest, RecordsRejectsBrokenOrMissingFilesWithTheReason) {
    WriteRecordFile(
        Bytes({0x10, 0, 1, 0, 0x1E, 0, 0, 0, 0x30, 0, 0, 0, 0x41, 0, 0, 0, 0, 0, 0x61, 0xFF, 0xFF, 0xFF}));
    const kbtest::KbctlResult checksum = kbtest::RunKbctl({"--dir", dir_.string(), "records"});
    EXPECT_EQ(checksum.exitCode, 1);
    EXPECT_TRUE(checksum.out.empty());
    EXPECT_NE(checksum.err.find("checksum"), std::string::npos) << checksum.err;

    WriteRecordFile(Bytes({0, 0, 0}));
    const kbtest::KbctlResult shortFile = kbtest::RunKbctl({"--dir", dir_.string(), "records"});
    EXPECT_EQ(shortFile.exitCode, 1);
    EXPECT_NE(shortFile.err.find("too short"), std::string::npos) << shortFile.err;

    const kbtest::KbctlResult missing = kbtest::RunKbctl({"records", (dir_ / "absent.bin").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("absent.bin"), std::string::npos) << missing.err;
}

}  // namespace
