// Loading and atomically saving the XML settings files through pugixml.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>

#include "kb/common/AtomicFile.h"
#include "kb/common/LoadStatus.h"

namespace kb {

// Loads with pugixml's default parse options, detecting the encoding unless one is given. Unless Loaded
// (the file is missing, not a regular file, unreadable or not well-formed) the document is empty; a
// regular file that cannot be used is kept aside first when `keepAside`.
LoadStatus LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path,
                       pugi::xml_encoding encoding = pugi::encoding_auto, bool keepAside = true);

// Why a parse failed, as a clause: "it is not well-formed XML (...at byte N)".
std::string DescribeXmlError(const pugi::xml_parse_result& parsed);

// Appends an attribute holding the number as decimal text.
void AppendDecimalAttribute(pugi::xml_node node, const char* name, int64_t value);

// Saves with tab indentation in UTF-8 (pugixml's default format flags unless told otherwise), replacing
// the file atomically.
FileWriteResult SaveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& path,
                            unsigned int formatFlags = pugi::format_default);

}  // namespace kb
