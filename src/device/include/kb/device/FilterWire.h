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
//
// A refusal (status other than Ok) may carry up to kMaxReasonBytes of UTF-8 text saying why ("refused
// mode 0x5", "cannot read record.bin: …") as its output; a client prints it or ignores it.
//
// Reload may carry one open file descriptor as SCM_RIGHTS ancillary data on the request's header bytes:
// the client's record file. The server checks and reads that descriptor and keeps a copy of its own; it
// never opens a path a client names. A reload without a descriptor reloads the server's own copy.
//
// Subscribe: after its Ok reply, the server pushes one event frame for every physical key press and
// release on that connection, as it happens, until the connection closes or unsubscribes. Event frames
// may come between a request and its reply: a subscribed client skips frames whose first word is
// kKeyEventTag when waiting for a reply.
//
// Modes 0 and capture belong to the connection that set them: when it closes, the server returns to mode 1.
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
// Ours, not the Windows driver's: input one u32, kSubscribeOn or kSubscribeOff; no output.
inline constexpr uint32_t kSubscribeKeys = 0xB6030;
inline constexpr uint32_t kSubscribeOff = 0;
inline constexpr uint32_t kSubscribeOn = 1;
inline constexpr std::size_t kSubscribeInputBytes = 4;

// A pushed key event: kKeyEventTag | kKeyEventBytes | code (u32: set-1 scan code, bit 16 for E0 keys)
// | state (u32: 1 pressed, 0 released) | time (u64: CLOCK_MONOTONIC microseconds).
inline constexpr uint32_t kKeyEventTag = 0x4B455645;  // never a Status value
inline constexpr std::size_t kKeyEventBytes = 16;

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
inline constexpr std::size_t kMaxReasonBytes = 256;  // a refusal's text, at most

enum class Status : uint32_t {
    Ok = 0,
    UnknownRequest = 1,  // the code is none of the three
    BadSize = 2,         // the input length does not suit the code
    BadValue = 3,        // set mode with a value other than 0, 1 or 0xFFFFFFFF
    Failed = 4,          // reload: the record file could not be used; the previous assignments stay
};

struct KeyEvent {
    uint32_t code = 0;  // set-1 scan code, bit 16 for E0 keys
    bool pressed = false;
    uint64_t timeUs = 0;  // CLOCK_MONOTONIC, microseconds
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
        case kSubscribeKeys:
            return kSubscribeInputBytes;
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

// A whole event frame (header and payload).
using KeyEventFrame = std::array<std::byte, kHeaderBytes + kKeyEventBytes>;

inline KeyEventFrame MakeKeyEventFrame(const KeyEvent& e) {
    KeyEventFrame f{};
    PutU32(f.data(), kKeyEventTag);
    PutU32(f.data() + 4, static_cast<uint32_t>(kKeyEventBytes));
    PutU32(f.data() + 8, e.code);
    PutU32(f.data() + 12, e.pressed ? 1u : 0u);
    PutU32(f.data() + 16, static_cast<uint32_t>(e.timeUs & 0xFFFFFFFFu));
    PutU32(f.data() + 20, static_cast<uint32_t>(e.timeUs >> 32));
    return f;
}

// The event of a frame's payload (kKeyEventBytes bytes after a header tagged kKeyEventTag).
inline KeyEvent ParseKeyEvent(std::span<const std::byte, kKeyEventBytes> payload) {
    const uint64_t low = GetU32(payload.data() + 8);
    const uint64_t high = GetU32(payload.data() + 12);
    return {GetU32(payload.data()), GetU32(payload.data() + 4) != 0, low | (high << 32)};
}

}  // namespace kb::filterwire
