#include "kb/common/XmlFile.h"

#include <sstream>
#include <string>

#include "kb/common/NumberText.h"

namespace kb {

std::string DescribeXmlError(const pugi::xml_parse_result& parsed) {
    return std::string("it is not well-formed XML (") + parsed.description() + " at byte " +
           FormatDecimal(static_cast<int64_t>(parsed.offset)) + ")";
}

LoadStatus LoadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path,
                       pugi::xml_encoding encoding, bool keepAside) {
    doc.reset();
    const FileReadResult file = ReadWholeFile(path);
    if (!file.ok) {
        return FailedReadStatus(path, file, keepAside);
    }
    if (file.bytes.empty()) {
        // Nothing the user wrote can be lost: as good as no file.
        LoadStatus status;
        status.file = path;
        return status;
    }
    const pugi::xml_parse_result parsed =
        doc.load_buffer(file.bytes.data(), file.bytes.size(), pugi::parse_default, encoding);
    if (!parsed) {
        doc.reset();
        return UnreadableStatus(path, DescribeXmlError(parsed), keepAside);
    }
    return LoadedStatus(path);
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
