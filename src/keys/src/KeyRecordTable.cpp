#include "kb/keys/KeyRecordTable.h"

#include <algorithm>
#include <utility>

#include "kb/common/AtomicFile.h"
#include "kb/common/NumberText.h"
#include "kb/keys/KeyTable.h"

namespace kb {
namespace {

constexpr std::size_t kRecordHeaderBytes = 12;  // size word, mode, step count, key code, parameter
constexpr std::size_t kStepBytes = 8;

void PutU16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

uint8_t ByteAt(std::string_view b, std::size_t at) {
    return static_cast<uint8_t>(b[at]);
}

uint32_t U16At(std::string_view b, std::size_t at) {
    return static_cast<uint32_t>(ByteAt(b, at)) | static_cast<uint32_t>(ByteAt(b, at + 1)) << 8;
}

uint32_t U32At(std::string_view b, std::size_t at) {
    return U16At(b, at) | U16At(b, at + 2) << 16;
}

std::string Num(std::size_t v) {
    return FormatDecimal(static_cast<int64_t>(v));
}

// Checks that the records tile the bytes before the trailer. Empty on success, else the reason.
std::string CheckRecordTiling(std::string_view bytes) {
    const std::size_t body = bytes.size() - kRecordFileTrailerBytes;
    std::size_t offset = 0;
    std::size_t remaining = body;
    // offset <= body always, so the size word (which may overlap the trailer) lies inside the bytes.
    while (true) {
        const std::size_t size = U16At(bytes, offset);
        if (size == 0 || size > remaining) {
            break;
        }
        const std::size_t steps = ByteAt(bytes, offset + 3);
        if (size < kRecordHeaderBytes + kStepBytes * steps) {
            return "record at offset " + Num(offset) + " is " + Num(size) + " bytes, too small for its " +
                   Num(steps) + " steps (needs at least " + Num(kRecordHeaderBytes + kStepBytes * steps) +
                   ")";
        }
        offset += size;
        remaining -= size;
    }
    if (offset != body) {
        return "record sizes add up to " + Num(offset) + " bytes, not the " + Num(body) +
               " bytes before the trailer";
    }
    return {};
}

KeyRecord DecodeRecord(std::string_view record) {
    KeyRecord r;
    r.mode = ByteAt(record, 2);
    r.kind = r.mode;
    const std::size_t steps = ByteAt(record, 3);
    r.code = U32At(record, 4) & kStoredKeyCodeMask;
    r.parameter = static_cast<int32_t>(U32At(record, 8));
    r.steps.reserve(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        const std::size_t at = kRecordHeaderBytes + kStepBytes * i;
        const uint32_t word = U32At(record, at);
        MacroStep step;
        step.code = word & kStoredKeyCodeMask;
        step.state = (word & kStepKeyDownBit) != 0 ? 0 : 1;
        step.delay = static_cast<int32_t>(U32At(record, at + 4));
        step.name = KeyNameForCode(step.code);
        r.steps.push_back(std::move(step));
    }
    // The name runs to its zero unit but never past the record's end.
    for (std::size_t at = kRecordHeaderBytes + kStepBytes * steps; at + 2 <= record.size(); at += 2) {
        const auto unit = static_cast<char16_t>(U16At(record, at));
        if (unit == 0) {
            break;
        }
        r.keyName.push_back(unit);
    }
    return r;
}

// The key name as the file stores it. A loaded record whose name ran to the record's end without its zero
// unit can be one unit too long for the size word once the zero unit is added: its name (display only)
// is cut to fit, before a split surrogate pair, so that every file that loads saves again.
std::u16string_view StoredKeyName(const KeyRecord& r) {
    const std::size_t fixed = kRecordHeaderBytes + kStepBytes * r.steps.size() + 2;
    const std::size_t room = fixed < kMaxRecordBytes ? (kMaxRecordBytes - fixed) / 2 : 0;
    std::u16string_view name = r.keyName;
    if (name.size() > room) {
        name = name.substr(0, room);
        if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF) {
            name.remove_suffix(1);
        }
    }
    return name;
}

// Whether the file can hold the record at all, with its name cut if need be.
bool Storable(const KeyRecord& r) {
    return r.steps.size() <= kMaxRecordSteps && r.mode >= 0 && r.mode <= 255;
}

}  // namespace

std::size_t RecordByteSize(const KeyRecord& record) {
    return kRecordHeaderBytes + kStepBytes * record.steps.size() + 2 * (record.keyName.size() + 1);
}

RecordFit CheckRecordFits(const KeyRecord& record) {
    if (record.steps.size() > kMaxRecordSteps) {
        return RecordFit::TooManySteps;
    }
    if (RecordByteSize(record) > kMaxRecordBytes) {
        return RecordFit::TooLarge;
    }
    if (record.mode < 0 || record.mode > 255) {
        return RecordFit::ModeOutOfRange;
    }
    return RecordFit::Fits;
}

std::string_view DescribeRecordFit(RecordFit fit) {
    switch (fit) {
        case RecordFit::Fits:
            return "fits";
        case RecordFit::TooManySteps:
            return "an assignment holds at most 255 steps";
        case RecordFit::TooLarge:
            return "an assignment takes at most 65535 bytes in the record file";
        case RecordFit::ModeOutOfRange:
            return "an assignment's mode must be 0 to 255";
    }
    return "unknown";
}

std::string EncodeRecordFile(const std::vector<KeyRecord>& records) {
    std::string out;
    for (const KeyRecord& r : records) {
        if (!Storable(r)) {
            continue;
        }
        const std::u16string_view name = StoredKeyName(r);
        PutU16(out, static_cast<uint32_t>(kRecordHeaderBytes + kStepBytes * r.steps.size() +
                                          2 * (name.size() + 1)));
        out.push_back(static_cast<char>(r.mode & 0xFF));
        out.push_back(static_cast<char>(r.steps.size()));
        PutU32(out, r.code & kStoredKeyCodeMask);
        PutU32(out, static_cast<uint32_t>(r.parameter));
        for (const MacroStep& s : r.steps) {
            PutU32(out, (s.code & kStoredKeyCodeMask) | (s.state == 0 ? kStepKeyDownBit : 0u));
            PutU32(out, static_cast<uint32_t>(s.delay));
        }
        for (char16_t unit : name) {
            PutU16(out, unit);
        }
        PutU16(out, 0);
    }
    uint32_t sum = 0;
    for (char c : out) {
        sum += static_cast<uint8_t>(c);
    }
    PutU16(out, 0);
    PutU32(out, 0u - sum);
    return out;
}

RecordFileDecodeResult DecodeRecordFile(std::string_view bytes) {
    RecordFileDecodeResult result;
    const std::size_t n = bytes.size();
    if (n < kRecordFileTrailerBytes) {
        result.error = "too short: " + Num(n) + " bytes, a record file has at least 6";
        return result;
    }
    if (U16At(bytes, n - 6) != 0) {
        result.error = "no end marker: the 16-bit word at offset " + Num(n - 6) + " is not 0";
        return result;
    }
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 < n; ++i) {
        sum += ByteAt(bytes, i);
    }
    if (sum + U32At(bytes, n - 4) != 0) {
        result.error = "checksum mismatch: the bytes sum to " + FormatDecimal(sum) +
                       " but the stored checksum is " + FormatDecimal(U32At(bytes, n - 4));
        return result;
    }
    if (std::string reason = CheckRecordTiling(bytes); !reason.empty()) {
        result.error = std::move(reason);
        return result;
    }
    for (std::size_t offset = 0; offset < n - kRecordFileTrailerBytes;) {
        const std::size_t size = U16At(bytes, offset);
        result.records.push_back(DecodeRecord(bytes.substr(offset, size)));
        offset += size;
    }
    result.ok = true;
    return result;
}

KeyRecordTable& KeyRecordTable::Instance() {
    // Never destroyed: other objects may still use it while the process ends.
    static KeyRecordTable* const table = new KeyRecordTable();
    return *table;
}

bool KeyRecordTable::LoadRecords(const std::filesystem::path& path) {
    path_ = path;
    const FileReadResult file = ReadWholeFile(path);
    if (!file.ok) {
        lastError_ = file.error;
        lastLoad_ = FailedReadStatus(path, file, true);
        return false;
    }
    if (file.bytes.empty()) {
        lastError_ = "record file " + path.string() + " is empty";
        lastLoad_ = LoadStatus{};  // nothing to keep: as good as no file
        lastLoad_.file = path;
        return false;
    }
    RecordFileDecodeResult decoded = DecodeRecordFile(file.bytes);
    if (!decoded.ok) {
        lastError_ = "record file " + path.string() + " rejected: " + decoded.error;
        // The next save would replace it: the user's assignments are moved aside first.
        lastLoad_ = UnreadableStatus(path, "it is no valid record file (" + decoded.error + ")", true);
        return false;
    }
    records_ = std::move(decoded.records);
    lastError_.clear();
    lastLoad_ = LoadedStatus(path);
    return true;
}

bool KeyRecordTable::SaveRecords() {
    for (const KeyRecord& r : records_) {
        if (!Storable(r)) {
            lastError_ = std::string(DescribeRecordFit(CheckRecordFits(r)));
            return false;
        }
    }
    if (path_.empty()) {
        lastError_ = "no record file path";
        return false;
    }
    const FileWriteResult written = WriteFileAtomically(path_, EncodeRecordFile(records_));
    lastError_ = written.error;
    return written.ok;
}

SetRecordResult KeyRecordTable::SetRecord(const KeyRecord& record) {
    switch (CheckRecordFits(record)) {
        case RecordFit::Fits:
            break;
        case RecordFit::TooManySteps:
            return SetRecordResult::RefusedTooManySteps;
        case RecordFit::TooLarge:
            return SetRecordResult::RefusedTooLarge;
        case RecordFit::ModeOutOfRange:
            return SetRecordResult::RefusedModeOutOfRange;
    }
    const auto same = std::find_if(records_.begin(), records_.end(),
                                   [&](const KeyRecord& r) { return r.code == record.code; });
    if (same != records_.end()) {
        *same = record;
        return SetRecordResult::Replaced;
    }
    records_.push_back(record);
    return SaveRecords() ? SetRecordResult::Appended : SetRecordResult::AppendedNotSaved;
}

bool KeyRecordTable::RemoveRecord(uint32_t code) {
    const auto same =
        std::find_if(records_.begin(), records_.end(), [&](const KeyRecord& r) { return r.code == code; });
    if (same == records_.end()) {
        return false;
    }
    records_.erase(same);
    return true;
}

bool KeyRecordTable::ClearRecords() {
    records_.clear();
    return SaveRecords();
}

void KeyRecordTable::AddStep(KeyRecord& record, uint32_t code, int32_t state, int32_t delay,
                             std::u16string name) {
    record.steps.push_back(MacroStep{code, state, delay, std::move(name)});
}

const KeyRecord* KeyRecordTable::FindRecord(uint32_t code) const {
    for (const KeyRecord& r : records_) {
        if (r.code == code) {
            return &r;
        }
    }
    return nullptr;
}

}  // namespace kb
