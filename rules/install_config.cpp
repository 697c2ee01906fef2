// The configuration model and its parse.
#include "rules/install_config.h"

#include <cstring>

#include "base/install_settings.h"
#include "net/endpoints.h"
#include "net/http_request.h"
#include "platform/clock.h"
#include "rules/check_parser.h"
#include "rules/variables.h"
#include "rules/xml_attributes.h"

namespace zeph {
namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    size_t pos = 0;
    while ((pos = text.find(from, start)) != std::string_view::npos) {
        out.append(text, start, pos - start);
        out.append(to);
        start = pos + from.size();
    }
    out.append(text, start);
    return out;
}

std::unique_ptr<KDlFileNode> ParseDlFile(const tinyxml2::XMLElement& element) {
    auto file = std::make_unique<KDlFileNode>();
    file->url = xml::Text(element, "url");
    file->md5 = xml::Text(element, "md5");
    file->moduletype = xml::Text(element, "moduletype");
    file->path = xml::Text(element, "path");
    file->param = xml::Text(element, "param");
    file->paramex = xml::Text(element, "paramex");
    file->funcname = xml::Text(element, "funcname");
    file->initfuncname = xml::Text(element, "initfuncname");
    // Read like every other attribute, then dropped: no package gets an
    // uninitialisation call.
    file->uninitfuncname = xml::Text(element, "uninitfuncname");
    file->uninitfuncname.clear();
    file->downloadtype = xml::Text(element, "downloadtype");
    file->title = xml::Text(element, "title");
    file->waitexit = xml::Int(element, "waitexit");
    file->sd = xml::Int(element, "sd");
    file->ndp = xml::Int(element, "ndp");
    file->downloadtime = xml::Int(element, "downloadtime");
    file->speedcomponentpop = xml::Int(element, "speedcomponentpop");
    file->abtestrange = xml::Text(element, "abtestrange");
    file->condition = xml::Text(element, "condition");
    file->zephpack = xml::Int(element, "zephpack", 1);
    file->show = xml::Int(element, "show");
    file->showpop = xml::Int(element, "showpop");
    file->delaydownload = xml::Int(element, "delaydownload");
    file->iszephdownloadswitch = xml::Int(element, "iszephdownloadswitch");
    file->productcmdtype = xml::Int(element, "productcmdtype");
    file->semtype = xml::Int(element, "semtype");
    return file;
}

std::unique_ptr<KTrynoNode> ParseTryno(const tinyxml2::XMLElement& element) {
    auto tryno = std::make_unique<KTrynoNode>();
    tryno->id = xml::Int(element, "id");
    tryno->version = xml::Int(element, "version");
    tryno->interval = xml::Int(element, "Interval");
    tryno->condition = xml::Text(element, "condition");
    tryno->softname = xml::Text(element, "softname");
    for (const auto* child = element.FirstChildElement("dlfile"); child != nullptr;
         child = child->NextSiblingElement("dlfile")) {
        auto file = ParseDlFile(*child);
        if (file->IsValid()) {
            tryno->dlfiles.push_back(std::move(file));
        }
    }
    return tryno;
}

}  // namespace

bool IsAbTestEligible(std::string_view range, int32_t bucket) {
    if (range.empty()) {
        return true;
    }
    const size_t comma = range.find(',');
    if (comma == std::string_view::npos) {
        return true;
    }
    const std::string_view first = range.substr(0, comma);
    std::string_view second = range.substr(comma + 1);
    second = second.substr(0, second.find(','));
    if (!AllDigits(first) || !AllDigits(second)) {
        return true;
    }
    const int32_t lo = Atoi(first);
    const int32_t hi = Atoi(second);
    return lo <= bucket && bucket <= hi;
}

bool KDlFileNode::IsValid() const {
    return !url.empty() && !md5.empty() && !moduletype.empty() && !path.empty() &&
           !downloadtype.empty();
}

bool KTrynoNode::IsValid() const {
    return id >= 0 && version > 0 && interval >= 0 && !dlfiles.empty();
}

KDlFileNode* KTrynoNode::GetDlFile(int32_t index) const {
    if (index < 0 || index >= GetDlFileCount()) {
        return nullptr;
    }
    return dlfiles[static_cast<size_t>(index)].get();
}

bool KCompanyNode::IsValid() const {
    return id > 0 && version > 0 && !trynos.empty();
}

KTrynoNode* KCompanyNode::FindTryno(int32_t trynoId) const {
    const auto it = trynos.find(trynoId);
    return it == trynos.end() ? nullptr : it->second.get();
}

KInstallConfigMgr::KInstallConfigMgr() : m_publicKey(ConfigPublicKey()) {}

KInstallConfigMgr::~KInstallConfigMgr() = default;

ConfigResult KInstallConfigMgr::LoadInstallConfig(int32_t companyId, int32_t trynoId) {
    std::string body;
    const ConfigResult fetched = FetchInstallConfig(companyId, trynoId, body);
    if (fetched != ConfigResult::Ok) {
        return fetched;
    }
    return LoadFromBody(body);
}

ConfigResult KInstallConfigMgr::FetchInstallConfig(int32_t companyId, int32_t trynoId,
                                                   std::string& body) const {
    // The time query keeps caches between us and the server from answering.
    const auto now = static_cast<int32_t>(static_cast<uint32_t>(platform::UnixTime()));
    const std::u16string url = net::ConfigDocumentUrl(companyId, trynoId, Settings().scene, now);
    body.clear();
    if (net::HttpGet(url, body) != 0 || body.empty()) {
        return ConfigResult::FetchFailed;
    }
    return ConfigResult::Ok;
}

ConfigResult KInstallConfigMgr::LoadFromBody(std::string_view body) {
    const std::string text = DecodeConfigBody(body, m_publicKey);
    if (text.empty()) {
        return ConfigResult::EmptyText;
    }
    return ParseInstallConfig(text);
}

ConfigResult KInstallConfigMgr::ParseInstallConfig(std::string_view text) {
    m_variableParser = std::make_unique<KVariableParser>();
    m_runItems.clear();

    tinyxml2::XMLDocument document;
    if (text.empty() || document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        return ConfigResult::BadDocument;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr || std::strcmp(root->Name(), "root") != 0) {
        return ConfigResult::BadDocument;
    }

    m_variableParser->Parse(root->FirstChildElement("variable"));

    const tinyxml2::XMLElement* check = root->FirstChildElement("check");
    if (check == nullptr) {
        return ConfigResult::BadDocument;
    }
    m_checkParser = std::make_unique<KCheckParser>();
    m_checkParser->Parse(*check);

    const tinyxml2::XMLElement* install = root->FirstChildElement("install");
    const tinyxml2::XMLElement* company = install ? install->FirstChildElement("company") : nullptr;
    if (company == nullptr || !ParseCompany(*company)) {
        return ConfigResult::BadDocument;
    }

    ParseRunList(root->FirstChildElement("run"));
    return ConfigResult::Ok;
}

bool KInstallConfigMgr::ParseCompany(const tinyxml2::XMLElement& element) {
    m_company.reset();
    auto company = std::make_unique<KCompanyNode>();
    company->id = xml::Int(element, "id");
    company->version = xml::Int(element, "version");
    for (const auto* child = element.FirstChildElement("tryno"); child != nullptr;
         child = child->NextSiblingElement("tryno")) {
        auto tryno = ParseTryno(*child);
        if (tryno->IsValid()) {
            // The first of two trynos with one id stays.
            company->trynos.emplace(tryno->id, std::move(tryno));
        }
    }
    if (!company->IsValid()) {
        return false;
    }
    m_company = std::move(company);
    return true;
}

void KInstallConfigMgr::ParseRunList(const tinyxml2::XMLElement* run) {
    if (run == nullptr) {
        return;
    }
    for (const auto* child = run->FirstChildElement("item"); child != nullptr;
         child = child->NextSiblingElement("item")) {
        const auto path = xml::Find(*child, "path");
        if (!path) {
            continue;
        }
        auto item = std::make_unique<KRunItem>();
        item->path = *path;
        item->condition = xml::Text(*child, "condition");
        item->param = ReplaceAll(xml::Text(*child, "param"), "#@#", "\"");
        m_runItems.push_back(std::move(item));
    }
}

KTrynoNode* KInstallConfigMgr::FindTryno(int32_t trynoId) const {
    return m_company ? m_company->FindTryno(trynoId) : nullptr;
}

}  // namespace zeph
