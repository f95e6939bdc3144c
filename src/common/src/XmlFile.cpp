#include "kb/common/XmlFile.h"

#include <sstream>

#include "kb/common/NumberText.h"

namespace kb {

bool LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path, pugi::xml_encoding encoding) {
    const FileReadResult file = ReadWholeFile(path);
    if (!file.ok) {
        doc.reset();
        return false;
    }
    const pugi::xml_parse_result parsed =
        doc.load_buffer(file.bytes.data(), file.bytes.size(), pugi::parse_default, encoding);
    if (!parsed) {
        doc.reset();
        return false;
    }
    return true;
}

void AppendDecimalAttribute(pugi::xml_node node, const char* name, int64_t value) {
    node.append_attribute(name).set_value(FormatDecimal(value).c_str());
}

FileWriteResult SaveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& path,
                            unsigned int formatFlags) {
    std::ostringstream out;
    doc.save(out, "\t", formatFlags, pugi::encoding_utf8);
    return WriteFileAtomically(path, out.str());
}

}  // namespace kb
