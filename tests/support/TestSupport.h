// Small fixtures shared by the test suites.
#pragma once

#include <filesystem>
#include <string>

namespace kbtest {

// A fresh, empty folder for one test, removed again when the object goes away.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& file, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& file);

// Makes every write beyond a few bytes fail, as on a full disk, for the lifetime of the object; unlike
// folder permissions this works whatever rights the tests run with. Only where the system has file-size
// limits: tests skip when Supported() is false.
class FullDisk {
  public:
    static bool Supported();
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

  private:
    unsigned long long savedLimit_ = 0;
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace kbtest
