#include "kb/keys/KeyRecordTable.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <string>

#include "kb/common/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

class KeyRecordTableTest : public ::testing::Test {
  protected:
    void SetUp() override { file_ = dir_ / "record.bin"; }

    std::string FileBytes() const {
        const kb::FileReadResult r = kb::ReadWholeFile(file_);
        return r.ok ? r.bytes : "<unreadable>";
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    static kb::KeyRecord Record(uint32_t code, const std::u16string& name, int32_t parameter = 1) {
        kb::KeyRecord r;
        r.code = code;
        r.kind = kb::kKindSingleKey;
        r.mode = 1;
        r.parameter = parameter;
        r.keyName = name;
        return r;
    }

    kbtest::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
    fs::path file_;
};

TEST_F(KeyRecordTableTest, MissingEmptyOrInvalidFileLoadsNothingButKeepsThePath) {
    kb::KeyRecordTable table;
    EXPECT_FALSE(table.LoadRecords(file_));
    EXPECT_EQ(table.Path(), file_);
    EXPECT_TRUE(table.Records().empty());
    EXPECT_FALSE(table.LastError().empty());

    ASSERT_TRUE(kb::WriteFileAtomically(file_, "").ok);
    EXPECT_FALSE(table.LoadRecords(file_));
    ASSERT_TRUE(kb::WriteFileAtomically(file_, std::string(7, '\0')).ok);  // sizes do not tile
    EXPECT_FALSE(table.LoadRecords(file_));
    EXPECT_NE(table.LastError().find("record sizes"), std::string::npos) << table.LastError();
    EXPECT_TRUE(table.Records().empty());

    // The next save replaces the bad file.
    EXPECT_TRUE(table.SaveRecords());
    EXPECT_EQ(FileBytes(), std::string(6, '\0'));
    EXPECT_TRUE(table.LoadRecords(file_));
    EXPECT_TRUE(table.LastError().empty());
}

TEST_F(KeyRecordTableTest, SetRecordAppendsAndWritesOrReplacesInPlaceWithoutWriting) {
    kb::KeyRecordTable table;
    table.LoadRecords(file_);
    EXPECT_EQ(table.SetRecord(Record(0x1E, u"A")), kb::SetRecordResult::Appended);
    EXPECT_EQ(table.SetRecord(Record(0x30, u"B")), kb::SetRecordResult::Appended);
    EXPECT_EQ(table.SetRecord(Record(0x2E, u"C")), kb::SetRecordResult::Appended);
    const std::string written = FileBytes();
    EXPECT_EQ(written, kb::EncodeRecordFile(table.Records()));

    kb::KeyRecord replacement = Record(0x30, u"B", 0x1E);
    replacement.assignedName = u"A";
    EXPECT_EQ(table.SetRecord(replacement), kb::SetRecordResult::Replaced);
    ASSERT_EQ(table.Records().size(), 3u);
    EXPECT_EQ(table.Records()[1], replacement);
    EXPECT_EQ(FileBytes(), written);  // replacing leaves the write to the caller

    ASSERT_TRUE(table.SaveRecords());
    kb::KeyRecordTable reloaded;
    ASSERT_TRUE(reloaded.LoadRecords(file_));
    ASSERT_EQ(reloaded.Records().size(), 3u);
    EXPECT_EQ(reloaded.Records()[0].keyName, u"A");
    EXPECT_EQ(reloaded.Records()[1].parameter, 0x1E);
    EXPECT_EQ(reloaded.Records()[1].assignedName, u"");
    EXPECT_EQ(reloaded.Records()[2].keyName, u"C");
    ASSERT_NE(reloaded.FindRecord(0x2E), nullptr);
    EXPECT_EQ(reloaded.FindRecord(0x2E)->keyName, u"C");
    EXPECT_EQ(reloaded.FindRecord(0x10), nullptr);
}

TEST_F(KeyRecordTableTest, RemoveClosesTheGapAndClearWritesAnEmptyFile) {
    kb::KeyRecordTable table;
    table.LoadRecords(file_);
    ASSERT_EQ(table.SetRecord(Record(0x1E, u"A")), kb::SetRecordResult::Appended);
    ASSERT_EQ(table.SetRecord(Record(0x30, u"B")), kb::SetRecordResult::Appended);
    ASSERT_EQ(table.SetRecord(Record(0x2E, u"C")), kb::SetRecordResult::Appended);
    const std::string written = FileBytes();

    EXPECT_FALSE(table.RemoveRecord(0x10));
    EXPECT_EQ(table.Records().size(), 3u);
    EXPECT_TRUE(table.RemoveRecord(0x30));
    ASSERT_EQ(table.Records().size(), 2u);
    EXPECT_EQ(table.Records()[0].code, 0x1Eu);
    EXPECT_EQ(table.Records()[1].code, 0x2Eu);
    EXPECT_EQ(FileBytes(), written);  // removing does not write

    EXPECT_TRUE(table.ClearRecords());
    EXPECT_TRUE(table.Records().empty());
    EXPECT_EQ(FileBytes(), std::string(6, '\0'));
}

TEST_F(KeyRecordTableTest, RecordsThatWouldNotReadBackTheSameAreRefused) {
    kb::KeyRecordTable table;
    table.LoadRecords(file_);
    ASSERT_EQ(table.SetRecord(Record(0x1E, u"A")), kb::SetRecordResult::Appended);
    const std::string written = FileBytes();

    kb::KeyRecord manySteps = Record(0x30, u"B");
    manySteps.mode = 2;
    for (int i = 0; i < 256; ++i) {
        kb::KeyRecordTable::AddStep(manySteps, 0x1E, i % 2, 10, u"A");
    }
    kb::KeyRecord longName = Record(0x2E, std::u16string(32761, u'n'));  // 14 + 2 * 32761 = 65536 bytes
    kb::KeyRecord badMode = Record(0x2F, u"V");
    badMode.mode = 256;
    kb::KeyRecord negativeMode = Record(0x2F, u"V");
    negativeMode.mode = -1;
    EXPECT_EQ(kb::CheckRecordFits(longName), kb::RecordFit::TooLarge);

    EXPECT_EQ(table.SetRecord(manySteps), kb::SetRecordResult::RefusedTooManySteps);
    EXPECT_EQ(table.SetRecord(longName), kb::SetRecordResult::RefusedTooLarge);
    EXPECT_EQ(table.SetRecord(badMode), kb::SetRecordResult::RefusedModeOutOfRange);
    EXPECT_EQ(table.SetRecord(negativeMode), kb::SetRecordResult::RefusedModeOutOfRange);
    // A refused replacement leaves the existing record alone.
    kb::KeyRecord replaceTooBig = manySteps;
    replaceTooBig.code = 0x1E;
    EXPECT_TRUE(kb::IsRefused(table.SetRecord(replaceTooBig)));
    ASSERT_EQ(table.Records().size(), 1u);
    EXPECT_EQ(table.Records()[0], Record(0x1E, u"A"));
    EXPECT_EQ(FileBytes(), written);

    // The largest records that fit are stored and read back whole.
    manySteps.steps.pop_back();
    kb::KeyRecord largest = Record(0x2E, std::u16string(32760, u'n'));  // 65534 bytes
    EXPECT_EQ(kb::RecordByteSize(largest), 65534u);
    EXPECT_EQ(table.SetRecord(manySteps), kb::SetRecordResult::Appended);
    EXPECT_EQ(table.SetRecord(largest), kb::SetRecordResult::Appended);
    kb::KeyRecordTable reloaded;
    ASSERT_TRUE(reloaded.LoadRecords(file_)) << reloaded.LastError();
    ASSERT_EQ(reloaded.Records().size(), 3u);
    EXPECT_EQ(reloaded.Records()[1].steps.size(), 255u);
    EXPECT_EQ(reloaded.Records()[2].keyName, largest.keyName);
}

TEST_F(KeyRecordTableTest, AFileWhoseNameRunsToTheRecordsEndLoadsAndSavesAgain) {
    // The largest record, its name without a zero unit: the save used to drop it and then fail for ever.
    std::string body = {'\xFF', '\xFF', 1, 0, 0x1E, 0, 0, 0, 1, 0, 0, 0};
    body.append(65535 - 12, 'n');
    uint32_t sum = 0;
    for (char c : body) {
        sum += static_cast<uint8_t>(c);
    }
    const uint32_t check = 0u - sum;
    std::string file = body + std::string(2, '\0');
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<char>((check >> (8 * i)) & 0xFF));
    }
    ASSERT_TRUE(kb::WriteFileAtomically(file_, file).ok);
    kb::KeyRecordTable table;
    ASSERT_TRUE(table.LoadRecords(file_)) << table.LastError();
    ASSERT_TRUE(table.SaveRecords()) << table.LastError();
    kb::KeyRecordTable reloaded;
    ASSERT_TRUE(reloaded.LoadRecords(file_)) << reloaded.LastError();
    ASSERT_EQ(reloaded.Records().size(), 1u);
    EXPECT_TRUE(reloaded.Records()[0].keyName == std::u16string(32760, u'\x6E6E'));
}

TEST_F(KeyRecordTableTest, AFailedSaveKeepsTheTableAndLeavesNoDebris) {
    // The record file's place is taken by a folder: nothing can be written there.
    fs::create_directories(file_);
    kb::KeyRecordTable table;
    EXPECT_FALSE(table.LoadRecords(file_));
    EXPECT_EQ(table.SetRecord(Record(0x1E, u"A")), kb::SetRecordResult::AppendedNotSaved);
    EXPECT_FALSE(table.LastError().empty());
    ASSERT_EQ(table.Records().size(), 1u);  // the assignment is kept for the next save

    EXPECT_FALSE(table.SaveRecords());
    EXPECT_EQ(table.Records().size(), 1u);
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_EQ(FilesInFolder(), 1u);

    // Once the place is free again, the next save writes everything.
    fs::remove(file_);
    EXPECT_TRUE(table.SaveRecords());
    EXPECT_EQ(FileBytes(), kb::EncodeRecordFile({Record(0x1E, u"A")}));
}

TEST_F(KeyRecordTableTest, ALoadReplacesTheTableOnlyWhenTheFileIsValid) {
    ASSERT_TRUE(kb::WriteFileAtomically(file_, kb::EncodeRecordFile({Record(0x1E, u"A")})).ok);
    kb::KeyRecordTable table;
    ASSERT_TRUE(table.LoadRecords(file_));
    const fs::path broken = dir_ / "broken.bin";
    ASSERT_TRUE(kb::WriteFileAtomically(broken, "\1\2\3").ok);
    EXPECT_FALSE(table.LoadRecords(broken));
    EXPECT_NE(table.LastError().find("too short"), std::string::npos) << table.LastError();
    EXPECT_EQ(table.Records().size(), 1u);
}

TEST_F(KeyRecordTableTest, AnInvalidFileIsKeptAsideBeforeTheNextSaveReplacesIt) {
    std::string damaged = kb::EncodeRecordFile({Record(0x1E, u"A"), Record(0x30, u"B")});
    damaged.back() ^= 1;  // the checksum no longer matches
    kbtest::WriteFile(file_, damaged);
    kb::KeyRecordTable table;
    EXPECT_FALSE(table.LoadRecords(file_));
    ASSERT_TRUE(table.LastLoad().Unreadable());
    EXPECT_NE(table.LastLoad().Message().find("record.bin"), std::string::npos);
    ASSERT_EQ(table.SetRecord(Record(0x1F, u"S")), kb::SetRecordResult::Appended);
    EXPECT_EQ(kbtest::ReadFile(dir_ / "record.bin.unreadable"), damaged);

    // An empty file holds nothing to keep.
    kbtest::WriteFile(file_, "");
    EXPECT_FALSE(table.LoadRecords(file_));
    EXPECT_EQ(table.LastLoad().state, kb::LoadState::Missing);
    EXPECT_EQ(kbtest::ReadFile(dir_ / "record.bin.unreadable"), damaged);
}

// Nothing else in this program touches the process-wide table: it is as start-up finds it.
TEST(KeyRecordTableInstanceTest, StartsEmptyAndWritesNothingBeforeItIsLoaded) {
    kb::KeyRecordTable& table = kb::KeyRecordTable::Instance();
    EXPECT_TRUE(table.Records().empty());
    EXPECT_TRUE(table.Path().empty());
    EXPECT_FALSE(table.ClearRecords());
    EXPECT_EQ(table.LastError(), "no record file path");
}

}  // namespace
