// Settings of the keyboard's main lighting ("ledeffect.xml"): one record per effect and the chosen effect.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

namespace kb {

// Four bytes in the order the start-up report copies them.
struct LedEffectItem {
    uint8_t brightness = 5;  // 0..5
    uint8_t speed = 0;       // 0..2
    uint8_t deriction = 0;   // 0..1, direction flag
    uint8_t selection = 0;   // 1 left, 2 center, 3 right (effect 1); 0 after a factory reset

    friend bool operator==(const LedEffectItem&, const LedEffectItem&) = default;
};

class LedEffectConfig {
  public:
    static constexpr int kItemCount = 20;
    static constexpr int kFactorySel = 20;  // a selection without a record

    // The process-wide instance; created with the factory values on first use and never destroyed.
    static LedEffectConfig& Instance();

    LedEffectConfig();

    // Remembers the path and reads the file. An empty path returns false and changes nothing. A missing
    // or malformed file gives the factory values, which are written to the file at once; false then.
    // Out-of-range values are corrected silently.
    bool Load(const std::filesystem::path& path);
    // Writes the whole state to the remembered path, replacing the file atomically. On failure the old
    // file and the in-memory state stay as they were.
    bool Save();
    // Factory values, then Save.
    void Reset();

    // Record of effect 0..19; -1 stands for the chosen effect. Nothing (nullptr) otherwise. A caller that
    // changes a record calls Save.
    LedEffectItem* GetItem(int index);
    const LedEffectItem* GetItem(int index) const;

    int GetSel() const { return sel_; }
    // Stores the chosen effect (-1 for no selection), then Save.
    void SetSel(int sel);

    const std::filesystem::path& Path() const { return path_; }
    const std::array<LedEffectItem, kItemCount>& Items() const { return items_; }

  private:
    void SetFactoryValues();

    std::filesystem::path path_;
    std::array<LedEffectItem, kItemCount> items_{};
    int sel_ = kFactorySel;
};

}  // namespace kb
