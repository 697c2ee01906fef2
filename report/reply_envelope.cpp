#include "report/reply_envelope.h"

#include <cstdint>
#include <map>

#include "base/crc32.h"
#include "base/numbers.h"
#include "base/strings.h"

namespace zeph {
namespace {

constexpr size_t kEnvelopeHeaderBytes = 7;
constexpr uint8_t kEnvelopeMarker = 2;

uint32_t ReadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsLineSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view Trim(std::u16string_view s, bool (*isSpace)(char16_t)) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::u16string_view TrimLine(std::u16string_view s) {
    return Trim(s, IsLineSpace);
}
std::u16string_view TrimSpaces(std::u16string_view s) {
    return Trim(s, [](char16_t c) { return c == u' '; });
}

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return out;
}

}  // namespace

bool ReplyTextAccepts(std::u16string_view text) {
    const size_t start = text.find(u'[');
    if (start == std::u16string_view::npos) {
        return false;
    }
    text.remove_prefix(start);

    std::map<std::u16string, std::map<std::u16string, std::u16string>> sections;
    std::u16string section;
    while (true) {
        const size_t end = text.find(u'\n');
        const std::u16string_view line =
            TrimLine(end == std::u16string_view::npos ? text : text.substr(0, end));
        if (!line.empty()) {
            if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
                const std::u16string_view name = TrimSpaces(line.substr(1, line.size() - 2));
                if (name.empty()) {
                    return false;
                }
                section = Lower(name);
                sections[section];
            } else {
                const size_t eq = line.find(u'=');
                if (eq == std::u16string_view::npos) {
                    return false;
                }
                const std::u16string_view key = TrimSpaces(line.substr(0, eq));
                if (key.empty()) {
                    return false;
                }
                sections[section][Lower(key)] = std::u16string(TrimSpaces(line.substr(eq + 1)));
            }
        }
        if (end == std::u16string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }

    const auto common = sections.find(u"common");
    if (common == sections.end()) {
        return false;
    }
    const auto result = common->second.find(u"result");
    return result != common->second.end() && Wtoi(result->second) == 1;
}

ReplyVerdict ReadReplyEnvelope(std::string_view body, unsigned ansiCodePage) {
    ReplyVerdict verdict;
    const auto* bytes = reinterpret_cast<const unsigned char*>(body.data());
    if (body.size() <= kEnvelopeHeaderBytes) {
        return verdict;
    }
    const size_t stated = static_cast<size_t>(bytes[0]) | static_cast<size_t>(bytes[1]) << 8;
    if (stated != body.size() || bytes[2] != kEnvelopeMarker) {
        return verdict;
    }
    const std::string_view payload = body.substr(kEnvelopeHeaderBytes);
    if (ReadU32(bytes + 3) != Crc32(payload.data(), payload.size())) {
        return verdict;
    }
    verdict.envelopeValid = true;
    verdict.text = CodePageToUtf16(payload.substr(0, payload.find('\0')), ansiCodePage);
    verdict.accepted = ReplyTextAccepts(verdict.text);
    return verdict;
}

std::string MakeReplyEnvelope(std::string_view text) {
    const size_t total = kEnvelopeHeaderBytes + text.size();
    const uint32_t crc = Crc32(text.data(), text.size());
    std::string body;
    body.push_back(static_cast<char>(total & 0xFF));
    body.push_back(static_cast<char>((total >> 8) & 0xFF));
    body.push_back(static_cast<char>(kEnvelopeMarker));
    for (int i = 0; i < 4; ++i) {
        body.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    }
    body.append(text);
    return body;
}

}  // namespace zeph
