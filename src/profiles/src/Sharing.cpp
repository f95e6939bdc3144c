#include "kb/profiles/Sharing.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "kb/common/NumberText.h"
#include "kb/common/Utf.h"
#include "kb/keys/KeyTable.h"

namespace kb {
namespace {

constexpr const char* kRoot = "kbstudio";

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string StateText(int32_t state) {
    return state == 0 ? "down" : state == 1 ? "up" : std::to_string(state);
}

void AppendSteps(pugi::xml_node parent, const std::vector<MacroStep>& steps) {
    for (const MacroStep& s : steps) {
        pugi::xml_node step = parent.append_child("step");
        step.append_attribute("code").set_value(Hex(s.code).c_str());
        step.append_attribute("name").set_value(Utf16ToUtf8(s.name).c_str());
        step.append_attribute("state").set_value(StateText(s.state).c_str());
        // Unsigned, as "macro.xml" writes delays.
        step.append_attribute("delay").set_value(FormatDecimal(static_cast<uint32_t>(s.delay)).c_str());
    }
}

std::string ToText(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

// The lighting file's root element, when the bytes are XML.
void AppendLighting(pugi::xml_node profile, const char* element, const std::optional<std::string>& bytes) {
    if (!bytes) {
        return;
    }
    pugi::xml_document file;
    if (!file.load_buffer(bytes->data(), bytes->size()) || !file.document_element()) {
        return;  // the program reads such a file as the factory values, which a missing one gives too
    }
    profile.append_child(element).append_copy(file.document_element());
}

// A record played the same steps as the group: the record file keeps codes, down/up and delays.
bool PlaysGroup(const KeyRecord& record, const MacroGroup& group) {
    if (record.steps.size() != group.steps.size() || record.steps.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < group.steps.size(); ++i) {
        const MacroStep& a = record.steps[i];
        const MacroStep& b = group.steps[i];
        if (a.code != (b.code & kStoredKeyCodeMask) || (a.state == 0) != (b.state == 0) ||
            a.delay != b.delay) {
            return false;
        }
    }
    return true;
}

// Why an import is refused; thrown inside the reader only.
struct Refusal {
    std::string why;
};

std::string Where(const pugi::xml_node& node) {
    std::string where = "<" + std::string(node.name());
    if (const pugi::xml_attribute name = node.attribute("name")) {
        where += " name=\"" + std::string(name.value()) + "\"";
    }
    return where + ">";
}

int64_t Number(const pugi::xml_node& node, const char* attribute, int64_t lo, int64_t hi, bool required,
               int64_t fallback = 0) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a) {
        if (required) {
            throw Refusal{Where(node) + " has no " + attribute};
        }
        return fallback;
    }
    const std::optional<int64_t> value = ParseWholeInteger(a.value());
    if (!value || *value < lo || *value > hi) {
        throw Refusal{Where(node) + ": " + attribute + " \"" + a.value() + "\" is not a number from " +
                      std::to_string(lo) + " to " + std::to_string(hi)};
    }
    return *value;
}

void OnlyChildren(const pugi::xml_node& node, std::initializer_list<std::string_view> allowed) {
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_pcdata &&
            std::string_view(child.value()).find_first_not_of(" \t\r\n") == std::string_view::npos) {
            continue;
        }
        if (child.type() == pugi::node_comment) {
            continue;
        }
        if (child.type() != pugi::node_element ||
            std::find(allowed.begin(), allowed.end(), std::string_view(child.name())) == allowed.end()) {
            throw Refusal{
                Where(node) + " holds something unexpected" +
                (child.type() == pugi::node_element ? ": <" + std::string(child.name()) + ">" : "")};
        }
    }
}

std::vector<MacroStep> ReadSteps(const pugi::xml_node& parent) {
    OnlyChildren(parent, {"step"});
    std::vector<MacroStep> steps;
    for (const pugi::xml_node& node : parent.children("step")) {
        MacroStep step;
        const pugi::xml_attribute code = node.attribute("code");
        if (code) {
            step.code = static_cast<uint32_t>(Number(node, "code", 0, kStoredKeyCodeMask, true));
        } else {
            throw Refusal{Where(parent) + ": a step has no key code"};
        }
        const pugi::xml_attribute name = node.attribute("name");
        step.name = name ? Utf8ToUtf16(name.value()) : KeyNameForCode(step.code);
        const std::string_view state = node.attribute("state").value();
        if (state == "down") {
            step.state = 0;
        } else if (state == "up") {
            step.state = 1;
        } else {
            step.state = static_cast<int32_t>(Number(node, "state", INT32_MIN, INT32_MAX, true));
        }
        step.delay = static_cast<int32_t>(static_cast<uint32_t>(Number(node, "delay", 0, UINT32_MAX, true)));
        steps.push_back(std::move(step));
    }
    return steps;
}

uint32_t ReadKeyCode(const pugi::xml_node& node) {
    uint32_t code = 0;
    if (node.attribute("code")) {
        code = static_cast<uint32_t>(Number(node, "code", 0, kStoredKeyCodeMask, true));
    } else if (const pugi::xml_attribute name = node.attribute("name")) {
        const std::u16string wanted = Utf8ToUtf16(name.value());
        for (const KeyTableEntry& row : KeyTableRows()) {
            if (wanted == row.name) {
                code = row.KeyCode();
                break;
            }
        }
    }
    if (FindKeyByCode(code).name[0] == u'\0') {
        throw Refusal{Where(node) + " names no key of the keyboard (code " + Hex(code) + ")"};
    }
    return code;
}

std::optional<std::string> ReadLighting(const pugi::xml_node& profile, const char* element) {
    const pugi::xml_node holder = profile.child(element);
    if (!holder) {
        return std::nullopt;
    }
    OnlyChildren(holder, {"effect"});
    const pugi::xml_node effect = holder.child("effect");
    if (!effect) {
        throw Refusal{"<" + std::string(element) + "> holds no <effect>"};
    }
    pugi::xml_document file;
    file.append_copy(effect);
    return ToText(file);
}

SharedProfile ReadProfile(const pugi::xml_node& node) {
    OnlyChildren(node, {"key", "ledeffect", "sidemodel"});
    SharedProfile profile;
    profile.name = node.attribute("name").value();
    std::set<uint32_t> keys;
    for (const pugi::xml_node& key : node.children("key")) {
        KeyRecord record;
        record.code = ReadKeyCode(key);
        if (!keys.insert(record.code).second) {
            throw Refusal{"the key " + Hex(record.code) + " is assigned twice"};
        }
        record.keyName =
            key.attribute("name") ? Utf8ToUtf16(key.attribute("name").value()) : KeyNameForCode(record.code);
        record.mode = static_cast<int32_t>(Number(key, "mode", 0, 255, true));
        record.kind = record.mode;
        record.parameter = static_cast<int32_t>(
            static_cast<uint32_t>(Number(key, "parameter", INT32_MIN, UINT32_MAX, true)));
        if (record.mode == 1) {
            // A single key's parameter is the key it sends.
            if (record.parameter < 0 ||
                FindKeyByCode(static_cast<uint32_t>(record.parameter)).name[0] == u'\0') {
                throw Refusal{Where(key) + " sends no key of the keyboard (parameter " +
                              Hex(static_cast<uint32_t>(record.parameter)) + ")"};
            }
        }
        record.assignedName = Utf8ToUtf16(key.attribute("macro").value());
        record.steps = ReadSteps(key);
        // What the record file would store: key-down or key-up.
        for (MacroStep& step : record.steps) {
            step.state = step.state == 0 ? 0 : 1;
        }
        if (const RecordFit fit = CheckRecordFits(record); fit != RecordFit::Fits) {
            throw Refusal{"the assignment of " + Where(key) +
                          " does not fit a key's record: " + std::string(DescribeRecordFit(fit))};
        }
        profile.records.push_back(std::move(record));
    }
    for (const char* element : {"ledeffect", "sidemodel"}) {
        int count = 0;
        for (const pugi::xml_node& child : node.children(element)) {
            (void)child;
            ++count;
        }
        if (count > 1) {
            throw Refusal{"the profile holds more than one <" + std::string(element) + ">"};
        }
    }
    profile.ledeffect = ReadLighting(node, "ledeffect");
    profile.sidemodel = ReadLighting(node, "sidemodel");
    return profile;
}

}  // namespace

ProfileFiles SharedProfile::ToFiles() const {
    ProfileFiles files;
    files.bytes[0] = EncodeRecordFile(records);
    files.bytes[1] = ledeffect;
    files.bytes[2] = sidemodel;
    return files;
}

SharedFileReadResult ReadSharedFile(std::string_view bytes) {
    SharedFileReadResult result;
    if (bytes.size() > kMaxShareFileBytes) {
        result.error = "the file is larger than " + std::to_string(kMaxShareFileBytes >> 20) + " MiB";
        return result;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size());
    if (!parsed) {
        result.error = std::string("the file is not well-formed XML: ") + parsed.description() + " at byte " +
                       std::to_string(parsed.offset);
        return result;
    }
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != kRoot) {
        result.error = "the file is not a kbstudio profile or macro file (no <kbstudio> element)";
        return result;
    }
    const pugi::xml_attribute version = root.attribute("version");
    if (!version) {
        result.error = "the file does not state its format version";
        return result;
    }
    if (std::string_view(version.value()) != std::to_string(kShareFormatVersion)) {
        result.error = "the file's format version " + std::string(version.value()) +
                       " is not known (this program reads version " + std::to_string(kShareFormatVersion) +
                       ")";
        return result;
    }
    try {
        OnlyChildren(root, {"profile", "macro"});
        SharedFile file;
        for (const pugi::xml_node& node : root.children("profile")) {
            if (file.profile) {
                throw Refusal{"the file holds more than one profile"};
            }
            file.profile = ReadProfile(node);
        }
        std::set<std::u16string> names;
        for (const pugi::xml_node& node : root.children("macro")) {
            MacroGroup group;
            if (!node.attribute("name")) {
                throw Refusal{"a <macro> has no name"};
            }
            group.name = Utf8ToUtf16(node.attribute("name").value());
            if (!names.insert(group.name).second) {
                throw Refusal{"the macro \"" + std::string(node.attribute("name").value()) +
                              "\" is in the file twice"};
            }
            group.steps = ReadSteps(node);
            file.macros.push_back(std::move(group));
        }
        if (!file.profile && file.macros.empty()) {
            throw Refusal{"the file holds neither a profile nor a macro"};
        }
        result.ok = true;
        result.file = std::move(file);
    } catch (const Refusal& refusal) {
        result.error = refusal.why;
    }
    return result;
}

bool WriteSharedProfile(const std::string& name, const ProfileFiles& files, const MacroLibrary& library,
                        std::string& out, std::string& error) {
    std::vector<KeyRecord> records;
    if (files.bytes[0]) {
        RecordFileDecodeResult decoded = DecodeRecordFile(*files.bytes[0]);
        if (!decoded.ok) {
            error = "the profile's record.bin cannot be read: " + decoded.error;
            return false;
        }
        records = std::move(decoded.records);
    }
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(kRoot);
    root.append_attribute("version").set_value(kShareFormatVersion);
    pugi::xml_node profile = root.append_child("profile");
    profile.append_attribute("name").set_value(name.c_str());
    std::vector<const MacroGroup*> used;
    for (const KeyRecord& record : records) {
        pugi::xml_node key = profile.append_child("key");
        key.append_attribute("code").set_value(Hex(record.code).c_str());
        key.append_attribute("name").set_value(Utf16ToUtf8(record.keyName).c_str());
        key.append_attribute("mode").set_value(record.mode);
        key.append_attribute("parameter").set_value(record.parameter);
        if (record.mode >= 2) {
            for (const MacroGroup& group : library.groups) {
                if (PlaysGroup(record, group)) {
                    key.append_attribute("macro").set_value(Utf16ToUtf8(group.name).c_str());
                    if (std::find(used.begin(), used.end(), &group) == used.end()) {
                        used.push_back(&group);
                    }
                    break;
                }
            }
        }
        AppendSteps(key, record.steps);
    }
    AppendLighting(profile, "ledeffect", files.bytes[1]);
    AppendLighting(profile, "sidemodel", files.bytes[2]);
    std::set<std::u16string> written;
    for (const MacroGroup* group : used) {
        if (!written.insert(group->name).second) {
            continue;  // two groups of one name: the file keeps names unique
        }
        pugi::xml_node macro = root.append_child("macro");
        macro.append_attribute("name").set_value(Utf16ToUtf8(group->name).c_str());
        AppendSteps(macro, group->steps);
    }
    out = ToText(doc);
    return true;
}

std::string WriteSharedMacro(const MacroGroup& group) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(kRoot);
    root.append_attribute("version").set_value(kShareFormatVersion);
    pugi::xml_node macro = root.append_child("macro");
    macro.append_attribute("name").set_value(Utf16ToUtf8(group.name).c_str());
    AppendSteps(macro, group.steps);
    return ToText(doc);
}

std::string CheckMacroConflicts(const MacroLibrary& library, const std::vector<MacroGroup>& macros,
                                bool replace) {
    if (replace) {
        return {};
    }
    for (const MacroGroup& incoming : macros) {
        for (const MacroGroup& group : library.groups) {
            if (group.name == incoming.name && group.steps != incoming.steps) {
                return "a macro named \"" + Utf16ToUtf8(incoming.name) + "\" exists already with other steps";
            }
        }
    }
    return {};
}

std::size_t MergeMacros(MacroLibrary& library, const std::vector<MacroGroup>& macros) {
    std::size_t changed = 0;
    for (const MacroGroup& incoming : macros) {
        auto same = std::find_if(library.groups.begin(), library.groups.end(),
                                 [&](const MacroGroup& g) { return g.name == incoming.name; });
        if (same == library.groups.end()) {
            library.groups.push_back(incoming);
            ++changed;
        } else if (same->steps != incoming.steps) {
            same->steps = incoming.steps;
            ++changed;
        }
    }
    return changed;
}

}  // namespace kb
