// Loading and atomically saving the XML settings files through pugixml.
#pragma once

#include <pugixml.hpp>

#include <filesystem>

#include "kb/common/AtomicFile.h"

namespace kb {

// Loads with pugixml's default parse options and encoding detection. False when the file is missing or
// not well-formed; the document is then empty.
bool LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path);

// Saves with tab indentation in UTF-8 (pugixml's default format flags unless told otherwise), replacing
// the file atomically.
FileWriteResult SaveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& path,
                            unsigned int formatFlags = pugi::format_default);

}  // namespace kb
