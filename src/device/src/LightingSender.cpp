#include "kb/device/LightingSender.h"

#include <chrono>
#include <thread>

#include "kb/device/HidDevice.h"

namespace kb {

bool HidDeviceTransport::IsOpen() const {
    return device_.IsOpen();
}
bool HidDeviceTransport::SetFeature(const Report& report) {
    return device_.SetFeature(report);
}
bool HidDeviceTransport::GetFeature(Report& report, std::size_t& received) {
    return device_.GetFeature(report, &received);
}
int32_t HidDeviceTransport::Write(const Report& report) {
    return device_.Write(report);
}

int64_t SteadyPacingClock::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyPacingClock::SleepMs(int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string FirmwareVersionText(int32_t version) {
    if (version < 0) {
        return {};
    }
    if (version == 0) {
        return "Early version";
    }
    return "v" + std::to_string(version / 256) + "." + std::to_string(version % 256);
}

LightingSender::LightingSender(IHidTransport& hid, LedEffectConfig& effects, SideLightConfig& sides,
                               std::shared_ptr<PacingClock> clock)
    : hid_(hid), effects_(effects), sides_(sides), clock_(std::move(clock)) {
    m_lastLightingSend = clock_->NowMs();
}

void LightingSender::UseSendTimer(ISendTimer& timer) {
    queue_ = std::make_unique<LightingSendQueue>(hid_, *clock_, timer);
}

void LightingSender::OnSendTimer() {
    if (queue_) {
        queue_->OnTimer();
    }
}

void LightingSender::FlushPaced() {
    if (queue_) {
        queue_->Flush();
    }
}

std::size_t LightingSender::PendingReports() const {
    return queue_ ? queue_->Pending() : 0;
}

void LightingSender::MarkLightingSend() {
    m_lastLightingSend = clock_->NowMs();
    if (queue_) {
        queue_->MarkSend();
    }
}

// -1 stands for the configuration's current entry; the report then names that entry, the one whose
// record it carries.
std::optional<Report> LightingSender::EffectReport(int effect) const {
    const int index = effect == -1 ? effects_.GetSel() : effect;
    const LedEffectItem* item = index >= 0 && index < kEffectCount ? effects_.GetItem(index) : nullptr;
    if (item == nullptr) {
        return std::nullopt;
    }
    return BuildEffectReport(static_cast<uint8_t>(index), item->brightness, item->speed, item->selection);
}

std::optional<Report> LightingSender::SideLightReport(int mode) const {
    const int index = mode == -1 ? sides_.GetSel() : mode;
    const SideLightItem* item = index >= 0 && index < kSideModeCount ? sides_.GetItem(index) : nullptr;
    if (item == nullptr) {
        return std::nullopt;
    }
    return BuildSideLightReport(static_cast<uint8_t>(index), item->level);
}

std::optional<Report> LightingSender::StartupEffectReport(int effect) const {
    const int index = effect == -1 ? effects_.GetSel() : effect;
    const LedEffectItem* item = index >= 0 && index < kEffectCount ? effects_.GetItem(index) : nullptr;
    if (item == nullptr) {
        return std::nullopt;
    }
    return BuildEffectReportRaw(static_cast<uint8_t>(index), item->brightness, item->speed, item->deriction,
                                item->selection);
}

void LightingSender::SendLedEffect(int effect) {
    SendPaced(LightingSendQueue::kEffect, [this, effect] { return EffectReport(effect); });
}

void LightingSender::SendSideLight(int mode) {
    SendPaced(LightingSendQueue::kSideLight, [this, mode] { return SideLightReport(mode); });
}

void LightingSender::SendLedEffectRaw(int effect) {
    if (const std::optional<Report> report = StartupEffectReport(effect)) {
        hid_.SetFeature(*report);
    }
}

void LightingSender::PostStartupEffect(int64_t delayMs) {
    if (queue_) {
        queue_->Post(
            LightingSendQueue::kStartupEffect, [this] { return StartupEffectReport(-1); }, delayMs);
    } else {
        SendLedEffectRaw(-1);
    }
}

void LightingSender::SendPaced(int control, LightingSendQueue::Builder build) {
    if (queue_) {
        queue_->Post(control, std::move(build));
        return;
    }
    const std::optional<Report> report = build();
    if (!report) {
        return;
    }
    const int64_t elapsed = clock_->NowMs() - m_lastLightingSend;
    if (elapsed < kPacingMs) {
        clock_->SleepMs(kPacingMs - elapsed);
    }
    hid_.SetFeature(*report);  // a failed report is not repeated; the next change sends again
    m_lastLightingSend = clock_->NowMs();
}

void LightingSender::ReadFirmwareVersion() {
    if (!hid_.IsOpen()) {
        return;
    }
    Report buffer = BuildVersionRequest();
    std::size_t received = 0;
    if (!hid_.SetFeature(buffer) || !hid_.GetFeature(buffer, received)) {
        return;
    }
    // A reply without both version bytes, or of another report, would leave the request's own bytes to
    // read as a version: it counts as a failed read.
    if (received < 3 || buffer[0] != kReportId) {
        return;
    }
    m_firmwareVersion = VersionFromReport(buffer);
}

}  // namespace kb
