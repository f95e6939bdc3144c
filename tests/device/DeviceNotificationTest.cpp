#include "kb/device/DeviceNotification.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kb/device/HidPath.h"

namespace kb {
namespace {

// A device-interface broadcast record as the system lays it out (little-endian), described by setters.
struct RecordSpec {
    RecordSpec() = default;
    RecordSpec& Path(std::u16string value) {
        path = std::move(value);
        return *this;
    }
    RecordSpec& Type(uint32_t value) {
        type = value;
        return *this;
    }
    RecordSpec& Unterminated() {
        terminated = false;
        return *this;
    }
    RecordSpec& SizeField(uint32_t value) {
        sizeField = value;
        return *this;
    }
    RecordSpec& Trailing(std::size_t bytes) {
        trailingBytes = bytes;
        return *this;
    }

    std::u16string path =
        u"\\\\?\\HID#VID_1209&PID_A1E5&MI_01&COL02#7&1a2b3c4d&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    uint32_t type = kDeviceInterfaceRecordType;
    bool terminated = true;
    std::optional<uint32_t> sizeField;  // default: the record's true size
    std::size_t trailingBytes = 0;      // bytes after the record that the size field does not cover
};

void PutU32(std::vector<std::byte>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFFu));
    }
}

std::vector<std::byte> MakeRecord(const RecordSpec& spec) {
    std::vector<std::byte> bytes;
    PutU32(bytes, 0);  // size, patched below
    PutU32(bytes, spec.type);
    PutU32(bytes, 0);  // reserved
    for (int i = 0; i < 16; ++i) {
        bytes.push_back(static_cast<std::byte>(0xA0 + i));  // class GUID: not looked at
    }
    std::u16string text = spec.path;
    if (spec.terminated) {
        text.push_back(u'\0');
    }
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::byte>(unit & 0xFF));
        bytes.push_back(static_cast<std::byte>(unit >> 8));
    }
    const uint32_t size = spec.sizeField.value_or(static_cast<uint32_t>(bytes.size()));
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::byte>((size >> (8 * i)) & 0xFFu);
    }
    bytes.insert(bytes.end(), spec.trailingBytes, std::byte{0x41});
    return bytes;
}

TEST(DeviceNotificationTest, ArrivalAndRemovalGiveTheKindAndThePath) {
    const RecordSpec spec;
    const std::vector<std::byte> record = MakeRecord(spec);
    const auto arrival = ParseDeviceInterfaceRecord(kDeviceArrivalEvent, record);
    ASSERT_TRUE(arrival.has_value());
    EXPECT_EQ(*arrival, (DeviceEvent{DeviceEventKind::Arrival, spec.path}));
    const auto removal = ParseDeviceInterfaceRecord(kDeviceRemoveCompleteEvent, record);
    ASSERT_TRUE(removal.has_value());
    EXPECT_EQ(*removal, (DeviceEvent{DeviceEventKind::Removal, spec.path}));

    // The system delivers the path in upper case; it identifies the same interface.
    HidPathIds ids;
    ASSERT_TRUE(ParseHidPath(arrival->path, ids));
    EXPECT_EQ(ids, (HidPathIds{0x1209, 0xA1E5, 1, 2}));
}

TEST(DeviceNotificationTest, OtherEventsAndMalformedRecordsAreIgnored) {
    struct Case {
        const char* name;
        uint32_t event;
        RecordSpec spec;
        std::size_t truncateTo;  // hand the parser only this many bytes
    };
    const Case cases[] = {
        {"query remove", 0x8001, RecordSpec(), SIZE_MAX},
        {"devnodes changed", 0x0007, RecordSpec(), SIZE_MAX},
        {"volume record", kDeviceArrivalEvent, RecordSpec().Type(2), SIZE_MAX},
        {"port record", kDeviceRemoveCompleteEvent, RecordSpec().Type(3), SIZE_MAX},
        {"size beyond the buffer", kDeviceArrivalEvent, RecordSpec().SizeField(4096), SIZE_MAX},
        {"size smaller than the header", kDeviceArrivalEvent, RecordSpec().SizeField(27), SIZE_MAX},
        {"size zero", kDeviceArrivalEvent, RecordSpec().SizeField(0), SIZE_MAX},
        {"no terminator", kDeviceArrivalEvent, RecordSpec().Unterminated(), SIZE_MAX},
        {"terminator outside the size", kDeviceArrivalEvent,
         RecordSpec().Path(u"HID#VID_1209&PID_A1E5").SizeField(28 + 2 * 21), SIZE_MAX},
        {"shorter than the header", kDeviceArrivalEvent, RecordSpec(), 11},
        {"empty buffer", kDeviceArrivalEvent, RecordSpec(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::byte> record = MakeRecord(c.spec);
        if (c.truncateTo < record.size()) {
            record.resize(c.truncateTo);
        }
        EXPECT_FALSE(ParseDeviceInterfaceRecord(c.event, record).has_value());
    }
}

TEST(DeviceNotificationTest, PathEndsAtItsTerminatorWithinTheRecord) {
    struct Case {
        const char* name;
        RecordSpec spec;
        std::u16string expected;
    };
    const Case cases[] = {
        {"empty path", RecordSpec().Path(u""), u""},
        {"bytes after the record", RecordSpec().Path(u"HID#VID_FFFF&PID_0C5B").Trailing(7),
         u"HID#VID_FFFF&PID_0C5B"},
        {"odd padding inside the size", RecordSpec().Path(u"ab").SizeField(28 + 6 + 1).Trailing(1), u"ab"},
        {"characters beyond ASCII", RecordSpec().Path(u"usb#\u00e9\u4e2d\U0001F600"),
         u"usb#\u00e9\u4e2d\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto event = ParseDeviceInterfaceRecord(kDeviceArrivalEvent, MakeRecord(c.spec));
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(event->path, c.expected);
    }
}

TEST(DeviceNotificationTest, MessageTakesTheRecordExtentFromItsSizeField) {
    const RecordSpec spec = RecordSpec().Trailing(5);
    const std::vector<std::byte> record = MakeRecord(spec);
    const auto event = ParseDeviceChangeMessage(kDeviceRemoveCompleteEvent, record.data());
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(*event, (DeviceEvent{DeviceEventKind::Removal, spec.path}));

    EXPECT_FALSE(ParseDeviceChangeMessage(kDeviceArrivalEvent, nullptr).has_value());
    // Events other than arrival and removal carry other data (often none): it is not read.
    EXPECT_FALSE(ParseDeviceChangeMessage(0x0007, nullptr).has_value());
    EXPECT_FALSE(ParseDeviceChangeMessage(0x8001, record.data()).has_value());
    // A record of another type is not read past its header.
    const std::vector<std::byte> volume = MakeRecord(RecordSpec().Type(2));
    EXPECT_FALSE(ParseDeviceChangeMessage(kDeviceArrivalEvent, volume.data()).has_value());
}

}  // namespace
}  // namespace kb
