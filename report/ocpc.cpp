#include "report/ocpc.h"

#include "base/json.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "report/report_objects.h"

namespace cf::ocpc {
namespace {

constexpr size_t kMarkerSpan = 9;  // "_b", six characters, 'd'
constexpr size_t kIdLength = 6;

std::u16string StringMember(BkJson::Document& doc, const std::u16string& name) {
    BkJson::Value* root = doc.Root();
    if (root == nullptr || root->GetType() != BkJson::Type::Object) {
        return {};
    }
    const BkJson::Value* member = static_cast<BkJson::ValueObject*>(root)->Find(name);
    if (member == nullptr || member->GetType() != BkJson::Type::String) {
        return {};
    }
    return static_cast<const BkJson::ValueString*>(member)->m_text;
}

}  // namespace

std::u16string FileNameConversionId(std::u16string_view exePath) {
    std::u16string name(exePath);
    for (char16_t& c : name) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    if (const size_t slash = name.rfind(u'\\'); slash != std::u16string::npos) {
        name.erase(0, slash + 1);
    }
    if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos) {
        name.erase(dot);
    }
    size_t h = name.find(u"_b");
    while (h != std::u16string::npos && name.size() >= h + kMarkerSpan) {
        const char16_t last = name[h + kMarkerSpan - 1];
        if (last == u'd' || last == u'D') {
            return name.substr(h + 2, kIdLength);
        }
        h = name.find(u"_b", h + 2);
    }
    return {};
}

ConversionIds FindConversionVisitor(std::u16string_view exePath, std::u16string_view clipboardText,
                                    const KOcpcBaseCnf& cnf) {
    ConversionIds ids;
    ids.primary = FileNameConversionId(exePath);
    if (!clipboardText.empty()) {
        BkJson::Document doc;
        if (doc.Parse(clipboardText)) {
            if (ids.primary.empty()) {
                ids.primary = StringMember(doc, cnf.PrimaryMemberName());
            }
            ids.secondary = StringMember(doc, cnf.SecondaryMemberName());
        }
    }
    ids.found = !ids.primary.empty();
    return ids;
}

template <typename Cnf>
ConversionIds KOcpcImpl<Cnf>::FindConversionVisitor() const {
    return ocpc::FindConversionVisitor(zeph::platform::GetModuleFileName(),
                                       zeph::platform::GetClipboardText(), m_cnf);
}

template <typename Cnf>
void KOcpcImpl<Cnf>::ReportConversion() {
    ZEdozureRare::OcpcInfoReport report;
    report.stage = ZEdozureRare::OcpcInfoReport::kSearching;
    report.Send();

    const ConversionIds ids = FindConversionVisitor();
    if (ids.found) {
        std::lock_guard lock(m_mutex);
        m_visitorId = ids.primary;
    }
    report.stage =
        ids.found ? ZEdozureRare::OcpcInfoReport::kFound : ZEdozureRare::OcpcInfoReport::kNotFound;
    report.Send();
}

template class KOcpcImpl<KZephOcpcCnf>;

}  // namespace cf::ocpc
