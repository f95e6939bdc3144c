// The installation's read-only settings ("config.xml"): which keyboard to open, the start-up language and
// the media and function keys offered by the key assignment controls.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kb/common/LoadStatus.h"

namespace kb {

struct MediaKeyItem {
    std::u16string name;  // never empty
    uint32_t code = 0;    // key code the assignment produces
    std::u16string path;  // kept as read; unused
    std::u16string argm;  // kept as read; unused

    friend bool operator==(const MediaKeyItem&, const MediaKeyItem&) = default;
};

struct FunctionKeyItem {
    std::u16string name;                            // may be empty
    std::vector<std::pair<int32_t, int32_t>> keys;  // (key code, delay) in file order

    friend bool operator==(const FunctionKeyItem&, const FunctionKeyItem&) = default;
};

class AppConfig {
  public:
    // The process-wide instance; created with the defaults on first use and never destroyed.
    static AppConfig& Instance();

    AppConfig() = default;

    // Reads the file and replaces every field. A missing or malformed file leaves the defaults (ids 0,
    // English, empty lists). The result tells whether the file was read; the application ignores it.
    bool Load(const std::filesystem::path& path);
    // The same from XML text already in memory (any encoding the XML parser detects).
    bool LoadFromBuffer(std::string_view xml);
    // How the last Load went; a file that is there but unusable says what is wrong with it. The file
    // is never moved: the program does not write it.
    const LoadStatus& LastLoad() const { return lastLoad_; }

    int32_t Vid() const { return vid_; }              // <= 0: any vendor
    int32_t Pid() const { return pid_; }              // 0: any product
    int32_t Interface() const { return interface_; }  // USB interface number; -1: any
    int32_t Subdevice() const { return subdevice_; }  // top-level collection number; -1: any
    int32_t Language() const { return language_; }    // 1: "lang_cn", 0: "lang_en"
    const std::vector<MediaKeyItem>& MediaKeys() const { return mediaKeys_; }
    const std::vector<FunctionKeyItem>& FunctionKeys() const { return functionKeys_; }

  private:
    bool Parse(std::string_view xml, std::string& problem);

    int32_t vid_ = 0;
    int32_t pid_ = 0;
    int32_t interface_ = 0;
    int32_t subdevice_ = 0;
    int32_t language_ = 0;
    std::vector<MediaKeyItem> mediaKeys_;
    std::vector<FunctionKeyItem> functionKeys_;
    LoadStatus lastLoad_;
};

}  // namespace kb
