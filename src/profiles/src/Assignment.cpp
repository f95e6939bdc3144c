#include "kb/profiles/Assignment.h"

namespace kb {

AssignmentChoice ChoiceFromLibrary(const MacroLibrary& library) {
    AssignmentChoice choice;
    choice.type = library.type;
    choice.group = library.group;
    choice.repeat = library.repeat;
    choice.play = library.play;
    choice.media = library.media;
    choice.function = library.function;
    choice.skcode = library.skcode;
    return choice;
}

std::optional<KeyRecord> BuildAssignmentRecord(uint32_t code, const std::u16string& keyName,
                                               const AssignmentChoice& choice, const MacroLibrary& library,
                                               const AppConfig& config, const PictureKeyName& pictureName) {
    KeyRecord record;
    record.code = code;
    record.keyName = keyName;
    switch (choice.type) {
        case kKindMacro: {
            const MacroGroup* group = choice.group >= 0 ? library.GroupAt(choice.group) : nullptr;
            if (group == nullptr) {
                return std::nullopt;
            }
            record.kind = kKindMacro;
            record.parameter = choice.repeat;
            record.mode = choice.play + 2;
            record.assignedName = group->name;
            record.steps = group->steps;
            return record;
        }
        case kKindSingleKey: {
            const std::optional<std::u16string> name =
                pictureName ? pictureName(static_cast<uint32_t>(choice.skcode)) : std::nullopt;
            if (!name) {
                return std::nullopt;
            }
            record.kind = kKindSingleKey;
            record.parameter = choice.skcode;
            record.mode = 1;
            record.assignedName = *name;
            return record;
        }
        case kKindMediaKey: {
            const auto& items = config.MediaKeys();
            if (choice.media < 0 || static_cast<std::size_t>(choice.media) >= items.size()) {
                return std::nullopt;
            }
            const MediaKeyItem& item = items[static_cast<std::size_t>(choice.media)];
            record.kind = kKindMediaKey;
            record.parameter = 1;
            record.mode = 2;
            record.assignedName = item.name;
            record.steps = {MacroStep{item.code, 0, 0, u""}};
            return record;
        }
        case kKindFunctionKey: {
            const auto& items = config.FunctionKeys();
            if (choice.function < 0 || static_cast<std::size_t>(choice.function) >= items.size() ||
                items[static_cast<std::size_t>(choice.function)].keys.empty()) {
                return std::nullopt;
            }
            const FunctionKeyItem& item = items[static_cast<std::size_t>(choice.function)];
            record.kind = kKindFunctionKey;
            record.parameter = 1;
            record.mode = 2;
            record.assignedName = item.name;
            for (const auto& [key, delay] : item.keys) {
                // 32-bit arithmetic as the file stores it: a delay of 2147483647 in "config.xml" wraps
                // instead of overflowing.
                const auto upDelay = static_cast<int32_t>(static_cast<uint32_t>(delay) + 1u);
                record.steps.push_back(MacroStep{static_cast<uint32_t>(key), 1, upDelay, u""});
            }
            for (const auto& [key, delay] : item.keys) {
                record.steps.push_back(MacroStep{static_cast<uint32_t>(key), 0, delay, u""});
            }
            return record;
        }
        default:
            return std::nullopt;
    }
}

std::string DescribeRecordRefusal(const KeyRecord& record) {
    switch (CheckRecordFits(record)) {
        case RecordFit::Fits:
            return {};
        case RecordFit::TooManySteps:
            return "the assignment has " + std::to_string(record.steps.size()) +
                   " steps, but a key can hold at most " + std::to_string(kMaxRecordSteps);
        case RecordFit::TooLarge:
            return "the assignment takes " + std::to_string(RecordByteSize(record)) +
                   " bytes, but a key's record can hold at most " + std::to_string(kMaxRecordBytes);
        case RecordFit::ModeOutOfRange:
            return "the assignment's mode " + std::to_string(record.mode) + " is outside 0 to 255";
    }
    return {};
}

}  // namespace kb
