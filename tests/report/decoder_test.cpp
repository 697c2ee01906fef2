// The decoder's refusals and its JSON forms.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/crc32.h"
#include "base/format.h"
#include "report/install_report.h"
#include "report/record_decoder.h"
#include "report/report_objects.h"
#include "tests/report/report_test_util.h"

namespace zeph {
namespace {

using namespace ZEdozureRare;

const std::u16string kIdex = u"0123456789ABCDEF0123456789ABCDEF";

std::vector<uint8_t> UiRecord() {
    KUIInfoReport r;
    r.cidText = u"222";
    r.tidText = u"716";
    r.kidText = u"1";
    r.idex = kIdex;
    r.flags = {true, false, true, true};
    r.kind = 3;
    r.action = 4;
    r.value = 2;
    return *r.Record(1600000000);
}

// Sets the length and CRC of the header to fit the bytes again, so that a
// later check is the one that fails.
void Reframe(std::vector<uint8_t>& record) {
    record[0] = static_cast<uint8_t>(record.size());
    record[1] = static_cast<uint8_t>(record.size() >> 8);
    const uint32_t crc = Crc32(record.data() + 10, record.size() - 10);
    for (int i = 0; i < 4; ++i) {
        record[6 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
    }
}

// Offsets in UiRecord: header 10, public block 81, then 5010's table number.
constexpr size_t kSecondBlock = 10 + 81;

TEST(DecodeRecord, RefusesMalformedRecordsWithTheReason) {
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
        DecodeError error;
        const char* reasonPart;
    } cases[] = {
        {"shorter than the header", [](auto& r) { r.resize(9); }, DecodeError::TooShort, "9 bytes"},
        {"length one more than the bytes", [](auto& r) { r[0]++; }, DecodeError::LengthMismatch,
         "states"},
        {"a byte cut off the end", [](auto& r) { r.pop_back(); }, DecodeError::LengthMismatch,
         "states"},
        {"first version byte", [](auto& r) { r[2] = 3; }, DecodeError::BadVersion, "3 1"},
        {"second version byte", [](auto& r) { r[3] = 2; }, DecodeError::BadVersion, "2 2"},
        {"three blocks stated", [](auto& r) { r[4] = 3; }, DecodeError::BadBlockCount, "3 blocks"},
        {"a flipped bit", [](auto& r) { r[40] ^= 0x10; }, DecodeError::CrcMismatch, "CRC"},
        {"specific block first",
         [](auto& r) {
             r[10] = 0x92;
             r[11] = 0x13;
             Reframe(r);
         },
         DecodeError::NotPublicFirst, "table 5010"},
        {"unknown table",
         [](auto& r) {
             r[kSecondBlock] = 0x39;
             r[kSecondBlock + 1] = 0x05;
             Reframe(r);
         },
         DecodeError::UnknownTable, "unknown table 1337"},
        {"truncated last field",
         [](auto& r) {
             r.pop_back();
             Reframe(r);
         },
         DecodeError::TruncatedField, "field 8 (kind, u8) of table 5010"},
        {"truncated inside the public block",
         [](auto& r) {
             r.resize(40);
             Reframe(r);
         },
         DecodeError::TruncatedField, "of table 4"},
        {"no second block",
         [](auto& r) {
             r.resize(kSecondBlock);
             Reframe(r);
         },
         DecodeError::TruncatedField, "table number of the second block"},
        {"identifier of 15 bytes",
         [](auto& r) {
             r[12] = 15;
             Reframe(r);
         },
         DecodeError::BadIdentifier, "states 15 bytes"},
        {"text count beyond the end",
         [](auto& r) {
             r[kSecondBlock - 29] = 0xFF;
             Reframe(r);
         },
         DecodeError::TruncatedField, "client_key"},
        {"text that is not UTF-8",
         [](auto& r) {
             r[kSecondBlock - 28] = 0xFF ^ 0x88;
             Reframe(r);
         },
         DecodeError::BadText, "not UTF-8"},
        {"bitmap padding bit",
         [](auto& r) {
             r[kSecondBlock + 2] |= 0x10;
             Reframe(r);
         },
         DecodeError::BitPadding, "unused bits"},
        {"a byte after the last field",
         [](auto& r) {
             r.push_back(0);
             Reframe(r);
         },
         DecodeError::TrailingBytes, "1 bytes after"},
    };
    ASSERT_TRUE(DecodeRecord(UiRecord()).Ok());
    for (const auto& c : cases) {
        std::vector<uint8_t> record = UiRecord();
        c.spoil(record);
        const DecodeResult result = DecodeRecord(record);
        EXPECT_EQ(result.error, c.error) << c.name << ": " << result.reason;
        EXPECT_NE(result.reason.find(c.reasonPart), std::string::npos)
            << c.name << ": " << result.reason;
        EXPECT_TRUE(result.record.fields.empty()) << c.name;
    }
}

TEST(DecodeRecord, JsonFormsOfARecord) {
    const DecodeResult result = DecodeRecord(UiRecord());
    ASSERT_TRUE(result.Ok()) << result.reason;
    EXPECT_EQ(FieldsJsonArray(result.record), "[1,0,1,1,4,0,2,3]");
    const PublicColumns columns = PublicBlockColumns(result.record);
    EXPECT_EQ(columns.tableNumber, 5010);
    EXPECT_EQ(columns.cid, 222);
    EXPECT_EQ(columns.tid, 716);
    EXPECT_EQ(columns.kid, 1);
    EXPECT_EQ(columns.idex, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(columns.clientTime, 1600000000);

    const auto record = UiRecord();
    const uint32_t crc =
        record[6] | record[7] << 8 | record[8] << 16 | static_cast<uint32_t>(record[9]) << 24;
    EXPECT_EQ(RecordToJson(result.record, false),
              Format("{\"length\":%zu,\"crc\":\"%08X\"", record.size(), crc) +
                  ",\"table_no\":5010,\"table\":\"ui_info\","
                  "\"public\":{\"idex\":\"0123456789ABCDEF0123456789ABCDEF\",\"cid\":222,"
                  "\"reserved_1\":0,\"tid\":716,\"kid\":1,\"version\":7,\"reserved_2\":0,"
                  "\"reserved_3\":0,\"client_time\":1600000000,\"reserved_4\":0,"
                  "\"client_key\":\"q7rm2xk0wpt9bvz3jd6ehyu4gfa1\"},"
                  "\"fields\":{\"restored_from_tray\":1,\"closed_by_user\":0,"
                  "\"hidden_to_tray\":1,\"started_by_user\":1,\"action\":4,\"number\":0,"
                  "\"value\":2,\"kind\":3}}");
    EXPECT_NE(
        RecordToJson(result.record, true).find("\n  \"fields\": {\n    \"restored_from_tray\": 1,"),
        std::string::npos);
}

TEST(JsonQuote, EscapesWhatJsonRequires) {
    struct Case {
        std::string in;
        const char* out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
        {std::string("\x01\x1F\x7F", 3), "\"\\u0001\\u001F\\u007F\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\xE4\xB8\xAD", "\"\xE4\xB8\xAD\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonQuote(c.in), c.out) << c.in;
    }
}

}  // namespace
}  // namespace zeph
