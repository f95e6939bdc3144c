#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

#include "engine/LinuxKeyMap.h"
#include "kb/keys/KeyTable.h"

namespace kb::filterd {
namespace {

TEST(LinuxKeyMap, EveryKeyTableRowMapsBothWays) {
    for (const KeyTableEntry& row : KeyTableRows()) {
        const uint16_t key = LinuxKeyForCode(row.KeyCode());
        ASSERT_NE(key, 0) << "row " << row.KeyCode();
        EXPECT_EQ(CodeForLinuxKey(key), row.KeyCode()) << "row " << std::hex << row.KeyCode();
    }
}

TEST(LinuxKeyMap, FollowsTheKeyTableConventionAndMediaCodes) {
    struct Pair {
        uint32_t code;
        uint16_t key;
    };
    for (const Pair p :
         {Pair{0x45, KEY_PAUSE}, Pair{0x10045, KEY_NUMLOCK}, Pair{0x10037, KEY_SYSRQ},
          Pair{0x10036, KEY_RIGHTSHIFT}, Pair{0x10030, KEY_VOLUMEUP}, Pair{0x1002E, KEY_VOLUMEDOWN},
          Pair{0x10020, KEY_MUTE}, Pair{0x10022, KEY_PLAYPAUSE}, Pair{0x10019, KEY_NEXTSONG},
          Pair{0x10010, KEY_PREVIOUSSONG}, Pair{0x1E, KEY_A}, Pair{0x1001C, KEY_KPENTER}}) {
        EXPECT_EQ(LinuxKeyForCode(p.code), p.key) << std::hex << p.code;
        EXPECT_EQ(CodeForLinuxKey(p.key), p.code) << p.key;
    }
    EXPECT_EQ(LinuxKeyForCode(0x36), KEY_RIGHTSHIFT);  // the PC's code, accepted one way
}

TEST(LinuxKeyMap, UnknownCodesAndKeysGiveZero) {
    for (uint32_t code : {0u, 0x7Fu, 0x10001u, 0x400000u | 0x1Eu, 0x20000u | 0x1Eu, 0x11Eu, 0xFFFFFFFFu}) {
        EXPECT_EQ(LinuxKeyForCode(code), 0) << std::hex << code;
    }
    for (uint16_t key :
         {uint16_t{0}, uint16_t{KEY_FN}, uint16_t{BTN_LEFT}, uint16_t{0x300}, uint16_t{0xFFFF}}) {
        EXPECT_EQ(CodeForLinuxKey(key), 0u) << key;
    }
}

}  // namespace
}  // namespace kb::filterd
