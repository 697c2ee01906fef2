#include "net/soft_detail.h"

#include <optional>

#include "base/ascii.h"
#include "base/json.h"
#include "base/strings.h"
#include "net/endpoints.h"
#include "net/http_request.h"
#include "platform/system_info.h"

namespace zeph::net {
namespace {

// A string member, or nullopt when it is missing or not a string.
std::optional<std::u16string> StringMember(cf::BkJson::Document& document,
                                           std::u16string_view name) {
    if (!document.HasMember(name)) {
        return std::nullopt;
    }
    return document.Member(name).AsString();
}

}  // namespace

SoftDetail& GetSoftDetail() {
    static SoftDetail record;
    return record;
}

bool FetchSoftDetail(const std::u16string& softId, std::u16string& json) {
    std::string body;
    if (HttpGet(SoftDetailUrl(softId), body) != 0 || body.empty()) {
        return false;
    }
    // JSON is UTF-8 by definition; an older server may still answer in the
    // ANSI code page, which valid UTF-8 rarely resembles.
    json =
        IsValidUtf8(body) ? Utf8ToUtf16(body) : CodePageToUtf16(body, platform::GetAnsiCodePage());
    return true;
}

bool ParseSoftDetail(SoftDetail& record, const std::u16string& json) {
    cf::BkJson::Document document;
    if (document.Parse(json) == 0) {
        return false;
    }
    auto logo = StringMember(document, u"logo");
    if (!logo) {
        return false;
    }
    record.logo = std::move(*logo);
    auto softname = StringMember(document, u"softname");
    if (!softname) {
        return false;
    }
    record.softname = std::move(*softname);
    auto downurl = StringMember(document, u"downurl");
    if (!downurl) {
        return false;
    }
    record.downurl = std::move(*downurl);
    if (!FileNameFromUrl(record)) {
        return false;
    }
    auto filemd5 = StringMember(document, u"filemd5");
    if (!filemd5) {
        return false;
    }
    record.filemd5 = std::move(*filemd5);
    return !record.downurl.empty() && !record.filemd5.empty() && !record.softname.empty() &&
           !record.fileName.empty() && !record.logo.empty();
}

void LoadSoftDetail(const std::u16string& softId) {
    if (softId.empty()) {
        return;
    }
    SoftDetail& record = GetSoftDetail();
    std::u16string json;
    const bool ok = FetchSoftDetail(softId, json) && ParseSoftDetail(record, json);
    record.valid = ok ? 1 : 0;
}

bool FileNameFromUrl(SoftDetail& record) {
    std::u16string text = record.downurl;
    for (char16_t& c : text) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    if (const size_t slash = text.rfind(u'\\'); slash != std::u16string::npos) {
        text.erase(0, slash + 1);
    }
    if (text.empty()) {
        return false;
    }
    text = AsciiLower(text);
    if (AsciiEndsWithIgnoreCase(text, u".pak")) {
        text.resize(text.size() - 4);
    }
    if (const size_t exe = text.find(u".exe"); exe != std::u16string::npos) {
        record.fileName = text.substr(0, exe + 4);
    } else {
        record.fileName = text;
        record.notExe = 1;
    }
    // The name is joined to a download folder: "." or ".." would name the
    // folder itself or its parent.
    if (record.fileName == u"." || record.fileName == u"..") {
        record.fileName.clear();
    }
    return !record.fileName.empty();
}

}  // namespace zeph::net
