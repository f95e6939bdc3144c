// An in-process stand-in for the keyboard filter, used when KBSTUDIO_VIRTUAL_FILTER=1 (and by tests): it
// answers the three requests as kbfilterd does and reports as held whatever keys it is fed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "kb/device/FilterConnection.h"
#include "kb/device/FilterWire.h"

namespace kb::KbFiltrDevice {

class VirtualFilter {
  public:
    static constexpr const char* kEnv = "KBSTUDIO_VIRTUAL_FILTER";
    static constexpr const char* kPath = "virtual:kbfilterd";

    // Whether the environment asks for the virtual filter ("1").
    static bool Enabled();
    // The process-wide instance that the channel opens when Enabled(); never destroyed.
    static VirtualFilter& Instance();

    struct Request {
        uint32_t code = 0;
        std::vector<std::byte> input;
        filterwire::Status status = filterwire::Status::Ok;
    };

    // A connection to this filter, which must outlive it.
    FilterOpenResult Open();

    // Held keys, in the order they were pressed (the order a poll reports them). At most 256; a key
    // pressed twice stays once.
    void PressKey(uint32_t code);
    void ReleaseKey(uint32_t code);
    void ReleaseAll();
    std::vector<uint32_t> HeldKeys() const;

    uint32_t Mode() const;
    int ReloadCount() const;
    // Every request received except the held-key reads (the monitor sends one per millisecond), in order.
    std::vector<Request> Requests() const;

    // Answers one request: validates code and size like kbfilterd, applies it, fills `output`.
    filterwire::Status Handle(uint32_t code, std::span<const std::byte> input,
                              std::vector<std::byte>& output);

  private:
    mutable std::mutex mutex_;
    std::vector<uint32_t> held_;
    uint32_t mode_ = filterwire::kModeNormal;
    int reloads_ = 0;
    std::vector<Request> requests_;
};

}  // namespace kb::KbFiltrDevice
