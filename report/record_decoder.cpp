#include "report/record_decoder.h"

#include "base/crc32.h"
#include "base/format.h"
#include "base/strings.h"
#include "report/install_report.h"

namespace zeph {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes, size_t pos) : m_bytes(bytes), m_pos(pos) {}

    size_t Pos() const { return m_pos; }
    size_t Left() const { return m_bytes.size() - m_pos; }

    bool Take(size_t n, std::span<const uint8_t>& out) {
        if (Left() < n) {
            return false;
        }
        out = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return true;
    }

    bool TakeU16(uint32_t& value) {
        std::span<const uint8_t> b;
        if (!Take(2, b)) {
            return false;
        }
        value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8;
        return true;
    }

  private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos;
};

struct BlockFailure {
    DecodeError error = DecodeError::None;
    std::string reason;
};

std::string FieldLabel(const TableSpec& table, size_t index) {
    return Format("field %zu (%.*s, %.*s) of table %u", index + 1,
                  static_cast<int>(table.fields[index].name.size()),
                  table.fields[index].name.data(),
                  static_cast<int>(FieldKindName(table.fields[index].kind).size()),
                  FieldKindName(table.fields[index].kind).data(), table.number);
}

// Reads the rest of one block (its table number already read) by its field
// list.
BlockFailure ReadBlock(Reader& in, const TableSpec& table, std::vector<FieldValue>& out) {
    const size_t bitCount = table.BitCount();
    std::span<const uint8_t> bitmap;
    if (!in.Take((bitCount + 7) / 8, bitmap)) {
        return {DecodeError::TruncatedField,
                Format("truncated bitmap of table %u at offset %zu", table.number, in.Pos())};
    }
    if (bitCount % 8 != 0 && (bitmap.back() >> (bitCount % 8)) != 0) {
        return {DecodeError::BitPadding,
                Format("unused bits of the bitmap of table %u are set", table.number)};
    }

    size_t bitIndex = 0;
    for (size_t i = 0; i < table.fields.size(); ++i) {
        const FieldSpec& spec = table.fields[i];
        FieldValue value{spec.name, spec.kind, 0, {}};
        const size_t offset = in.Pos();
        std::span<const uint8_t> b;
        bool whole = true;
        switch (spec.kind) {
            case FieldKind::Bit:
                value.number = (bitmap[bitIndex / 8] >> (bitIndex % 8)) & 1;
                ++bitIndex;
                break;
            case FieldKind::U8:
                whole = in.Take(1, b);
                if (whole) {
                    value.number = b[0];
                }
                break;
            case FieldKind::U16: {
                uint32_t v = 0;
                whole = in.TakeU16(v);
                value.number = v;
                break;
            }
            case FieldKind::I32:
                whole = in.Take(4, b);
                if (whole) {
                    const uint32_t v =
                        static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                        static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
                    value.number = static_cast<int32_t>(v);
                }
                break;
            case FieldKind::Text: {
                uint32_t count = 0;
                whole = in.TakeU16(count) && in.Take(count, b);
                if (whole) {
                    value.text.reserve(count);
                    for (uint8_t c : b) {
                        value.text.push_back(static_cast<char>(c ^ kTextXor));
                    }
                    if (!IsValidUtf8(value.text)) {
                        return {
                            DecodeError::BadText,
                            FieldLabel(table, i) + Format(" at offset %zu is not UTF-8", offset)};
                    }
                }
                break;
            }
            case FieldKind::Id16: {
                uint32_t count = 0;
                whole = in.TakeU16(count);
                if (whole && count != 16) {
                    return {DecodeError::BadIdentifier,
                            FieldLabel(table, i) + Format(" states %u bytes, not 16", count)};
                }
                whole = whole && in.Take(16, b);
                if (whole) {
                    for (uint8_t c : b) {
                        value.text.push_back(kHexDigits[c >> 4]);
                        value.text.push_back(kHexDigits[c & 0xF]);
                    }
                }
                break;
            }
        }
        if (!whole) {
            return {DecodeError::TruncatedField,
                    "truncated " + FieldLabel(table, i) + Format(" at offset %zu", offset)};
        }
        out.push_back(std::move(value));
    }
    return {};
}

void AppendJsonValue(std::string& out, const FieldValue& value) {
    if (value.IsText()) {
        out += JsonQuote(value.text);
    } else {
        out += std::to_string(value.number);
    }
}

void AppendJsonObject(std::string& out, const std::vector<FieldValue>& fields, bool pretty,
                      const char* indent) {
    out += '{';
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        if (pretty) {
            out += '\n';
            out += indent;
            out += "  ";
        }
        out += JsonQuote(fields[i].name);
        out += pretty ? ": " : ":";
        AppendJsonValue(out, fields[i]);
    }
    if (pretty && !fields.empty()) {
        out += '\n';
        out += indent;
    }
    out += '}';
}

const FieldValue* FindField(const std::vector<FieldValue>& fields, std::string_view name) {
    for (const auto& field : fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

}  // namespace

const FieldValue* DecodedRecord::PublicField(std::string_view name) const {
    return FindField(publicFields, name);
}

const FieldValue* DecodedRecord::Field(std::string_view name) const {
    return FindField(fields, name);
}

DecodeResult DecodeRecord(std::span<const uint8_t> bytes) {
    DecodeResult result;
    auto fail = [&result](DecodeError error, std::string reason) {
        result.error = error;
        result.reason = std::move(reason);
        result.record = {};
        return result;
    };

    if (bytes.size() < kRecordHeaderBytes) {
        return fail(DecodeError::TooShort,
                    Format("%zu bytes: shorter than the 10-byte header", bytes.size()));
    }
    const size_t stated = static_cast<size_t>(bytes[0]) | static_cast<size_t>(bytes[1]) << 8;
    if (stated != bytes.size()) {
        return fail(
            DecodeError::LengthMismatch,
            Format("the header states %zu bytes, the record has %zu", stated, bytes.size()));
    }
    if (bytes[2] != kRecordVersionMajor || bytes[3] != kRecordVersionMinor) {
        return fail(DecodeError::BadVersion,
                    Format("version bytes %u %u, expected 2 1", bytes[2], bytes[3]));
    }
    const unsigned blocks = static_cast<unsigned>(bytes[4]) | static_cast<unsigned>(bytes[5]) << 8;
    if (blocks != 2) {
        return fail(DecodeError::BadBlockCount,
                    Format("the header states %u blocks, expected 2", blocks));
    }
    const uint32_t crc = static_cast<uint32_t>(bytes[6]) | static_cast<uint32_t>(bytes[7]) << 8 |
                         static_cast<uint32_t>(bytes[8]) << 16 |
                         static_cast<uint32_t>(bytes[9]) << 24;
    const uint32_t computed = Crc32(bytes.subspan(kRecordHeaderBytes));
    if (crc != computed) {
        return fail(DecodeError::CrcMismatch,
                    Format("CRC-32 stated 0x%08X, computed 0x%08X", crc, computed));
    }
    result.record.length = static_cast<uint16_t>(stated);
    result.record.crc = crc;

    Reader in(bytes, kRecordHeaderBytes);
    uint32_t table = 0;
    if (!in.TakeU16(table)) {
        return fail(DecodeError::TruncatedField, "truncated table number of the first block");
    }
    if (table != TableNumber(ReportTable::Public)) {
        return fail(DecodeError::NotPublicFirst,
                    Format("the first block is table %u, not the public block 4", table));
    }
    BlockFailure failure = ReadBlock(in, PublicTableSpec(), result.record.publicFields);
    if (failure.error != DecodeError::None) {
        return fail(failure.error, std::move(failure.reason));
    }

    if (!in.TakeU16(table)) {
        return fail(DecodeError::TruncatedField,
                    Format("truncated table number of the second block at offset %zu", in.Pos()));
    }
    const TableSpec* spec = FindTableSpec(static_cast<uint16_t>(table));
    if (spec == nullptr) {
        return fail(DecodeError::UnknownTable, Format("unknown table %u", table));
    }
    result.record.tableNumber = spec->number;
    result.record.tableName = spec->name;
    failure = ReadBlock(in, *spec, result.record.fields);
    if (failure.error != DecodeError::None) {
        return fail(failure.error, std::move(failure.reason));
    }
    if (in.Left() != 0) {
        return fail(DecodeError::TrailingBytes,
                    Format("%zu bytes after the last field of table %u", in.Left(), spec->number));
    }
    return result;
}

PublicColumns PublicBlockColumns(const DecodedRecord& record) {
    PublicColumns columns;
    columns.tableNumber = record.tableNumber;
    if (const auto* f = record.PublicField("cid")) {
        columns.cid = static_cast<int32_t>(f->number);
    }
    if (const auto* f = record.PublicField("tid")) {
        columns.tid = static_cast<int32_t>(f->number);
    }
    if (const auto* f = record.PublicField("kid")) {
        columns.kid = static_cast<int32_t>(f->number);
    }
    if (const auto* f = record.PublicField("idex")) {
        columns.idex = f->text;
    }
    if (const auto* f = record.PublicField("client_time")) {
        columns.clientTime = static_cast<uint32_t>(static_cast<int32_t>(f->number));
    }
    return columns;
}

std::string FieldsJsonArray(const DecodedRecord& record) {
    std::string out = "[";
    for (size_t i = 0; i < record.fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        AppendJsonValue(out, record.fields[i]);
    }
    out += ']';
    return out;
}

std::string RecordToJson(const DecodedRecord& record, bool pretty) {
    const char* nl = pretty ? "\n  " : "";
    const char* colon = pretty ? ": " : ":";
    std::string out = "{";
    out += Format("%s\"length\"%s%u,", nl, colon, record.length);
    out += Format("%s\"crc\"%s\"%08X\",", nl, colon, record.crc);
    out += Format("%s\"table_no\"%s%u,", nl, colon, record.tableNumber);
    out += Format("%s\"table\"%s", nl, colon) + JsonQuote(record.tableName) + ",";
    out += Format("%s\"public\"%s", nl, colon);
    AppendJsonObject(out, record.publicFields, pretty, pretty ? "  " : "");
    out += ",";
    out += Format("%s\"fields\"%s", nl, colon);
    AppendJsonObject(out, record.fields, pretty, pretty ? "  " : "");
    out += pretty ? "\n}" : "}";
    return out;
}

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += Format("\\u%04X", c);
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace zeph
