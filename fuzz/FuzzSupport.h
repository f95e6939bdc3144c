// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

namespace kbfuzz {

// The bytes of one input as text.
inline std::string_view Text(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process's own for readers that take a path: in memory where there is /dev/shm, so that
// the saves' fsync costs nothing. Removed at exit.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
        std::filesystem::path made = base / ("kbfuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        static const std::filesystem::path removeAtExit = made;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return made;
    }();
    return folder;
}

// Writes the input to a file of the scratch folder and returns its path.
inline std::filesystem::path InputFile(const char* name, const uint8_t* data, std::size_t size) {
    const std::filesystem::path path = ScratchFolder() / name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, f);
        }
        std::fclose(f);
    }
    return path;
}

// Stops the run with a message: a broken property is a finding like a crash.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

}  // namespace kbfuzz
