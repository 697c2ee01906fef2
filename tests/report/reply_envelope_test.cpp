// Whether the endpoint's reply accepts a record: the envelope and the INI
// reading of its text.
#include "report/reply_envelope.h"

#include <gtest/gtest.h>

#include <string>

#include "base/crc32.h"
#include "base/strings.h"

namespace zeph {
namespace {

TEST(ReplyTextAccepts, ReadsIniLinesUntilTheFirstThatFitsNothing) {
    struct Case {
        const char* text;
        bool accepted;
    } cases[] = {
        {"[common]\nresult=1", true},
        {"[common]\nresult=1\n", true},
        {"[COMMON]\r\nRESULT = 1\r\n", true},
        {"  [ common ]  \n\t result  =  1 \t\n", true},
        {"junk before the first bracket[common]\nresult=1", true},
        {"[other]\nresult=1\n[common]\nresult=1", true},
        {"[common]\n\n\nx=\nresult=1", true},
        {"[common]\nresult=01", true},
        {"[common]\nresult=1junk", true},  // leading decimal
        {"[common]\nresult=1\n[other]\nz=9", true},
        {"[common]\nresult=0\nresult=1", true},  // the later value counts
        {"[common]\nresult=1\nresult=2", false},
        {"[common]\nresult=1\nno equals sign", false},  // stops the reading
        {"[common]\nresult=1\n[]\n", false},            // empty section name
        {"[common]\nresult=1\n[  ]\n", false},
        {"[common]\nresult=1\n=1\n", false},  // empty key
        {"[common]\nresult=1\n[unclosed\n", false},
        {"[common]\nresult=2", false},
        {"[common]\nresult=", false},
        {"[common]\nresults=1", false},
        {"[general]\nresult=1", false},
        {"result=1", false},  // no '[' at all
        {"", false},
        {"[common]\nresult=-1", false},
        {"[common]\nresult\t=\t1", false},  // only spaces are trimmed around '='
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplyTextAccepts(U16(c.text)), c.accepted) << '"' << c.text << '"';
    }
}

std::string WithHeader(size_t length, uint8_t marker, uint32_t crc, const std::string& text) {
    std::string body;
    body.push_back(static_cast<char>(length & 0xFF));
    body.push_back(static_cast<char>(length >> 8));
    body.push_back(static_cast<char>(marker));
    for (int i = 0; i < 4; ++i) {
        body.push_back(static_cast<char>(crc >> (8 * i)));
    }
    return body + text;
}

TEST(ReadReplyEnvelope, ChecksLengthMarkerAndCrc) {
    const std::string text = "[common]\nresult=1\n";
    const uint32_t crc = Crc32(text.data(), text.size());
    const size_t length = 7 + text.size();
    struct Case {
        const char* name;
        std::string body;
        bool valid;
        bool accepted;
    } cases[] = {
        {"as made", MakeReplyEnvelope(text), true, true},
        {"written out", WithHeader(length, 2, crc, text), true, true},
        {"length one more", WithHeader(length + 1, 2, crc, text), false, false},
        {"length one less", WithHeader(length - 1, 2, crc, text), false, false},
        {"marker 1", WithHeader(length, 1, crc, text), false, false},
        {"wrong CRC", WithHeader(length, 2, crc ^ 1, text), false, false},
        {"exactly seven bytes", WithHeader(7, 2, Crc32("", 0), ""), false, false},
        {"empty", "", false, false},
        {"text says result 0", MakeReplyEnvelope("[common]\nresult=0"), true, false},
        {"text ends at a NUL", MakeReplyEnvelope(std::string("[common]\nres\0ult=1", 18)), true,
         false},
    };
    for (const auto& c : cases) {
        const ReplyVerdict verdict = ReadReplyEnvelope(c.body, kCodePageGbk);
        EXPECT_EQ(verdict.envelopeValid, c.valid) << c.name;
        EXPECT_EQ(verdict.accepted, c.accepted) << c.name;
    }
}

TEST(ReadReplyEnvelope, TextIsConvertedFromTheAnsiCodePage) {
    // "[common]\nresult=1\nmsg=" then U+4E2D in GBK (D6 D0).
    const std::string text = "[common]\nresult=1\nmsg=\xD6\xD0";
    const ReplyVerdict verdict = ReadReplyEnvelope(MakeReplyEnvelope(text), kCodePageGbk);
    EXPECT_TRUE(verdict.accepted);
    EXPECT_EQ(verdict.text, u"[common]\nresult=1\nmsg=\u4E2D");
}

}  // namespace
}  // namespace zeph
