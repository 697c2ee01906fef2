// Decodes arbitrary bytes as a report record. A record the decoder accepts
// must encode back to exactly the same bytes from its decoded values, and
// its JSON forms must parse.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/json.h"
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const zeph::DecodeResult result = zeph::DecodeRecord(bytes);
    if (!result.Ok()) {
        Check(!result.reason.empty(), "a refusal without a reason");
        return 0;
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

    cf::BkJson::Document array;
    Check(array.Parse(zeph::Utf8ToUtf16(zeph::FieldsJsonArray(record))) == 1,
          "the fields array is not JSON");
    cf::BkJson::Document whole;
    Check(whole.Parse(zeph::Utf8ToUtf16(zeph::RecordToJson(record, true))) == 1,
          "the record JSON is not JSON");
    return 0;
}
