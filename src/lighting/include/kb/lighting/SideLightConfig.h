// Settings of the keyboard's side light ("sidemodel.xml"): one level per side mode and the chosen mode.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

namespace kb {

struct SideLightItem {
    // 0..7: the speed for modes 0 to 2, the brightness for modes 3 to 11 (the file calls it "brightness").
    uint8_t level = 7;

    friend bool operator==(const SideLightItem&, const SideLightItem&) = default;
};

class SideLightConfig {
  public:
    static constexpr int kItemCount = 12;
    static constexpr int kMaxSel = 12;  // 12 is accepted but has no record

    // The process-wide instance; created with the factory values on first use and never destroyed.
    static SideLightConfig& Instance();

    SideLightConfig();

    // As LedEffectConfig::Load: empty path -> false, nothing changed; missing or malformed file -> factory
    // values written at once, false; out-of-range values corrected silently.
    bool Load(const std::filesystem::path& path);
    // Atomic replacement of the file; on failure the old file and the in-memory state stay as they were.
    bool Save();
    // Factory values, then Save.
    void Reset();

    // Record of mode 0..11; -1 stands for the chosen mode. Nothing (nullptr) otherwise.
    SideLightItem* GetItem(int index);
    const SideLightItem* GetItem(int index) const;

    int GetSel() const { return sel_; }
    // Stores the chosen mode (-1 for no selection), then Save.
    void SetSel(int sel);

    const std::filesystem::path& Path() const { return path_; }
    const std::array<SideLightItem, kItemCount>& Items() const { return items_; }

  private:
    void SetFactoryValues();

    std::filesystem::path path_;
    std::array<SideLightItem, kItemCount> items_{};
    int sel_ = 0;
};

}  // namespace kb
