// The byte format spoken over the Linux filter daemon's Unix socket (stream socket). The application's
// filter channel is the client, kbfilterd the server. Qt-free and header-only so both sides share it.
//
// Request:  code (u32) | input length (u32) | input bytes
// Reply:    status (u32) | output length (u32) | output bytes
//
// All numbers are little-endian. One reply answers each request, in order; a client may send several
// requests on one connection. The server refuses (status, no other effect) a request of unknown code or
// of an input length the code does not take; it closes the connection after refusing an input length
// above kMaxInputBytes, because it does not read that much.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kb::filterwire {

// The three request codes, with the numbers of the Windows filter driver's control requests.
inline constexpr uint32_t kReadHeldKeys = 0xB600C;       // no input; output: kHeldKeysBytes
inline constexpr uint32_t kReloadAssignments = 0xB601C;  // no input; no output
inline constexpr uint32_t kSetMode = 0xB6024;            // input: one u32 mode; no output

// Read held keys: 256 u32 key codes (set-1 scan code, bit 16 for E0 keys), 0 in unused slots.
inline constexpr std::size_t kHeldKeySlots = 256;
inline constexpr std::size_t kHeldKeysBytes = kHeldKeySlots * 4;

// Set mode values.
inline constexpr uint32_t kModeNoRemap = 0;           // every key passes through unchanged
inline constexpr uint32_t kModeNormal = 1;            // assignments apply
inline constexpr uint32_t kModeCapture = 0xFFFFFFFF;  // keys are held-reported but not delivered
inline constexpr std::size_t kSetModeInputBytes = 4;

inline constexpr std::size_t kHeaderBytes = 8;
inline constexpr std::size_t kMaxInputBytes = 64;  // above this the server hangs up after its reply
inline constexpr std::size_t kMaxOutputBytes = kHeldKeysBytes;

enum class Status : uint32_t {
    Ok = 0,
    UnknownRequest = 1,  // the code is none of the three
    BadSize = 2,         // the input length does not suit the code
    BadValue = 3,        // set mode with a value other than 0, 1 or 0xFFFFFFFF
    Failed = 4,          // reload: the record file could not be used; the previous assignments stay
};

// Where the socket lives: the folder (kDefaultSocketDir, or the environment variable kSocketDirEnv when
// set and not empty, which tests use) followed by kSocketName.
inline constexpr const char* kDefaultSocketDir = "/run/kbfilterd/";
inline constexpr const char* kSocketDirEnv = "KBFILTERD_SOCKET_DIR";
inline constexpr const char* kSocketName = "kbfilterd.sock";

// The input length a request code takes, or nothing for an unknown code.
constexpr std::optional<std::size_t> InputBytesFor(uint32_t code) {
    switch (code) {
        case kReadHeldKeys:
        case kReloadAssignments:
            return std::size_t{0};
        case kSetMode:
            return kSetModeInputBytes;
        default:
            return std::nullopt;
    }
}

// The output length of a successful reply to a request code (0 for unknown codes).
constexpr std::size_t OutputBytesFor(uint32_t code) {
    return code == kReadHeldKeys ? kHeldKeysBytes : 0;
}

inline void PutU32(std::byte* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFFu);
    }
}

inline uint32_t GetU32(const std::byte* in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(in[i]) << (8 * i);
    }
    return value;
}

// Header of a request or a reply: (code, input length) or (status, output length).
using Header = std::array<std::byte, kHeaderBytes>;

inline Header MakeHeader(uint32_t first, uint32_t length) {
    Header h{};
    PutU32(h.data(), first);
    PutU32(h.data() + 4, length);
    return h;
}

struct HeaderFields {
    uint32_t first = 0;  // request code or reply status
    uint32_t length = 0;
};

inline HeaderFields ParseHeader(std::span<const std::byte, kHeaderBytes> bytes) {
    return {GetU32(bytes.data()), GetU32(bytes.data() + 4)};
}

}  // namespace kb::filterwire
