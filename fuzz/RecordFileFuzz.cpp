// record.bin: any bytes decode to records or a reason; what decodes saves again and loads as the same
// records (a name that ran to the record's end may lose what its zero unit needs), and saving is stable.
#include "FuzzSupport.h"
#include "kb/keys/KeyRecordTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const kb::RecordFileDecodeResult first = kb::DecodeRecordFile(kbfuzz::Text(data, size));
    if (!first.ok) {
        if (!first.records.empty() || first.error.empty()) {
            kbfuzz::Fail("a rejected file gave records or no reason");
        }
        return 0;
    }
    const std::string saved = kb::EncodeRecordFile(first.records);
    const kb::RecordFileDecodeResult again = kb::DecodeRecordFile(saved);
    if (!again.ok || again.records.size() != first.records.size()) {
        kbfuzz::Fail("a loaded file does not save and load again whole");
    }
    for (std::size_t i = 0; i < first.records.size(); ++i) {
        kb::KeyRecord expected = first.records[i];
        const std::u16string& name = again.records[i].keyName;
        if (name.size() > expected.keyName.size() || expected.keyName.compare(0, name.size(), name) != 0) {
            kbfuzz::Fail("a saved key name is not the loaded one or its beginning");
        }
        expected.keyName = name;
        if (!(again.records[i] == expected)) {
            kbfuzz::Fail("a record changed on its way through the file");
        }
    }
    if (kb::EncodeRecordFile(again.records) != saved) {
        kbfuzz::Fail("saving the loaded records again gives other bytes");
    }
    return 0;
}
