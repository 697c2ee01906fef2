// Decodes arbitrary bytes as a report record, as they are and with their
// header's length and CRC made to fit. A record the decoder accepts must
// encode back to exactly the same bytes from its decoded values, and its
// JSON forms must parse.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/crc32.h"
#include "base/strings.h"
#include "report/install_report.h"
#include "report/record_decoder.h"
#include "report/serialize.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "report_record_fuzz: %s\n", what);
        std::abort();
    }
}

// Strict JSON (jsoncpp: texts may hold any character, NUL included).
bool IsJson(const std::string& text) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

// Writes decoded values back through the block builder.
void Encode(zeph::KInstallSerialize& block, uint16_t table,
            const std::vector<zeph::FieldValue>& fields) {
    block.SetTableNumber(table);
    for (const auto& f : fields) {
        switch (f.kind) {
            case zeph::FieldKind::U8:
                block.WriteU8(static_cast<int32_t>(f.number));
                break;
            case zeph::FieldKind::U16:
                block.WriteU16(static_cast<int32_t>(f.number));
                break;
            case zeph::FieldKind::I32:
                block.WriteI32(static_cast<int32_t>(f.number));
                break;
            case zeph::FieldKind::Text:
                block.WriteText(zeph::Utf8ToUtf16(f.text));
                break;
            case zeph::FieldKind::Bit:
                block.AddBit(f.number != 0);
                break;
            case zeph::FieldKind::Id16: {
                const auto id = zeph::IdentifierTo16Bytes(zeph::Utf8ToUtf16(f.text));
                const bool zero = f.text == std::string(32, '0');
                Check(zero || id != std::array<uint8_t, 16>{}, "id16 text does not read back");
                block.WriteId16(id.data());
                break;
            }
        }
    }
    block.FinishBlock();
}

}  // namespace

void CheckRecord(std::span<const uint8_t> bytes) {
    const zeph::DecodeResult result = zeph::DecodeRecord(bytes);
    if (!result.Ok()) {
        Check(!result.reason.empty(), "a refusal without a reason");
        return;
    }
    const auto& record = result.record;
    zeph::KInstallSerialize publicBlock;
    Encode(publicBlock, 4, record.publicFields);
    zeph::KInstallSerialize specific;
    Encode(specific, record.tableNumber, record.fields);
    const auto again = zeph::BuildRecordBytes(publicBlock, specific);
    Check(again.has_value(), "a decoded record does not encode");
    Check(std::vector<uint8_t>(bytes.begin(), bytes.end()) == *again,
          "a decoded record encodes to other bytes");

    Check(IsJson(zeph::FieldsJsonArray(record)), "the fields array is not JSON");
    Check(IsJson(zeph::RecordToJson(record, true)), "the record JSON is not JSON");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckRecord({data, size});
    // The same bytes with a header that fits them, so that the blocks
    // themselves are read rather than stopped at the length or CRC.
    if (size >= zeph::kRecordHeaderBytes && size <= zeph::kMaxRecordBytes) {
        std::vector<uint8_t> framed(data, data + size);
        framed[0] = static_cast<uint8_t>(size);
        framed[1] = static_cast<uint8_t>(size >> 8);
        const uint32_t crc = zeph::Crc32(framed.data() + 10, size - 10);
        for (int i = 0; i < 4; ++i) {
            framed[6 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
        }
        CheckRecord(framed);
    }
    return 0;
}
