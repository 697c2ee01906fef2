#include "report/serialize.h"

#include <cstring>

#include "base/numbers.h"
#include "base/strings.h"
#include "platform/clock.h"

namespace zeph {

GrowableBuffer::GrowableBuffer()
    : m_data(new uint8_t[kInitialCapacity]), m_capacity(kInitialCapacity) {}

void GrowableBuffer::Append(const void* data, size_t size) {
    if (size == 0) {
        return;
    }
    if (m_size + size > m_capacity) {
        const size_t capacity = m_capacity + size + kInitialCapacity;
        std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
        std::memcpy(grown.get(), m_data.get(), m_size);
        m_data = std::move(grown);
        m_capacity = capacity;
    }
    std::memcpy(m_data.get() + m_size, data, size);
    m_size += size;
}

void GrowableBuffer::Patch(size_t offset, const void* data, size_t size) {
    if (offset > m_size || size > m_size - offset) {
        return;
    }
    std::memcpy(m_data.get() + offset, data, size);
}

std::string EncodeReportText(std::u16string_view text) {
    std::string utf8 = Utf16ToUtf8(text);
    if (utf8.size() > kMaxFieldBytes) {
        // Step back over continuation bytes so that no character is split.
        size_t cut = kMaxFieldBytes;
        while (cut > 0 && (static_cast<uint8_t>(utf8[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        utf8.resize(cut);
    }
    return utf8;
}

std::array<uint8_t, 16> IdentifierTo16Bytes(std::u16string_view text) {
    std::array<uint8_t, 16> bytes{};
    if (text.size() != 32) {
        return bytes;
    }
    for (size_t k = 0; k < 32; ++k) {
        const char16_t c = text[k];
        int digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return {};
        }
        bytes[k / 2] |= static_cast<uint8_t>(k % 2 == 0 ? digit << 4 : digit);
    }
    return bytes;
}

KInstallSerialize::~KInstallSerialize() = default;

void KInstallSerialize::WriteU8(int32_t value) {
    const uint8_t byte = static_cast<uint8_t>(value);
    m_data.Append(&byte, 1);
}

void KInstallSerialize::WriteU16(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    const uint8_t bytes[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    m_data.Append(bytes, 2);
}

void KInstallSerialize::WriteI32(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    m_data.Append(bytes, 4);
}

void KInstallSerialize::WriteText(std::u16string_view text) {
    std::string bytes = EncodeReportText(text);
    WriteU16(static_cast<int32_t>(bytes.size()));
    for (char& c : bytes) {
        c = static_cast<char>(static_cast<uint8_t>(c) ^ kTextXor);
    }
    m_data.Append(bytes.data(), bytes.size());
}

void KInstallSerialize::WriteId16(const uint8_t* bytes16) {
    WriteU16(16);
    m_data.Append(bytes16, 16);
}

void KInstallSerialize::AddBit(bool value) {
    m_bits.push_back(value);
}

void KInstallSerialize::FinishBlock() {
    const uint8_t table[2] = {static_cast<uint8_t>(m_tableNumber),
                              static_cast<uint8_t>(m_tableNumber >> 8)};
    m_output.Append(table, 2);
    std::vector<uint8_t> bitmap((m_bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < m_bits.size(); ++i) {
        if (m_bits[i]) {
            bitmap[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        }
    }
    m_output.Append(bitmap.data(), bitmap.size());
    m_output.Append(m_data.Bytes());
}

void KPublicBlock::FillPublicBlock(std::u16string_view cid, std::u16string_view tid,
                                   std::u16string_view kid, std::u16string_view idex) {
    FillPublicBlock(cid, tid, kid, idex, static_cast<uint32_t>(platform::UnixTime()));
}

void KPublicBlock::FillPublicBlock(std::u16string_view cid, std::u16string_view tid,
                                   std::u16string_view kid, std::u16string_view idex,
                                   uint32_t clientTime) {
    SetTableNumber(4);
    const auto id = IdentifierTo16Bytes(idex);
    WriteId16(id.data());
    WriteI32(Wtoi(cid));
    WriteI32(0);
    WriteI32(Wtoi(tid));
    WriteI32(Wtoi(kid));
    WriteU8(kPublicBlockVersion);
    WriteU16(0);
    WriteI32(0);
    WriteI32(static_cast<int32_t>(clientTime));
    WriteI32(0);
    WriteText(kClientKey);
    FinishBlock();
}

}  // namespace zeph
