#include "kb/keys/KeyTable.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

namespace {

std::size_t RowIndex(const kb::KeyTableEntry& row) {
    const auto rows = kb::KeyTableRows();
    return static_cast<std::size_t>(&row - rows.data());
}

TEST(KeyTableTest, RowsWithUnusualNamesAndColumnsAreExact) {
    const auto rows = kb::KeyTableRows();
    ASSERT_EQ(rows.size(), 120u);
    EXPECT_EQ(std::u16string(rows[16].name), u"~");
    EXPECT_EQ(std::u16string(rows[50].name), u"\\");
    EXPECT_EQ(std::u16string(rows[69].name), std::u16string(1, char16_t{0x2018}));
    EXPECT_EQ(std::u16string(rows[34].name), u"Pad /");

    // Spot checks across all five columns, first, middle and last rows.
    const kb::KeyTableEntry& esc = rows[0];
    EXPECT_EQ(esc.extended, 0u);
    EXPECT_EQ(esc.virtualKey, 0x1Bu);
    EXPECT_EQ(esc.scanCode, 0x01u);
    EXPECT_EQ(esc.hidUsage, 0x29u);
    const kb::KeyTableEntry& k56 = rows[116];
    EXPECT_EQ(std::u16string(k56.name), u"K56");
    EXPECT_EQ(k56.virtualKey, 0xC1u);
    EXPECT_EQ(k56.scanCode, 0x73u);
    EXPECT_EQ(k56.hidUsage, 0x87u);
    const kb::KeyTableEntry& app = rows[119];
    EXPECT_EQ(std::u16string(app.name), u"App");
    EXPECT_EQ(app.extended, 1u);
    EXPECT_EQ(app.hidUsage, 0xE3u);
    EXPECT_EQ(rows[117].virtualKey, 0x10u);
    EXPECT_EQ(rows[118].virtualKey, 0x11u);

    const kb::KeyTableEntry& empty = kb::EmptyKeyTableEntry();
    EXPECT_EQ(empty.extended + empty.virtualKey + empty.scanCode + empty.hidUsage, 0u);
    EXPECT_EQ(std::u16string(empty.name), u"");
    EXPECT_EQ(&empty, rows.data() + rows.size());  // the row right after the table
}

struct LookupCase {
    uint32_t code;
    const char16_t* name;
    int row;  // -1: the empty row
};

TEST(KeyTableTest, LookupFindsTheFirstMatchingRowOrTheEmptyRow) {
    const LookupCase cases[] = {
        {0x38, u"AltLeft", 93},
        {0x10038, u"AltRight", 95},
        {0x52, u"Pad 0", 102},  // never "Insert/Pad 0" (row 104)
        {0x10052, u"Insert", 30},
        {0x45, u"Pause", 15},
        {0x10045, u"NumLock", 33},
        {0x1C, u"Enter", 70},
        {0x1001C, u"Pad Enter", 90},
        {0x37, u"Pad *", 35},
        {0x10037, u"PrintScreen", 13},
        {0x35, u"/", 84},
        {0x10035, u"Pad /", 34},
        {0x1D, u"CtrlLeft", 91},  // not row 118
        {0x1001D, u"CtrlRight", 98},
        {0x2A, u"ShiftLeft", 74},  // not row 117
        {0x10036, u"ShiftRight", 85},
        {0x1005D, u"App", 97},  // HID usage 0x65, not row 119
        {0x73, u"K56", 116},
        {0x36, u"", -1},
        {0, u"", -1},
        {0x74, u"", -1},
        {0x400001, u"", -1},  // only bit 16 is cleared before comparing
        {0x10001, u"", -1},   // Esc is not extended
        {0xFFFFFFFF, u"", -1},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.code);
        const kb::KeyTableEntry& row = kb::FindKeyByCode(c.code);
        if (c.row < 0) {
            EXPECT_EQ(&row, &kb::EmptyKeyTableEntry());
        } else {
            EXPECT_EQ(RowIndex(row), static_cast<std::size_t>(c.row));
        }
        EXPECT_EQ(kb::KeyNameForCode(c.code), c.name);
    }
    EXPECT_EQ(kb::FindKeyByCode(0x1005D).hidUsage, 0x65u);
}

TEST(KeyTableTest, ExactlyRows0To103And115And116AreReachableByCode) {
    std::set<std::size_t> reachable;
    for (const kb::KeyTableEntry& row : kb::KeyTableRows()) {
        reachable.insert(RowIndex(kb::FindKeyByCode(row.KeyCode())));
    }
    std::set<std::size_t> expected;
    for (std::size_t i = 0; i <= 103; ++i) {
        expected.insert(i);
    }
    expected.insert(115);
    expected.insert(116);
    EXPECT_EQ(reachable, expected);
}

}  // namespace
