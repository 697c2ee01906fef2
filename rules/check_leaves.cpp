#include "rules/check_leaves.h"

#include <tinyxml2.h>

#include <array>
#include <functional>
#include <optional>

#include "base/ascii.h"
#include "base/json.h"
#include "base/numbers.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel_objects.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "rules/ansi_text.h"
#include "rules/city.h"
#include "rules/environment_detector.h"
#include "rules/environment_probes.h"
#include "rules/random.h"
#include "rules/result_codes.h"
#include "rules/rule_reporter.h"

namespace zeph {
namespace {

using platform::Hive;
using platform::RegAccess;
using platform::RegKey;
using platform::RegType;
using platform::RegView;
using platform::WinError;

constexpr int64_t kSecondsPerDay = 86400;

// The four root-key names of the document.
std::optional<Hive> RootKey(std::u16string_view name) {
    if (AsciiEqualsIgnoreCase(name, u"hkcr"))
        return Hive::ClassesRoot;
    if (AsciiEqualsIgnoreCase(name, u"hkcu"))
        return Hive::CurrentUser;
    if (AsciiEqualsIgnoreCase(name, u"hklm"))
        return Hive::LocalMachine;
    if (AsciiEqualsIgnoreCase(name, u"hkus"))
        return Hive::Users;
    return std::nullopt;
}

// Runs `test` in the 64-bit view first when asked on a 64-bit system, then
// in the 32-bit view there (or the default view elsewhere).
int32_t InBothViews(int32_t wow64, const std::function<int32_t(RegView)>& test) {
    const bool is64 = GetSystemInformation().is64BitSystem;
    if (is64 && wow64 == 0) {
        if (const int32_t result = test(RegView::Wow64_64)) {
            return result;
        }
    }
    return test(is64 ? RegView::Wow64_32 : RegView::Default);
}

// UTF-16 text of a value buffer, up to its first NUL.
std::u16string BufferText(const uint8_t* data, uint32_t size) {
    std::u16string text;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

void StripOneQuotePair(std::u16string& text) {
    if (!text.empty() && text.front() == u'"') {
        text.erase(0, 1);
    }
    if (!text.empty() && text.back() == u'"') {
        text.pop_back();
    }
}

// "fullpathfile" after its path is known.
int32_t FolderHoldsFile(std::u16string path, const std::u16string& name) {
    if (!platform::FileExists(path)) {
        return 0;
    }
    if (name.empty()) {
        return 1;
    }
    if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) {
        path.pop_back();
    }
    return platform::FileExists(path + u"\\" + name) ? 1 : 0;
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::u16string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

int64_t DaysSince(uint32_t time) {
    return (platform::UnixTime() - static_cast<int64_t>(time)) / kSecondsPerDay;
}

// Attribute access for the factories: the text through the ANSI code page,
// integers like _wtoi. A missing attribute makes the leaf invalid.
class LeafAttributes {
  public:
    explicit LeafAttributes(const tinyxml2::XMLElement& element) : m_element(element) {}

    bool Text(const char* name, std::u16string& out) {
        const char* value = m_element.Attribute(name);
        if (value == nullptr) {
            m_missing = true;
            return false;
        }
        out = AnsiToWide(value);
        return true;
    }
    bool Int(const char* name, int32_t& out) {
        std::u16string text;
        if (!Text(name, text)) {
            return false;
        }
        out = Wtoi(text);
        return true;
    }
    bool Complete() const { return !m_missing; }

  private:
    const tinyxml2::XMLElement& m_element;
    bool m_missing = false;
};

template <typename Leaf>
std::unique_ptr<ICheckLeaf> Finish(std::unique_ptr<Leaf> leaf, const LeafAttributes& attributes) {
    if (!attributes.Complete()) {
        return nullptr;
    }
    return leaf;
}

using LeafFactory = std::unique_ptr<ICheckLeaf> (*)(int32_t id, LeafAttributes& a);

struct LeafKind {
    const char16_t* mode;
    LeafFactory create;
};

// The modes in their lookup order.
const std::array<LeafKind, 13> kLeafKinds = {{
    {u"reg",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KRegLeaf>(id);
         a.Text("mainkey", leaf->mainkey);
         a.Text("subkey", leaf->subkey);
         a.Text("keyname", leaf->keyname);
         a.Int("wow64", leaf->wow64);
         a.Int("keytype", leaf->keytype);
         return Finish(std::move(leaf), a);
     }},
    {u"service",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KServiceLeaf>(id);
         a.Text("name", leaf->name);
         return Finish(std::move(leaf), a);
     }},
    {u"kernelobject",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KKernalObjectLeaf>(id);
         a.Text("name", leaf->name);
         a.Text("type", leaf->type);
         return Finish(std::move(leaf), a);
     }},
    {u"driver",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KDriverLeaf>(id);
         a.Text("name", leaf->name);
         return Finish(std::move(leaf), a);
     }},
    {u"regfile",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KRegFileLeaf>(id);
         a.Text("mainkey", leaf->mainkey);
         a.Text("subkey", leaf->subkey);
         a.Text("keyname", leaf->keyname);
         a.Text("name", leaf->name);
         a.Int("wow64", leaf->wow64);
         return Finish(std::move(leaf), a);
     }},
    {u"varexfile",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KVarExFileLeaf>(id);
         a.Text("path", leaf->path);
         a.Text("name", leaf->name);
         return Finish(std::move(leaf), a);
     }},
    {u"fullpathfile",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KFullPathFileLeaf>(id);
         a.Text("path", leaf->path);
         a.Text("name", leaf->name);
         return Finish(std::move(leaf), a);
     }},
    {u"osversion",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KOSVersionLeaf>(id);
         a.Text("versionvalue", leaf->versionvalue);
         return Finish(std::move(leaf), a);
     }},
    {u"uninstcounts",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KUninstCountsLeaf>(id);
         a.Int("switch", leaf->switchValue);
         a.Int("Interval", leaf->Interval);
         a.Int("count", leaf->count);
         a.Int("param", leaf->param);
         return Finish(std::move(leaf), a);
     }},
    {u"cityblacklist",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KCityBlackListLeaf>(id);
         a.Int("percent", leaf->percent);
         a.Text("cityid", leaf->cityid);
         return Finish(std::move(leaf), a);
     }},
    {u"vpn",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KConnectVpnLeaf>(id);
         a.Int("switch", leaf->switchValue);
         return Finish(std::move(leaf), a);
     }},
    {u"vmvare",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KWorkInVMvareLeaf>(id);
         a.Int("switch", leaf->switchValue);
         return Finish(std::move(leaf), a);
     }},
    {u"uninstcountandtime",
     [](int32_t id, LeafAttributes& a) -> std::unique_ptr<ICheckLeaf> {
         auto leaf = std::make_unique<KUninstCountAndTimeLeaf>(id);
         a.Int("Interval", leaf->Interval);
         a.Int("count", leaf->count);
         return Finish(std::move(leaf), a);
     }},
}};

}  // namespace

std::unique_ptr<ICheckLeaf> CreateCheckLeaf(const tinyxml2::XMLElement& element) {
    LeafAttributes attributes(element);
    int32_t id = 0;
    std::u16string mode;
    if (!attributes.Int("id", id) || !attributes.Text("mode", mode)) {
        return nullptr;
    }
    for (const LeafKind& kind : kLeafKinds) {
        if (AsciiEqualsIgnoreCase(mode, kind.mode)) {
            return kind.create(id, attributes);
        }
    }
    return nullptr;
}

int32_t KRegLeaf::Check() {
    const auto hive = RootKey(mainkey);
    if (!hive || subkey.empty() || keyname.empty()) {
        return 0;
    }
    return InBothViews(wow64, [&](RegView view) -> int32_t {
        RegKey key;
        if (RegKey::Open(*hive, subkey, RegAccess::Read, view, key) != WinError::Success) {
            return 0;
        }
        std::array<uint8_t, 260 * sizeof(char16_t)> buffer{};
        uint32_t size = buffer.size();
        RegType type = RegType::None;
        if (key.QueryValue(keyname, &type, buffer.data(), &size) != WinError::Success) {
            return 0;
        }
        if (static_cast<int32_t>(type) != keytype) {
            return 0;
        }
        switch (type) {
            case RegType::Sz:
            case RegType::ExpandSz:
                return BufferText(buffer.data(), size).empty() ? 0 : 1;
            case RegType::Dword: {
                uint32_t number = 0;
                for (uint32_t i = 0; i < 4 && i < size; ++i) {
                    number |= static_cast<uint32_t>(buffer[i]) << (8 * i);
                }
                return static_cast<int32_t>(number);
            }
            default:
                return 1;
        }
    });
}

int32_t KRegFileLeaf::Check() {
    const auto hive = RootKey(mainkey);
    if (!hive || subkey.empty() || keyname.empty() || name.empty()) {
        return 0;
    }
    return InBothViews(wow64, [&](RegView view) -> int32_t {
        RegKey key;
        if (RegKey::Open(*hive, subkey, RegAccess::Read, view, key) != WinError::Success) {
            return 0;
        }
        std::array<uint8_t, 520> buffer{};
        uint32_t size = buffer.size();
        if (key.QueryValue(keyname, nullptr, buffer.data(), &size) != WinError::Success) {
            return 0;
        }
        std::u16string folder = BufferText(buffer.data(), size);
        StripOneQuotePair(folder);
        if (!folder.empty() && folder.back() != u'\\') {
            folder.push_back(u'\\');
        }
        return platform::FileExists(folder + name) ? 1 : 0;
    });
}

int32_t KServiceLeaf::Check() {
    return IsServiceRegistered(name) ? 1 : 0;
}

int32_t KDriverLeaf::Check() {
    platform::File device;
    const WinError error = platform::File::Open(
        u"\\\\.\\Global\\" + name, platform::FileAccess::Read, platform::FileShare::Read,
        platform::Disposition::OpenExisting, device);
    return (error == WinError::Success || error == WinError::AccessDenied) ? 1 : 0;
}

int32_t KKernalObjectLeaf::Check() {
    if (!m_prepared) {
        ReplaceAll(name, u"$SessionID", AnsiToWide(std::to_string(platform::GetSessionId())));
        type = AsciiLower(type);
        m_prepared = true;
    }
    if (type == u"mutex") {
        platform::Mutex mutex;
        // Present but closed to us still counts: only a missing name is no.
        return platform::Mutex::Open(name, mutex) == WinError::FileNotFound ? 0 : 1;
    }
    if (type == u"event") {
        platform::Event event;
        return platform::Event::Open(name, event) == WinError::Success ? 1 : 0;
    }
    if (type == u"semaphore") {
        platform::Semaphore semaphore;
        return platform::Semaphore::Open(name, semaphore) == WinError::Success ? 1 : 0;
    }
    if (type == u"namedpipe") {
        std::u16string pipe = name;
        if (pipe.find(u"\\\\.\\pipe\\") == std::u16string::npos) {
            pipe = u"\\\\.\\pipe\\" + pipe;
        }
        platform::File file;
        return platform::File::Open(pipe, platform::FileAccess::ReadWrite,
                                    platform::FileShare::None, platform::Disposition::OpenExisting,
                                    file) == WinError::Success
                   ? 1
                   : 0;
    }
    return 0;
}

int32_t KFullPathFileLeaf::Check() {
    return FolderHoldsFile(path, name);
}

int32_t KVarExFileLeaf::Check() {
    // 259 characters with the terminator, as the caller's buffer allows.
    const auto expanded = platform::ExpandEnvironmentStrings(path, 259);
    if (!expanded) {
        return 0;
    }
    return FolderHoldsFile(*expanded, name);
}

int32_t KOSVersionLeaf::Check() {
    return Wtoi(versionvalue) == OsVersionCode() ? 1 : 0;
}

int32_t KUninstCountsLeaf::Check() {
    const uint32_t time = ReadUninstallTime();
    const uint32_t uninstalls = ReadUninstallCount();
    const int64_t days = DaysSince(time);
    bool passed = false;
    int32_t outcome = 0;
    if (count != 0) {
        const uint32_t remainder = uninstalls % static_cast<uint32_t>(count);
        const int64_t threshold = static_cast<int64_t>(remainder) * param + Interval;
        passed = days >= threshold;
        outcome = passed ? 0 : kUninstallCountsTooEarly;
    }
    GetRuleReporter().ReportUninstallCheck(outcome, static_cast<int32_t>(uninstalls));
    return (passed && switchValue != 0) ? 1 : 0;
}

int32_t KUninstCountAndTimeLeaf::Check() {
    const uint32_t time = ReadUninstallTime();
    const uint32_t uninstalls = ReadUninstallCount();
    const int64_t days = DaysSince(time);
    int32_t answer = 0;
    int32_t outcome = 0;
    if (days <= Interval && uninstalls >= static_cast<uint32_t>(count)) {
        answer = 1;
        outcome = kUninstallCountAndTimeHit;
    }
    GetRuleReporter().ReportUninstallCheck(outcome, static_cast<int32_t>(uninstalls));
    return answer;
}

int32_t KCityBlackListLeaf::Check() {
    const std::u16string record = CachedCityRecord();
    std::u16string machineCity;
    if (!record.empty()) {
        cf::BkJson::Document document;
        if (document.Parse(record) && document.HasMember(u"cityid")) {
            machineCity = document.Member(u"cityid").AsString().value_or(u"");
        }
    }
    if (cityid.empty() || machineCity.empty() || !AsciiEqualsIgnoreCase(cityid, machineCity)) {
        return 1;
    }
    int32_t answer = 0;
    if (percent <= 0) {
        answer = 0;
    } else if (percent >= 100) {
        answer = 1;
    } else {
        answer = static_cast<int32_t>(RandomBelow(101)) < percent ? 1 : 0;
    }
    GetRuleReporter().ReportCityCheck(Wtoi(cityid), answer, record);
    return answer;
}

int32_t KConnectVpnLeaf::Check() {
    bool connected = false;
    const bool ran = IsVpnConnected(connected);
    const bool found = ran && connected;
    GetRuleReporter().ReportVpnCheck(found ? 1 : 0, switchValue);
    return (found && switchValue != 0) ? 1 : 0;
}

int32_t KWorkInVMvareLeaf::Check() {
    const bool detected = IsVirtualEnvironment();
    GetRuleReporter().ReportVirtualMachineCheck(detected ? 1 : 0, switchValue);
    return (detected && switchValue != 0) ? 1 : 0;
}

}  // namespace zeph
