// An in-process stand-in for the keyboard filter, used when KBSTUDIO_VIRTUAL_FILTER=1 (and by tests): it
// answers the requests as kbfilterd does (a refusal says why; a reload reads the handed-over record file
// with the validating reader; modes 0 and capture end with the connection that set them), reports as held
// whatever keys it is fed, and pushes each press and release to its subscribers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
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
        std::filesystem::path handOver;  // the file handed over with it, if any
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
    // The number of records of the last record file a reload accepted (-1: none was handed over yet).
    int LoadedRecords() const;
    // Every request received except the held-key reads (the monitor sends one per millisecond), in order.
    std::vector<Request> Requests() const;

    // Answers one request: validates code and size like kbfilterd, applies it, fills `output` (with the
    // reason when refused). `owner` names the connection (0: none) for the modes that belong to one.
    filterwire::Status Handle(uint32_t code, std::span<const std::byte> input,
                              std::vector<std::byte>& output);
    filterwire::Status Handle(const FilterRequest& request, std::vector<std::byte>& output, uint64_t owner);

    // A connection went away: the modes it set end, as in kbfilterd.
    void ConnectionClosed(uint64_t owner);

    // One subscription's queue of pushed events; `heldNow` receives what is held as it starts.
    class Subscriber;
    std::shared_ptr<Subscriber> Subscribe(std::vector<uint32_t>& heldNow);

  private:
    void Push(uint32_t code, bool pressed);  // with mutex_ held

    mutable std::mutex mutex_;
    std::vector<uint32_t> held_;
    uint32_t mode_ = filterwire::kModeNormal;
    uint64_t modeOwner_ = 0;  // the connection whose mode 0 or capture holds now
    uint64_t nextOwner_ = 0;
    int reloads_ = 0;
    int loadedRecords_ = -1;
    std::vector<Request> requests_;
    std::vector<std::weak_ptr<Subscriber>> subscribers_;
};

}  // namespace kb::KbFiltrDevice
