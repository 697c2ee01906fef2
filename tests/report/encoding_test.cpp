// The record's primitives, block framing, public block and record header,
// byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/crc32.h"
#include "report/install_report.h"
#include "report/serialize.h"
#include "tests/report/report_test_util.h"

namespace zeph {
namespace {

using test::Hex;
using test::HexOf;

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return {span.begin(), span.end()};
}

// A finished block of table 0x0102 after `write` filled it.
std::vector<uint8_t> BlockOf(const std::function<void(KInstallSerialize&)>& write) {
    KInstallSerialize block;
    block.SetTableNumber(0x0102);
    write(block);
    block.FinishBlock();
    return Bytes(block.Output());
}

TEST(FieldWriters, WriteEachKindAfterTheTableNumber) {
    const std::u16string longText(70000, u'a');
    struct Case {
        const char* name;
        std::function<void(KInstallSerialize&)> write;
        const char* bytes;  // after the table number "02 01"
    } cases[] = {
        {"u8 keeps the low byte", [](auto& b) { b.WriteU8(0x1FF); }, "FF"},
        {"u16 keeps the low two bytes", [](auto& b) { b.WriteU16(0x12345); }, "45 23"},
        {"i32 little-endian", [](auto& b) { b.WriteI32(0x01020304); }, "04 03 02 01"},
        {"i32 negative", [](auto& b) { b.WriteI32(-2); }, "FE FF FF FF"},
        {"text abc", [](auto& b) { b.WriteText(u"abc"); }, "03 00 E9 EA EB"},
        {"empty text", [](auto& b) { b.WriteText(u""); }, "00 00"},
        {"text as UTF-8", [](auto& b) { b.WriteText(u"\u4E2D"); }, "03 00 6C 30 25"},
        {"id16 raw",
         [](auto& b) {
             const uint8_t id[16] = {0x88, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xFF};
             b.WriteId16(id);
         },
         "10 00 88 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E FF"},
        {"fields back to back",
         [](auto& b) {
             b.WriteU8(1);
             b.WriteText(u"a");
             b.WriteU16(2);
         },
         "01 01 00 E9 02 00"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> expected = Hex("02 01");
        const auto rest = Hex(c.bytes);
        expected.insert(expected.end(), rest.begin(), rest.end());
        EXPECT_EQ(HexOf(BlockOf(c.write)), HexOf(expected)) << c.name;
    }
}

TEST(FieldWriters, BitsArePackedBeforeEveryOtherField) {
    struct Case {
        const char* name;
        std::vector<bool> bits;
        const char* bytes;
    } cases[] = {
        {"no bits: no bitmap byte", {}, "02 01 AA"},
        {"first bit is bit 0", {true}, "02 01 01 AA"},
        {"four bits 1,0,1,1", {true, false, true, true}, "02 01 0D AA"},
        {"eight bits fill one byte",
         {false, false, false, false, false, false, false, true},
         "02 01 80 AA"},
        {"nine bits take two bytes, high bits zero",
         {true, false, false, false, false, false, false, false, true},
         "02 01 01 01 AA"},
    };
    for (const auto& c : cases) {
        // The data field is written first: the bitmap still comes before it.
        const auto block = BlockOf([&](KInstallSerialize& b) {
            b.WriteU8(0xAA);
            for (bool bit : c.bits) {
                b.AddBit(bit);
            }
        });
        EXPECT_EQ(HexOf(block), HexOf(Hex(c.bytes))) << c.name;
    }
}

TEST(IdentifierTo16Bytes, OnlyThirtyTwoUpperCaseHexDigitsCount) {
    const auto zero = std::array<uint8_t, 16>{};
    struct Case {
        const char16_t* text;
        bool valid;
    } cases[] = {
        {u"0123456789ABCDEF0123456789ABCDEF", true},
        {u"0123456789abcdef0123456789ABCDEF", false},   // lower case
        {u"0123456789ABCDEF0123456789ABCDE", false},    // 31 characters
        {u"0123456789ABCDEF0123456789ABCDEF0", false},  // 33 characters
        {u"0123456789ABCDEF0123456789ABCDEG", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        const auto bytes = IdentifierTo16Bytes(c.text);
        if (c.valid) {
            EXPECT_EQ(HexOf({bytes.begin(), bytes.end()}),
                      "01 23 45 67 89 AB CD EF 01 23 45 67 89 AB CD EF");
        } else {
            EXPECT_EQ(bytes, zero) << U8(c.text);
        }
    }
}

TEST(GrowableBuffer, GrowsByTheAppendAndAnotherKibibyte) {
    GrowableBuffer buffer;
    EXPECT_EQ(buffer.Capacity(), 1024u);
    const std::vector<uint8_t> bytes(1500, 0x5A);
    buffer.Append(bytes.data(), 1000);
    EXPECT_EQ(buffer.Capacity(), 1024u);
    buffer.Append(bytes.data(), 100);
    EXPECT_EQ(buffer.Capacity(), 1024u + 100u + 1024u);
    buffer.Append(bytes.data(), 1500);
    EXPECT_EQ(buffer.Capacity(), 2148u + 1500u + 1024u);
    ASSERT_EQ(buffer.Size(), 2600u);
    for (size_t i = 0; i < buffer.Size(); ++i) {
        ASSERT_EQ(buffer.Data()[i], 0x5A) << i;
    }
}

TEST(EncodeReportText, LongTextIsCutAtACharacterBoundary) {
    struct Case {
        const char* name;
        std::u16string text;
        size_t bytes;
    } cases[] = {
        {"exactly the limit", std::u16string(65535, u'a'), 65535},
        {"one byte over", std::u16string(65536, u'a'), 65535},
        {"a three-byte character across the limit", std::u16string(65534, u'a') + u"\u4E2D", 65534},
        {"a four-byte character across the limit", std::u16string(65533, u'a') + u"\U0001F600",
         65533},
    };
    for (const auto& c : cases) {
        const std::string utf8 = EncodeReportText(c.text);
        EXPECT_EQ(utf8.size(), c.bytes) << c.name;
        EXPECT_TRUE(IsValidUtf8(utf8)) << c.name;
    }
    // The count written is the cut length.
    const auto block =
        BlockOf([](auto& b) { b.WriteText(std::u16string(65534, u'a') + u"\u4E2D"); });
    EXPECT_EQ(block[2], 0xFE);
    EXPECT_EQ(block[3], 0xFF);
    EXPECT_EQ(block.size(), 2u + 2u + 65534u);
}

const char kPublicBlockBytes[] =
    "04 00 10 00 01 23 45 67 89 AB CD EF 01 23 45 67"
    "89 AB CD EF DE 00 00 00 00 00 00 00 CC 02 00 00"
    "01 00 00 00 07 00 00 00 00 00 00 00 10 5E 5F 00"
    "00 00 00 1C 00 F9 BF FA E5 BA F0 E3 B8 FF F8 FC"
    "B1 EA FE F2 BB E2 EC BE ED E0 F1 FD BC EF EE E9"
    "B9";

TEST(KPublicBlock, WritesTableFourByteForByte) {
    KPublicBlock block;
    block.FillPublicBlock(u"222", u"716", u"1", u"0123456789ABCDEF0123456789ABCDEF", 1600000000);
    EXPECT_EQ(HexOf(Bytes(block.Output())), HexOf(Hex(kPublicBlockBytes)));
}

TEST(KPublicBlock, ChannelTextsAreReadAsLeadingDecimals) {
    struct Case {
        const char16_t* text;
        int32_t number;
    } cases[] = {
        {u"222", 222},
        {u"  -7", -7},
        {u"+15x", 15},
        {u"12ab3", 12},
        {u"", 0},
        {u"abc", 0},
        {u"99999999999", 2147483647},
    };
    for (const auto& c : cases) {
        KPublicBlock block;
        block.FillPublicBlock(c.text, u"0", u"0", u"", 0);
        const auto out = Bytes(block.Output());
        const int32_t cid = static_cast<int32_t>(out[20] | out[21] << 8 | out[22] << 16 |
                                                 static_cast<uint32_t>(out[23]) << 24);
        EXPECT_EQ(cid, c.number) << U8(c.text);
    }
}

std::vector<uint8_t> StatusRecord(uint32_t clientTime) {
    KPublicBlock pub;
    pub.FillPublicBlock(u"222", u"716", u"1", u"0123456789ABCDEF0123456789ABCDEF", clientTime);
    KInstallSerialize status;
    status.SetTableNumber(5847);
    status.WriteU8(2);
    status.WriteU8(1);
    status.WriteU8(0);
    status.FinishBlock();
    return *BuildRecordBytes(pub, status);
}

TEST(Record, HeaderStatesLengthVersionBlocksAndCrc) {
    const auto record = StatusRecord(1600000000);
    ASSERT_EQ(record.size(), 0x60u);
    EXPECT_EQ(HexOf({record.begin(), record.begin() + 10}), "60 00 02 01 02 00 41 C8 71 42");
    std::vector<uint8_t> blocks = Hex(kPublicBlockBytes);
    const auto status = Hex("D7 16 02 01 00");
    blocks.insert(blocks.end(), status.begin(), status.end());
    EXPECT_EQ(HexOf({record.begin() + 10, record.end()}), HexOf(blocks));
    // The chained CRC over the blocks is the CRC of their concatenation.
    EXPECT_EQ(Crc32(status, Crc32(Hex(kPublicBlockBytes))), 0x4271C841u);
}

TEST(Record, OneSecondLaterOnlyTheClientTimeAndCrcDiffer) {
    const auto first = StatusRecord(1600000000);
    const auto second = StatusRecord(1600000001);
    ASSERT_EQ(first.size(), second.size());
    std::vector<size_t> differing;
    for (size_t i = 0; i < first.size(); ++i) {
        if (first[i] != second[i]) {
            differing.push_back(i);
        }
    }
    const size_t time = kRecordHeaderBytes + kPublicBlockClientTimeOffset;
    for (size_t i : differing) {
        EXPECT_TRUE((i >= 6 && i < 10) || (i >= time && i < time + 4)) << "byte " << i;
    }
    EXPECT_NE(first[time], second[time]);
}

TEST(Record, OverTheSixteenBitLengthIsNotBuilt) {
    KPublicBlock pub;
    pub.FillPublicBlock(u"1", u"1", u"1", u"", 0);
    const size_t room = kMaxRecordBytes - kRecordHeaderBytes - pub.Output().size();
    struct Case {
        size_t dataBytes;  // after the table number
        bool fits;
    } cases[] = {{room - 2, true}, {room - 1, false}};
    for (const auto& c : cases) {
        KInstallSerialize block;
        block.SetTableNumber(5847);
        for (size_t i = 0; i < c.dataBytes; ++i) {
            block.WriteU8(0);
        }
        block.FinishBlock();
        const auto record = BuildRecordBytes(pub, block);
        EXPECT_EQ(record.has_value(), c.fits) << c.dataBytes;
        if (record) {
            EXPECT_EQ(record->size(), kMaxRecordBytes);
        }
    }
}

}  // namespace
}  // namespace zeph
