// Key assignments and their record file "record.bin". The file's bytes are shared with the key filter,
// which reads it with the same decoder, so encoder and decoder are pure functions here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kb/common/LoadStatus.h"
#include "kb/common/MacroStep.h"

namespace kb {

// Kinds of assignment (KeyRecord::kind).
inline constexpr int32_t kKindMacro = 0;
inline constexpr int32_t kKindSingleKey = 1;
inline constexpr int32_t kKindMediaKey = 2;
inline constexpr int32_t kKindFunctionKey = 3;

// Stored key codes keep their low 22 bits; in a stored step bit 22 marks a key-down event.
inline constexpr uint32_t kStoredKeyCodeMask = 0x3FFFFF;
inline constexpr uint32_t kStepKeyDownBit = 0x400000;

// What one record can hold: a count byte for the steps and a 16-bit size word.
inline constexpr std::size_t kMaxRecordSteps = 255;
inline constexpr std::size_t kMaxRecordBytes = 65535;
inline constexpr std::size_t kRecordFileTrailerBytes = 6;

struct KeyRecord {
    uint32_t code = 0;            // the reassigned key
    int32_t kind = kKindMacro;    // not stored; a loaded record's kind equals its mode
    int32_t parameter = 0;        // macro: repeat count; single key: target key code; else 1
    int32_t mode = 0;             // 0..255: macro: play-mode index + 2; single key: 1; media/function: 2
    std::u16string keyName;       // display name of the reassigned key
    std::u16string assignedName;  // not stored; empty after loading
    std::vector<MacroStep> steps;

    friend bool operator==(const KeyRecord&, const KeyRecord&) = default;
};

// Whether a record can be stored so that it reads back the same.
enum class RecordFit {
    Fits,
    TooManySteps,    // more than kMaxRecordSteps steps
    TooLarge,        // 14 + 8 * steps + 2 * name length exceeds kMaxRecordBytes
    ModeOutOfRange,  // the mode is stored in one byte
};

// Bytes the record takes in the file: 14 + 8 * steps + 2 * key name length (not capped).
std::size_t RecordByteSize(const KeyRecord& record);
RecordFit CheckRecordFits(const KeyRecord& record);
// English description of a RecordFit, for logs and the command-line tool.
std::string_view DescribeRecordFit(RecordFit fit);

// The whole file for these records: each record, the zero end marker and the checksum. Records with more
// than 255 steps or a mode out of range are left out (callers check first); a key name too long for the
// size word is cut to fit, so that whatever DecodeRecordFile accepts encodes again.
std::string EncodeRecordFile(const std::vector<KeyRecord>& records);

struct RecordFileDecodeResult {
    bool ok = false;
    std::vector<KeyRecord> records;  // empty unless ok
    std::string error;               // why the bytes were rejected; empty when ok
};

// Validates and reads a record file. Total: any bytes give records or a reason, never more.
// Step names come from the key table; assigned names are empty; kind equals mode.
RecordFileDecodeResult DecodeRecordFile(std::string_view bytes);

enum class SetRecordResult {
    Replaced,          // an existing record for the key was replaced in place; the file was not written
    Appended,          // the record was appended and the file written
    AppendedNotSaved,  // the record was appended, but writing the file failed (see LastSaveError)
    RefusedTooManySteps,
    RefusedTooLarge,
    RefusedModeOutOfRange,
};

inline bool IsRefused(SetRecordResult r) {
    return r == SetRecordResult::RefusedTooManySteps || r == SetRecordResult::RefusedTooLarge ||
           r == SetRecordResult::RefusedModeOutOfRange;
}

// Every reassigned key, in the order of first assignment. Used on the UI thread only.
class KeyRecordTable {
  public:
    // The process-wide table, created empty on first use and never destroyed.
    static KeyRecordTable& Instance();

    // Remembers the path and reads the file. On failure (missing, empty, unreadable, invalid) the table
    // is left as it was and the next save replaces the file; a file that exists but cannot be used is
    // first kept aside as NAME.unreadable (see LastLoad()). On success the table holds the file's records.
    bool LoadRecords(const std::filesystem::path& path);

    // Rewrites the whole file at the remembered path atomically. On failure the old file and the table
    // stay as they were. Refuses (without writing) if a record in the table would not fit.
    [[nodiscard]] bool SaveRecords();

    // Replaces the first record with the same key code in place (file not written) or appends the record
    // and writes the file. A record that would not read back the same is refused and nothing changes.
    [[nodiscard]] SetRecordResult SetRecord(const KeyRecord& record);

    // Erases the first record with this key code; does not write the file.
    bool RemoveRecord(uint32_t code);

    // Erases every record, then writes the file; returns the save's result.
    [[nodiscard]] bool ClearRecords();

    // Appends one step to a record's steps.
    static void AddStep(KeyRecord& record, uint32_t code, int32_t state, int32_t delay, std::u16string name);

    const std::vector<KeyRecord>& Records() const { return records_; }
    // The first record for this key code, or nullptr.
    const KeyRecord* FindRecord(uint32_t code) const;
    const std::filesystem::path& Path() const { return path_; }
    // Why the last load or save failed; empty after a success.
    const std::string& LastError() const { return lastError_; }
    // How the last load went: loaded, missing, or unreadable with what is wrong and where it was kept.
    const LoadStatus& LastLoad() const { return lastLoad_; }

  private:
    std::filesystem::path path_;
    std::vector<KeyRecord> records_;
    std::string lastError_;
    LoadStatus lastLoad_;
};

}  // namespace kb
