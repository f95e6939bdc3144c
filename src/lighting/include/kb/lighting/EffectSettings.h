// What the two lighting settings files share: an "effect" root whose "sel" attribute is the chosen record
// and whose children are the records in order, mirrored into the file after every change.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

#include "kb/common/LoadStatus.h"

namespace pugi {
class xml_node;
}

namespace kb {

class EffectSettingsFile {
  public:
    virtual ~EffectSettingsFile() = default;

    // Remembers the path and reads the file. An empty path returns false and changes nothing. A missing
    // or malformed file gives the factory values, which are written to the file at once; false then. A
    // file that exists but cannot be used is first kept aside as NAME.unreadable (see LastLoad()).
    // A "sel" above the highest selection (taken unsigned) reads as 0; records the file lacks keep their
    // values.
    bool Load(const std::filesystem::path& path);
    // Writes the whole state to the remembered path, replacing the file atomically. On failure the old
    // file and the in-memory state stay as they were, and LastError() says why.
    [[nodiscard]] bool Save();
    // Factory values, then Save.
    [[nodiscard]] bool Reset();

    int GetSel() const { return sel_; }
    // Stores the chosen record (-1 for no selection), then Save. The choice stays in memory when the
    // save fails.
    [[nodiscard]] bool SetSel(int sel);

    const std::filesystem::path& Path() const { return path_; }
    // Why the last save failed (the factory rewrite of a Load included); cleared by Load and by a save
    // that succeeds.
    const std::string& LastError() const { return lastError_; }
    // How the last Load went: loaded, missing, or unreadable with what is wrong and where it was kept.
    const LoadStatus& LastLoad() const { return lastLoad_; }

  protected:
    explicit EffectSettingsFile(int maxSel) : maxSel_(maxSel) {}
    EffectSettingsFile(const EffectSettingsFile&) = default;
    EffectSettingsFile& operator=(const EffectSettingsFile&) = default;

    virtual void SetFactoryValues() = 0;
    virtual std::size_t RecordCount() const = 0;
    // Fills record k from the k-th child of the root, whatever its element name.
    virtual void ReadRecord(std::size_t k, const pugi::xml_node& node) = 0;
    // Writes record k's attributes into its new "item" element.
    virtual void WriteRecord(std::size_t k, pugi::xml_node& node) const = 0;

    int sel_ = 0;

  private:
    int maxSel_;
    std::filesystem::path path_;
    std::string lastError_;
    LoadStatus lastLoad_;
};

// The records themselves, `Count` of them.
template <typename Item, std::size_t Count>
class EffectSettings : public EffectSettingsFile {
  public:
    static constexpr int kItemCount = static_cast<int>(Count);

    // Record 0..Count-1; -1 stands for the chosen record. Nothing (nullptr) otherwise. A caller that
    // changes a record calls Save.
    Item* GetItem(int index) {
        const int n = index == -1 ? sel_ : index;
        return n >= 0 && n < kItemCount ? &items_[static_cast<std::size_t>(n)] : nullptr;
    }
    const Item* GetItem(int index) const { return const_cast<EffectSettings*>(this)->GetItem(index); }

    const std::array<Item, Count>& Items() const { return items_; }

  protected:
    using EffectSettingsFile::EffectSettingsFile;

    std::size_t RecordCount() const override { return Count; }

    std::array<Item, Count> items_{};
};

}  // namespace kb
