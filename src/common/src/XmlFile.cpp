#include "kb/common/XmlFile.h"

#include <sstream>

namespace kb {

bool LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path) {
    const FileReadResult file = ReadWholeFile(path);
    if (!file.ok) {
        doc.reset();
        return false;
    }
    const pugi::xml_parse_result parsed =
        doc.load_buffer(file.bytes.data(), file.bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        doc.reset();
        return false;
    }
    return true;
}

FileWriteResult SaveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& path,
                            unsigned int formatFlags) {
    std::ostringstream out;
    doc.save(out, "\t", formatFlags, pugi::encoding_utf8);
    return WriteFileAtomically(path, out.str());
}

}  // namespace kb
