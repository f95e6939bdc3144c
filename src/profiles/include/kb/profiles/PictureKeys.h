// The keyboard picture's keys by code and name, read from its coordinate file without the widget, for
// tools that name keys as the picture does (kbctl).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

struct PictureKey {
    uint32_t code = 0;
    std::u16string name;
};

// The "key" elements of a "positions" document in file order; nothing for anything else. Total.
std::vector<PictureKey> ParsePictureKeys(std::string_view xml);

// The coordinate file the main window's picture uses, inside the UI package folder.
std::filesystem::path PictureKeysFile(const std::filesystem::path& packageFolder);

class PictureKeys {
  public:
    PictureKeys() = default;
    explicit PictureKeys(std::vector<PictureKey> keys) : keys_(std::move(keys)) {}

    bool Empty() const { return keys_.empty(); }
    // The picture's name of the key (the first with that code), as the picture's GetButton gives it.
    std::optional<std::u16string> NameOf(uint32_t code) const;
    // The key named so: exact first, then ignoring ASCII case.
    std::optional<PictureKey> Find(std::u16string_view name) const;
    const std::vector<PictureKey>& Keys() const { return keys_; }

  private:
    std::vector<PictureKey> keys_;
};

}  // namespace kb
