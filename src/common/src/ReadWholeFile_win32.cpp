#include <cerrno>
#include <cstring>
#include <fstream>

#include "kb/common/AtomicFile.h"

namespace kb {

FileReadResult ReadWholeFile(const std::filesystem::path& source, std::size_t maxBytes) {
    FileReadResult result;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(source, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        result.failure = FileReadFailure::Missing;
        result.error = "cannot open " + source.string() + ": no such file";
        return result;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        result.failure = FileReadFailure::NotRegularFile;
        result.error = source.string() + " is a folder";
        return result;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        result.failure = FileReadFailure::CannotRead;
        result.error = "cannot open " + source.string() + ": " + std::strerror(errno);
        return result;
    }
    std::string data;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        data.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (data.size() > maxBytes) {
            result.failure = FileReadFailure::TooLarge;
            result.error = source.string() + " is too large";
            return result;
        }
    }
    if (in.bad()) {
        result.failure = FileReadFailure::CannotRead;
        result.error = "cannot read " + source.string() + ": " + std::strerror(errno);
        return result;
    }
    result.ok = true;
    result.bytes = std::move(data);
    return result;
}

}  // namespace kb
