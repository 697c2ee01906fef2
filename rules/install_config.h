// The channel's install configuration: one company, its trynos (numbered
// variants of the offer) with their package files, the check items that
// conditions name, configuration variables and the programs to run after the
// install. Fetched from the configuration server, opened with the build's
// public key and parsed into the model below.
//
// Used on one thread at a time (the install driver's).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rules/result_codes.h"
#include "rules/signed_document.h"

namespace tinyxml2 {
class XMLElement;
}

namespace zeph {

class KCheckParser;
class KVariableParser;

// True when `bucket` (1..100) falls in "lo,hi" (inclusive). An empty range,
// a single number, or pieces that are not plain digits leave every bucket
// eligible.
bool IsAbTestEligible(std::string_view range, int32_t bucket);

// One package file. Strings are the document's narrow text as read; integers
// are 0 when absent unless noted.
class KDlFileNode {
  public:
    virtual ~KDlFileNode() = default;

    // url, md5, moduletype, path and downloadtype are all non-empty.
    bool IsValid() const;
    bool IsEligible(int32_t bucket) const { return IsAbTestEligible(abtestrange, bucket); }

    std::string url;
    std::string md5;
    std::string moduletype;  // "exe" or "dll"
    std::string path;        // holds a built-in path variable
    std::string param;
    std::string paramex;
    std::string funcname;
    std::string initfuncname;
    std::string uninitfuncname;  // always empty after parsing
    std::string downloadtype;
    std::string title;
    int32_t waitexit = 0;
    int32_t sd = 0;
    int32_t ndp = 0;
    int32_t downloadtime = 0;
    int32_t speedcomponentpop = 0;
    std::string abtestrange;
    std::string condition;
    int32_t zephpack = 1;
    int32_t show = 0;
    int32_t showpop = 0;
    int32_t delaydownload = 0;
    int32_t iszephdownloadswitch = 0;
    int32_t productcmdtype = 0;
    int32_t semtype = 0;
};

class KTrynoNode {
  public:
    virtual ~KTrynoNode() = default;

    // id >= 0, version > 0, interval >= 0 and at least one file.
    bool IsValid() const;
    int32_t GetDlFileCount() const { return static_cast<int32_t>(dlfiles.size()); }
    // nullptr when index is out of range.
    KDlFileNode* GetDlFile(int32_t index) const;

    int32_t id = 0;
    int32_t version = 0;
    int32_t interval = 0;  // days
    std::string condition;
    std::string softname;  // UTF-8
    std::vector<std::unique_ptr<KDlFileNode>> dlfiles;
};

class KCompanyNode {
  public:
    virtual ~KCompanyNode() = default;

    // id > 0, version > 0 and at least one tryno.
    bool IsValid() const;
    KTrynoNode* FindTryno(int32_t trynoId) const;

    int32_t id = 0;
    int32_t version = 0;
    std::map<int32_t, std::unique_ptr<KTrynoNode>> trynos;
};

// A program started after the install.
struct KRunItem {
    std::string condition;
    std::string path;   // required
    std::string param;  // "#@#" already turned into '"'
};

class KInstallConfigMgr {
  public:
    KInstallConfigMgr();
    virtual ~KInstallConfigMgr();
    KInstallConfigMgr(const KInstallConfigMgr&) = delete;
    KInstallConfigMgr& operator=(const KInstallConfigMgr&) = delete;

    // Fetches, decodes and parses the channel's document: 0, 50, 100 or 101.
    ConfigResult LoadInstallConfig(int32_t companyId, int32_t trynoId);

    // One GET of the document; FetchFailed unless it answered with a body.
    ConfigResult FetchInstallConfig(int32_t companyId, int32_t trynoId, std::string& body) const;
    // Decode and parse of a fetched body: 0, 100 or 101.
    ConfigResult LoadFromBody(std::string_view body);
    // Parses decoded text into the model: 0 or 100. A failed parse leaves a
    // mixture of new and earlier sections; do not use the manager after it.
    ConfigResult ParseInstallConfig(std::string_view text);

    // The key that opens fetched bodies; the build's key unless set.
    void SetPublicKey(const RsaKey& key) { m_publicKey = key; }

    // nullptr before a successful load.
    KCompanyNode* GetCompany() const { return m_company.get(); }
    KTrynoNode* FindTryno(int32_t trynoId) const;
    const std::vector<std::unique_ptr<KRunItem>>& GetRunItems() const { return m_runItems; }
    KCheckParser* GetCheckParser() const { return m_checkParser.get(); }
    KVariableParser* GetVariableParser() const { return m_variableParser.get(); }

    // Evaluates a condition over the check items. nullptr counts as no
    // condition (201). failedItemId and detail name the first item that was
    // false; read them only after a non-zero result.
    ConditionResult CheckCondition(const char* condition, int32_t& failedItemId,
                                   std::u16string& detail);
    ConditionResult CheckCondition(const std::string& condition, int32_t& failedItemId,
                                   std::u16string& detail) {
        return CheckCondition(condition.c_str(), failedItemId, detail);
    }

    // The tryno's gate on a recent uninstall of the suite: 0, 352 or 358.
    ConditionResult CheckUninstallInterval(int32_t days);

    // Replaces %#name% tokens by the configuration variables, then expands the
    // built-in path variables (whose failure is ignored).
    void ExpandConfigVariables(std::u16string& path) const;

  private:
    bool ParseCompany(const tinyxml2::XMLElement& company);
    void ParseRunList(const tinyxml2::XMLElement* run);

    RsaKey m_publicKey;
    std::unique_ptr<KVariableParser> m_variableParser;
    std::unique_ptr<KCheckParser> m_checkParser;
    std::unique_ptr<KCompanyNode> m_company;
    std::vector<std::unique_ptr<KRunItem>> m_runItems;
};

}  // namespace zeph
