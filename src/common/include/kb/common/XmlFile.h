// Loading and atomically saving the XML settings files through pugixml.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>

#include "kb/common/AtomicFile.h"

namespace kb {

// Loads with pugixml's default parse options, detecting the encoding unless one is given. False when the
// file is missing or not well-formed; the document is then empty.
bool LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path,
                 pugi::xml_encoding encoding = pugi::encoding_auto);

// Appends an attribute holding the number as decimal text.
void AppendDecimalAttribute(pugi::xml_node node, const char* name, int64_t value);

// Saves with tab indentation in UTF-8 (pugixml's default format flags unless told otherwise), replacing
// the file atomically.
FileWriteResult SaveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& path,
                            unsigned int formatFlags = pugi::format_default);

}  // namespace kb
