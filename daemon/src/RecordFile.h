// Reads the record file for the daemon: refuses a file that others than its owner and root could have
// written, then decodes it with the same validated reader as the application.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kb/keys/KeyRecordTable.h"

namespace kb::filterd {

struct RecordFileLoad {
    bool ok = false;
    bool missing = false;  // the file does not exist
    std::vector<KeyRecord> records;
    std::string error;  // why nothing was loaded
};

RecordFileLoad LoadRecordFile(const std::filesystem::path& path);

}  // namespace kb::filterd
