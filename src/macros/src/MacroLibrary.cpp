#include "kb/macros/MacroLibrary.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "kb/common/NumberText.h"
#include "kb/common/Utf.h"
#include "kb/common/XmlFile.h"

namespace kb {
namespace {

// Unsigned decimal with the C library's rules; "-1" and "4294967295" both give 0xFFFFFFFF.
uint32_t Number(const pugi::xml_node& node, const char* name) {
    return StrToULong32(std::string_view(node.attribute(name).value()), 10);
}

int32_t SignedNumber(const pugi::xml_node& node, const char* name) {
    return static_cast<int32_t>(Number(node, name));
}

void SetText(pugi::xml_node node, const char* name, const std::u16string& text) {
    node.append_attribute(name).set_value(Utf16ToUtf8(text).c_str());
}

}  // namespace

void MacroGroup::AppendStep(uint32_t code, int32_t state, int32_t delay, std::u16string keyName) {
    steps.push_back(MacroStep{code, state, delay, std::move(keyName)});
}

bool MacroGroup::MoveStepUp(int32_t index) {
    if (index <= 0 || static_cast<std::size_t>(index) >= steps.size()) {
        return false;
    }
    const auto i = static_cast<std::size_t>(index);
    std::swap(steps[i - 1], steps[i]);
    return true;
}

bool MacroGroup::MoveStepDown(int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) + 1 >= steps.size()) {
        return false;
    }
    const auto i = static_cast<std::size_t>(index);
    std::swap(steps[i], steps[i + 1]);
    return true;
}

void MacroGroup::RemoveStep(uint32_t index) {
    if (index < steps.size()) {
        steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void MacroGroup::ClearSteps() {
    steps.clear();
}

MacroLibrary& MacroLibrary::Instance() {
    static MacroLibrary* instance = new MacroLibrary();
    return *instance;
}

bool MacroLibrary::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    // Kept even when the file fails, so that the next save creates it there.
    path_ = path;
    pugi::xml_document doc;
    // An unusable file is moved aside: the next save would otherwise overwrite the user's macros.
    lastLoad_ = LoadXmlFile(doc, path_, pugi::encoding_utf8);
    if (lastLoad_.state != LoadState::Loaded) {
        return false;
    }

    groups.clear();
    for (const pugi::xml_node& groupNode : doc.child("macro").children()) {
        MacroGroup g;
        for (const pugi::xml_node& stepNode : groupNode.children()) {
            g.AppendStep(Number(stepNode, "code"), SignedNumber(stepNode, "state"),
                         SignedNumber(stepNode, "delay"), Utf8ToUtf16(stepNode.attribute("name").value()));
        }
        g.name = Utf8ToUtf16(groupNode.attribute("name").value());
        groups.push_back(std::move(g));
    }

    if (const pugi::xml_node config = doc.child("config")) {
        type = SignedNumber(config, "type");
        repeat = SignedNumber(config, "repeat");
        mode = SignedNumber(config, "mode");
        delay = SignedNumber(config, "delay");
        media = SignedNumber(config, "media");
        function = SignedNumber(config, "function");
        group = SignedNumber(config, "group");
        skcode = SignedNumber(config, "skcode");
        play = SignedNumber(config, "play");
    }
    return true;
}

bool MacroLibrary::Save() {
    if (path_.empty()) {
        lastError_ = "no macro file: nothing was loaded";
        return false;
    }
    pugi::xml_document doc;
    pugi::xml_node config = doc.append_child("config");
    AppendDecimalAttribute(config, "type", type);
    AppendDecimalAttribute(config, "repeat", repeat);
    AppendDecimalAttribute(config, "mode", mode);
    AppendDecimalAttribute(config, "delay", delay);
    AppendDecimalAttribute(config, "media", media);
    AppendDecimalAttribute(config, "function", function);
    AppendDecimalAttribute(config, "group", group);
    AppendDecimalAttribute(config, "skcode", skcode);
    AppendDecimalAttribute(config, "play", play);

    pugi::xml_node macro = doc.append_child("macro");
    for (const MacroGroup& g : groups) {
        pugi::xml_node groupNode = macro.append_child("group");
        SetText(groupNode, "name", g.name);
        for (const MacroStep& step : g.steps) {
            pugi::xml_node item = groupNode.append_child("item");
            AppendDecimalAttribute(item, "code", step.code);
            AppendDecimalAttribute(item, "state", static_cast<uint32_t>(step.state));
            AppendDecimalAttribute(item, "delay", static_cast<uint32_t>(step.delay));
            SetText(item, "name", step.name);
        }
    }
    const FileWriteResult written = SaveXmlFile(doc, path_, pugi::format_indent);
    lastError_ = written.error;
    return written.ok;
}

void MacroLibrary::Reset() {
    type = 0;
    repeat = 1;
    delay = 10;
    mode = 0;
    media = 0;
    function = 0;
    skcode = 0;
    recording = 0;
    group = 0;
    play = 0;
    groups.clear();
}

MacroGroup* MacroLibrary::GroupAt(int32_t index) {
    const int32_t n = index < 0 ? group : index;
    if (n < 0 || static_cast<std::size_t>(n) >= groups.size()) {
        return nullptr;
    }
    return &groups[static_cast<std::size_t>(n)];
}

const MacroGroup* MacroLibrary::GroupAt(int32_t index) const {
    return const_cast<MacroLibrary*>(this)->GroupAt(index);
}

GroupChange MacroLibrary::AddGroup() {
    // The group count is tried first; renamed or removed groups may make it taken, then the next one.
    const auto taken = [this](const std::u16string& name) {
        return std::any_of(groups.begin(), groups.end(), [&](const MacroGroup& g) { return g.name == name; });
    };
    int64_t n = static_cast<int64_t>(groups.size());
    std::u16string name = Utf8ToUtf16("Group " + FormatDecimal(n));
    while (taken(name)) {
        name = Utf8ToUtf16("Group " + FormatDecimal(++n));
    }
    groups.push_back(MacroGroup{std::move(name), {}});
    return SaveChange();
}

GroupChange MacroLibrary::RemoveGroup(uint32_t index) {
    if (index >= groups.size()) {
        return {};
    }
    groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(index));
    return SaveChange();
}

GroupChange MacroLibrary::RenameGroup(uint32_t index, const std::u16string& name) {
    if (index >= groups.size() || groups[index].name == name) {
        return {};
    }
    groups[index].name = name;
    return SaveChange();
}

}  // namespace kb
