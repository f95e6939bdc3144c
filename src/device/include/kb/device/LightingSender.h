// The reports the main window sends to the keyboard: paced lighting reports (at least 100 ms between the
// end of one and the start of the next, effect and side light alike), the unpaced start-up effect report,
// and the firmware version request. The main window owns one sender over its HidDevice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "kb/device/LightingSendQueue.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/Reports.h"
#include "kb/lighting/SideLightConfig.h"

namespace kb {

class HidDevice;

// What the senders need of the keyboard's interface; HidDevice in the program, a fake in tests.
class IHidTransport {
  public:
    virtual ~IHidTransport() = default;
    virtual bool IsOpen() const = 0;
    virtual bool SetFeature(const Report& report) = 0;
    // On success `received` is the number of bytes the reply filled, the report ID included.
    virtual bool GetFeature(Report& report, std::size_t& received) = 0;
    virtual int32_t Write(const Report& report) = 0;  // bytes written, 0 on failure
};

class HidDeviceTransport final : public IHidTransport {
  public:
    explicit HidDeviceTransport(HidDevice& device) : device_(device) {}
    bool IsOpen() const override;
    bool SetFeature(const Report& report) override;
    bool GetFeature(Report& report, std::size_t& received) override;
    int32_t Write(const Report& report) override;

  private:
    HidDevice& device_;
};

// Monotonic milliseconds and a sleep on the calling thread; replaced in tests so pacing needs no waiting.
class PacingClock {
  public:
    virtual ~PacingClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int64_t ms) = 0;
};

class SteadyPacingClock final : public PacingClock {
  public:
    int64_t NowMs() override;
    void SleepMs(int64_t ms) override;
};

// The version as the firmware display writes it after "Firmware": "v1.5", "v2.10"; "Early version" for 0;
// empty for -1 (unknown).
std::string FirmwareVersionText(int32_t version);

class LightingSender {
  public:
    static constexpr int64_t kPacingMs = 100;

    // The configurations and the transport must outlive the sender. The pacing stamp starts at the
    // clock's current time, as the window's start-up stamps it.
    LightingSender(IHidTransport& hid, LedEffectConfig& effects, SideLightConfig& sides,
                   std::shared_ptr<PacingClock> clock = std::make_shared<SteadyPacingClock>());

    // From now on paced reports wait in a queue that `timer` wakes, instead of sleeping on the calling
    // thread (the window's). The timer must outlive the sender; its wake-up calls OnSendTimer.
    void UseSendTimer(ISendTimer& timer);
    void OnSendTimer();
    // Sends the waiting reports now, sleeping out their spacing (before a command that must follow them).
    void FlushPaced();
    // Reports waiting in the queue (0 without one).
    std::size_t PendingReports() const;

    // Paced effect report for effect 0..19 (-1: the configuration's current effect). Any other effect
    // sends nothing, waits for nothing and leaves the stamp. UI thread. With a queue the report is built
    // when it goes out, and replaces an effect report still waiting.
    void SendLedEffect(int effect);
    // Paced side-light report for side mode 0..11 (-1: the current mode); as SendLedEffect otherwise.
    void SendSideLight(int mode);
    // The start-up form of the effect report with the record's four bytes as stored; unpaced, touches no
    // stamp (it runs on the task thread).
    void SendLedEffectRaw(int effect);
    // The start-up effect report, `delayMs` from now, through the queue (directly without one), for the
    // effect stored when it is due: a choice made meanwhile is what the keyboard keeps.
    void PostStartupEffect(int64_t delayMs);
    // Version request and read-back; sets the firmware version on success, keeps it otherwise. Does
    // nothing unless the interface is open.
    void ReadFirmwareVersion();

    int32_t FirmwareVersion() const { return m_firmwareVersion; }
    void SetFirmwareVersion(int32_t version) { m_firmwareVersion = version; }
    int64_t LastLightingSend() const { return queue_ ? queue_->LastSend() : m_lastLightingSend; }
    // Stamps now, so that a paced report within 100 ms waits (window start-up, keyboard arrival).
    void MarkLightingSend();

  private:
    std::optional<Report> EffectReport(int effect) const;
    std::optional<Report> SideLightReport(int mode) const;
    std::optional<Report> StartupEffectReport(int effect) const;
    void SendPaced(int control, LightingSendQueue::Builder build);

    IHidTransport& hid_;
    LedEffectConfig& effects_;
    SideLightConfig& sides_;
    std::shared_ptr<PacingClock> clock_;
    int64_t m_lastLightingSend = 0;  // end of the last paced report, monotonic ms
    int32_t m_firmwareVersion = -1;  // major * 256 + minor; -1 while unknown
    std::unique_ptr<LightingSendQueue> queue_;
};

}  // namespace kb
