#include "kb/device/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kb {
namespace {

using Bytes = std::vector<uint8_t>;
using Tlc = HidTopLevelCollection;

struct DescriptorCase {
    const char* name;
    Bytes bytes;
    std::vector<Tlc> expected;
};

const Bytes kKeyboard = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};
const Bytes kVendor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x07, 0x75, 0x08, 0x95,
                       0x07, 0x09, 0x02, 0xB1, 0x02, 0x95, 0x04, 0x09, 0x03, 0x91, 0x02, 0xC0};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class ParseReportDescriptorTest : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(ParseReportDescriptorTest, FindsTopLevelCollections) {
    EXPECT_EQ(ParseReportDescriptor(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseReportDescriptorTest,
    ::testing::Values(
        DescriptorCase{"Empty", {}, {}},
        // 8 bits of input, no report IDs: one data byte plus the report-ID byte.
        DescriptorCase{"Keyboard", kKeyboard, {Tlc{0x01, 0x06, 2, 0, 0}}},
        // Feature 7 bytes + ID; output 4 bytes + ID.
        DescriptorCase{"Vendor", kVendor, {Tlc{0xFF00, 0x01, 0, 5, 8}}},
        DescriptorCase{"TwoTopLevel",
                       Join({kKeyboard, kVendor}),
                       {Tlc{0x01, 0x06, 2, 0, 0}, Tlc{0xFF00, 0x01, 0, 5, 8}}},
        DescriptorCase{"ThreeTopLevel",
                       Join({kVendor, kKeyboard, kKeyboard}),
                       {Tlc{0xFF00, 0x01, 0, 5, 8}, Tlc{0x01, 0x06, 2, 0, 0}, Tlc{0x01, 0x06, 2, 0, 0}}},
        // A logical collection inside an application collection is no top-level collection; its data
        // counts for the outer one. 12 bits round up to 2 bytes.
        DescriptorCase{"Nested",
                       {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0xA1, 0x02, 0x75, 0x0C, 0x95, 0x01,
                        0x81, 0x00, 0xC0, 0xC0},
                       {Tlc{0x0C, 0x01, 3, 0, 0}}},
        // Reports 1 (3 bytes) and 2 (7 bytes) in one collection: the longer one counts.
        DescriptorCase{"LongestReport",
                       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x85, 0x01,
                        0x95, 0x03, 0xB1, 0x02, 0x85, 0x02, 0x95, 0x07, 0xB1, 0x02, 0xC0},
                       {Tlc{0xFF00, 0x01, 0, 0, 8}}},
        // A four-byte usage carries its own page.
        DescriptorCase{"ExtendedUsage",
                       {0x05, 0x0C, 0x0B, 0x06, 0x00, 0x01, 0x00, 0xA1, 0x01, 0xC0},
                       {Tlc{0x01, 0x06, 0, 0, 0}}},
        // Push and Pop restore the usage page.
        DescriptorCase{"PushPop",
                       Join({{0x05, 0x01, 0xA4, 0x05, 0x0C, 0xB4, 0x09, 0x06, 0xA1, 0x01, 0xC0}}),
                       {Tlc{0x01, 0x06, 0, 0, 0}}},
        DescriptorCase{
            "LongItemSkipped", Join({{0xFE, 0x02, 0x10, 0xAA, 0xBB}, kKeyboard}), {Tlc{0x01, 0x06, 2, 0, 0}}},
        DescriptorCase{"StrayEndCollection", Join({{0xC0, 0xC0}, kKeyboard}), {Tlc{0x01, 0x06, 2, 0, 0}}},
        DescriptorCase{"DataOutsideCollections",
                       Join({{0x75, 0x08, 0x95, 0x02, 0x81, 0x02}, kKeyboard}),
                       {Tlc{0x01, 0x06, 2, 0, 0}}},
        DescriptorCase{
            "TruncatedItem", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75}, {Tlc{0x01, 0x06, 0, 0, 0}}},
        DescriptorCase{"TruncatedLongItem", {0xFE, 0x09, 0x00, 0x01}, {}},
        // Sizes that overflow 16 bits are capped rather than wrapped.
        DescriptorCase{"HugeReport",
                       {0x09, 0x01, 0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF,
                        0x81, 0x02, 0x81, 0x02, 0xC0},
                       {Tlc{0, 0x01, 0xFFFF, 0, 0}}}),
    [](const ::testing::TestParamInfo<DescriptorCase>& c) { return std::string(c.param.name); });

TEST(ParseReportDescriptor, IsTotalOnArbitraryBytes) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes(length(random));
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(byte(random));
        }
        // Push without end must not grow without bound either.
        if (round % 100 == 0) {
            bytes.insert(bytes.begin(), 5000, 0xA4);
        }
        const std::vector<Tlc> found = ParseReportDescriptor(bytes);
        EXPECT_LE(found.size(), bytes.size());
    }
}

}  // namespace
}  // namespace kb
