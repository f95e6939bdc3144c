#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kb/keys/KeyRecordTable.h"
#include "kb/keys/KeyTable.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

// Appends the end marker and a correct checksum, so a fixture reaches the check it is made for.
std::string WithTrailer(std::string body) {
    uint32_t sum = 0;
    for (char c : body) {
        sum += static_cast<uint8_t>(c);
    }
    body += Bytes({0, 0});
    PutU32(body, 0u - sum);
    return body;
}

uint32_t U32At(const std::string& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | static_cast<uint8_t>(b[at + static_cast<std::size_t>(i)]);
    }
    return v;
}

kb::KeyRecord RecordA() {
    kb::KeyRecord r;
    r.code = 0x1E;
    r.kind = kb::kKindSingleKey;
    r.mode = 1;
    r.parameter = 0x30;
    r.keyName = u"A";
    return r;
}

const std::string kRecordABytes = Bytes({0x10, 0, 1, 0, 0x1E, 0, 0, 0, 0x30, 0, 0, 0, 0x41, 0, 0, 0});

TEST(RecordFileTest, EmptyTableIsSixZeroBytesAndReadsBackEmpty) {
    const std::string file = kb::EncodeRecordFile({});
    EXPECT_EQ(file, std::string(6, '\0'));
    const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(file);
    EXPECT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.records.empty());
}

TEST(RecordFileTest, SingleKeyRecordIsByteExact) {
    const std::string file = kb::EncodeRecordFile({RecordA()});
    EXPECT_EQ(file, kRecordABytes + Bytes({0, 0, 0x60, 0xFF, 0xFF, 0xFF}));

    const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(file);
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0], RecordA());
}

TEST(RecordFileTest, StepsStoreKeyDownAsBit22AndOtherStatesAsKeyUp) {
    kb::KeyRecord r;
    r.code = 0xFFC0003B;  // bits 22 and up are dropped
    r.mode = 3;           // macro, play-mode index 1
    r.kind = kb::kKindMacro;
    r.parameter = -1;
    r.keyName = u"F1";
    r.assignedName = u"group";
    kb::KeyRecordTable::AddStep(r, 0x20, 0, 5, u"ignored");
    kb::KeyRecordTable::AddStep(r, 0x20, 1, 1000, u"");
    kb::KeyRecordTable::AddStep(r, 0x10038, 2, -7, u"");
    kb::KeyRecordTable::AddStep(r, 0x7FFFFF, 0, 0, u"");  // bit 22 of the code itself is not kept

    const std::string file = kb::EncodeRecordFile({r});
    ASSERT_EQ(file.size(), 14u + 8 * 4 + 2 * 2 + 6);
    EXPECT_EQ(static_cast<uint8_t>(file[0]), 50);
    EXPECT_EQ(file[2], 3);
    EXPECT_EQ(file[3], 4);
    EXPECT_EQ(U32At(file, 4), 0x3Bu);
    EXPECT_EQ(U32At(file, 8), 0xFFFFFFFFu);
    EXPECT_EQ(U32At(file, 12), 0x00400020u);
    EXPECT_EQ(U32At(file, 16), 5u);
    EXPECT_EQ(U32At(file, 20), 0x00000020u);
    EXPECT_EQ(U32At(file, 28), 0x00010038u);
    EXPECT_EQ(U32At(file, 32), static_cast<uint32_t>(-7));
    EXPECT_EQ(U32At(file, 36), 0x007FFFFFu);  // bit 22 set again, this time meaning "key down"

    const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(file);
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 1u);
    const kb::KeyRecord& got = back.records[0];
    EXPECT_EQ(got.code, 0x3Bu);
    EXPECT_EQ(got.kind, 3);  // kind reads back as the mode
    EXPECT_EQ(got.mode, 3);
    EXPECT_EQ(got.parameter, -1);
    EXPECT_EQ(got.keyName, u"F1");
    EXPECT_EQ(got.assignedName, u"");
    const std::vector<kb::MacroStep> steps = {
        {0x20, 0, 5, u"D"},
        {0x20, 1, 1000, u"D"},
        {0x10038, 1, -7, u"AltRight"},
        {0x3FFFFF, 0, 0, u""},
    };
    EXPECT_EQ(got.steps, steps);
}

TEST(RecordFileTest, KeyNameIsReadUpToItsZeroUnitAndNeverPastTheRecord) {
    // Record with no room for a name (size 12 + 8n): empty name.
    std::string noName = Bytes({12, 0, 1, 0, 0x1E, 0, 0, 0, 1, 0, 0, 0});
    // Name without its zero unit and with an odd byte left over: read to the record's end.
    std::string unterminated = Bytes({17, 0, 2, 0, 0x30, 0, 0, 0, 1, 0, 0, 0, 'B', 0, 'C', 0, 'x'});
    // Name shorter than the room left: stops at the zero unit.
    std::string early = Bytes({18, 0, 2, 0, 0x2E, 0, 0, 0, 1, 0, 0, 0, 'C', 0, 0, 0, 'Z', 0});
    const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(WithTrailer(noName + unterminated + early));
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[0].keyName, u"");
    EXPECT_EQ(back.records[1].keyName, u"BC");
    EXPECT_EQ(back.records[2].keyName, u"C");
    EXPECT_EQ(back.records[2].mode, 2);
}

TEST(RecordFileTest, ANameRunningToTheEndOfTheLargestRecordSavesAgain) {
    // 65535 bytes: header, then name units to the very end with no zero unit (and an odd byte left).
    std::string record = Bytes({0xFF, 0xFF, 1, 0, 0x1E, 0, 0, 0, 1, 0, 0, 0});
    record.append(65535 - 12, 'n');
    const kb::RecordFileDecodeResult loaded = kb::DecodeRecordFile(WithTrailer(record));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_EQ(loaded.records.size(), 1u);
    ASSERT_EQ(loaded.records[0].keyName.size(), 32761u);

    // Saved, the name loses what the zero unit needs; everything else stays, and the result is stable.
    const std::string saved = kb::EncodeRecordFile(loaded.records);
    const kb::RecordFileDecodeResult again = kb::DecodeRecordFile(saved);
    ASSERT_TRUE(again.ok) << again.error;
    ASSERT_EQ(again.records.size(), 1u);
    kb::KeyRecord expected = loaded.records[0];
    expected.keyName.resize(32760);
    EXPECT_TRUE(again.records[0] == expected);
    EXPECT_EQ(kb::EncodeRecordFile(again.records), saved);

    // A cut never leaves half a surrogate pair.
    kb::KeyRecord pair = loaded.records[0];
    pair.keyName[32759] = 0xD83D;
    pair.keyName[32760] = 0xDE00;
    const kb::RecordFileDecodeResult cut = kb::DecodeRecordFile(kb::EncodeRecordFile({pair}));
    ASSERT_TRUE(cut.ok) << cut.error;
    ASSERT_EQ(cut.records.size(), 1u);
    EXPECT_TRUE(cut.records[0].keyName == pair.keyName.substr(0, 32759));
}

TEST(RecordFileTest, DuplicateKeyCodesInAFileBothLoad) {
    const std::string file = kb::EncodeRecordFile({RecordA(), RecordA()});
    const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(file);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.records.size(), 2u);
}

struct RejectCase {
    const char* what;
    std::string bytes;
    const char* reason;
};

TEST(RecordFileTest, InvalidFilesAreRejectedWithTheirReason) {
    const std::string valid = kb::EncodeRecordFile({RecordA()});
    std::string checksumOff = valid;
    checksumOff[valid.size() - 4] = static_cast<char>(0x61);
    std::string noMarker = kRecordABytes + Bytes({1, 0});
    PutU32(noMarker, 0u - 0x60u - 1u);  // the checksum itself is right
    // Size word 16 but the record claims 1 step (needs at least 20).
    std::string tooSmall = kRecordABytes;
    tooSmall[3] = 1;
    // Size word larger than what remains before the trailer.
    std::string overlong = kRecordABytes;
    overlong[0] = 0x11;
    // Size word 0 before the end: the records stop short of the trailer.
    const std::string stopsEarly = Bytes({0, 0}) + kRecordABytes;

    const RejectCase cases[] = {
        {"1 byte", Bytes({0}), "too short"},
        {"5 bytes", Bytes({0, 0, 0, 0, 0}), "too short"},
        {"no end marker", noMarker, "no end marker"},
        {"checksum off by one", checksumOff, "checksum"},
        {"record too small for its steps", WithTrailer(tooSmall), "too small for its 1 steps"},
        {"record runs into the trailer", WithTrailer(overlong), "record sizes add up to 0 bytes, not the 16"},
        {"size word 0 before the end", WithTrailer(stopsEarly), "record sizes add up to 0 bytes, not the 18"},
        {"trailing byte", WithTrailer(kRecordABytes + "x"), "add up to 16 bytes, not the 17"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.what);
        const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(c.bytes);
        EXPECT_FALSE(back.ok);
        EXPECT_TRUE(back.records.empty());
        EXPECT_NE(back.error.find(c.reason), std::string::npos) << back.error;
    }
    // A record exactly large enough for its steps passes the size rule.
    std::string exact = Bytes({20, 0, 2, 1, 0x1E, 0, 0, 0, 1, 0, 0, 0, 0x1E, 0, 0x40, 0, 9, 0, 0, 0});
    EXPECT_TRUE(kb::DecodeRecordFile(WithTrailer(exact)).ok);
}

kb::KeyRecord RandomRecord(std::mt19937& rng) {
    std::uniform_int_distribution<uint32_t> any;
    kb::KeyRecord r;
    r.code = any(rng) & kb::kStoredKeyCodeMask;
    r.mode = static_cast<int32_t>(any(rng) % 256);
    r.kind = r.mode;
    r.parameter = static_cast<int32_t>(any(rng));
    const std::size_t nameLength = any(rng) % 12;
    for (std::size_t i = 0; i < nameLength; ++i) {
        r.keyName.push_back(static_cast<char16_t>(1 + any(rng) % 0xFFFE));  // no zero unit
    }
    const std::size_t steps = any(rng) % 20;
    for (std::size_t i = 0; i < steps; ++i) {
        const uint32_t code = any(rng) & kb::kStoredKeyCodeMask;
        kb::KeyRecordTable::AddStep(r, code, static_cast<int32_t>(any(rng) % 2),
                                    static_cast<int32_t>(any(rng)), kb::KeyNameForCode(code));
    }
    return r;
}

TEST(RecordFileTest, RecordsRoundTripThroughTheFile) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 50; ++round) {
        std::vector<kb::KeyRecord> records;
        const int count = round % 7;
        for (int i = 0; i < count; ++i) {
            records.push_back(RandomRecord(rng));
        }
        const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(kb::EncodeRecordFile(records));
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.records, records);
    }
}

TEST(RecordFileTest, RecordsThatCannotBeStoredAreLeftOutOfTheFile) {
    kb::KeyRecord tooMany = RecordA();
    tooMany.steps.resize(256);
    kb::KeyRecord badMode = RecordA();
    badMode.mode = 256;
    EXPECT_EQ(kb::EncodeRecordFile({tooMany, RecordA(), badMode}), kb::EncodeRecordFile({RecordA()}));
}

TEST(RecordFileTest, MutatedFilesNeverCrashTheDecoder) {
    std::mt19937 rng(99);
    std::vector<kb::KeyRecord> records;
    for (int i = 0; i < 4; ++i) {
        records.push_back(RandomRecord(rng));
    }
    const std::string valid = kb::EncodeRecordFile(records);
    std::uniform_int_distribution<uint32_t> any;
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = valid;
        switch (round % 4) {
            case 0:  // flip a few bytes
                for (uint32_t k = 0, n = 1 + any(rng) % 4; k < n; ++k) {
                    bytes[any(rng) % bytes.size()] = static_cast<char>(any(rng));
                }
                break;
            case 1:  // cut
                bytes.resize(any(rng) % bytes.size());
                break;
            case 2:  // grow with random bytes
                for (uint32_t k = 0, n = any(rng) % 16; k < n; ++k) {
                    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(any(rng) % (bytes.size() + 1)),
                                 static_cast<char>(any(rng)));
                }
                break;
            default:  // change a byte and fix the checksum, so the structure checks are reached
                bytes[any(rng) % (bytes.size() - 6)] = static_cast<char>(any(rng));
                bytes = WithTrailer(bytes.substr(0, bytes.size() - 6));
                break;
        }
        const kb::RecordFileDecodeResult back = kb::DecodeRecordFile(bytes);
        if (back.ok) {
            ++accepted;
            EXPECT_TRUE(back.error.empty());
            for (const kb::KeyRecord& r : back.records) {
                ASSERT_LE(r.code, kb::kStoredKeyCodeMask);
                ASSERT_LE(r.steps.size(), kb::kMaxRecordSteps);
                ASSERT_LE(r.mode, 255);
            }
            // Whatever loads saves again and loads as the same records (these names are short).
            const kb::RecordFileDecodeResult again = kb::DecodeRecordFile(kb::EncodeRecordFile(back.records));
            ASSERT_TRUE(again.ok) << again.error;
            ASSERT_EQ(again.records, back.records);
        } else {
            ASSERT_TRUE(back.records.empty());
            ASSERT_FALSE(back.error.empty());
        }
    }
    EXPECT_GT(accepted, 0);  // the checksum-fixing mutations do produce readable files
}

}  // namespace
