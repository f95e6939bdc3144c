// The 8-byte reports (report ID 7) that go to the keyboard's vendor HID interface, and the one reply read
// back. Pure builders: sending, locking and pacing belong to the device layer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kb {

inline constexpr std::size_t kReportSize = 8;
using Report = std::array<uint8_t, kReportSize>;

inline constexpr uint8_t kReportId = 0x07;
inline constexpr int kEffectCount = 20;            // main lighting effects 0..19
inline constexpr int kSideModeCount = 12;          // side-light modes 0..11
inline constexpr uint8_t kSideLightTarget = 0x20;  // byte 3 of a side-light report
inline constexpr uint8_t kMaxBrightness = 5;

// Direction code of the effect report for a stored `selection`: 1, 2, 3 give 0, 1, 2; any other value is
// passed through unchanged.
uint8_t DirectionCode(uint8_t selection);

// Effect report: 07 FF FF effect min(brightness,5) speed DirectionCode(selection) 00.
Report BuildEffectReport(uint8_t effect, uint8_t brightness, uint8_t speed, uint8_t selection);

// Start-up form of the effect report: the record's four stored bytes as they are, in stored order.
Report BuildEffectReportRaw(uint8_t effect, uint8_t brightness, uint8_t speed, uint8_t deriction,
                            uint8_t selection);

// Side-light report: 07 FF FF 20 00 00 (level*16 + low nibble of mode) 00. The level keeps its low four
// bits, since byte 6 has only a nibble for it.
Report BuildSideLightReport(uint8_t mode, uint8_t level);

// Version request: 07 F1 00 00 00 00 00 00. The feature read answers in the same buffer.
Report BuildVersionRequest();

// Firmware version from the read-back buffer: byte 1 (major) * 256 + byte 2 (minor), never negative.
int32_t VersionFromReport(const Report& reply);

// Factory reset command, sent as an output report: 07 F0 AA 00 00 00 00 00.
Report BuildResetCommand();

}  // namespace kb
