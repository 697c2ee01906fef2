#include "platform/registry.h"

#include <cstring>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/profile.h"
#include "platform/reg_text.h"
#include "platform/registry_store.h"

namespace zeph::platform {
namespace {

constexpr struct {
    Hive hive;
    std::u16string_view longName;
    std::u16string_view shortName;
} kHiveNames[] = {
    {Hive::ClassesRoot, u"HKEY_CLASSES_ROOT", u"HKCR"},
    {Hive::CurrentUser, u"HKEY_CURRENT_USER", u"HKCU"},
    {Hive::LocalMachine, u"HKEY_LOCAL_MACHINE", u"HKLM"},
    {Hive::Users, u"HKEY_USERS", u"HKU"},
};

constexpr struct {
    RegType type;
    const char* name;
} kTypeNames[] = {
    {RegType::None, "REG_NONE"},
    {RegType::Sz, "REG_SZ"},
    {RegType::ExpandSz, "REG_EXPAND_SZ"},
    {RegType::Binary, "REG_BINARY"},
    {RegType::Dword, "REG_DWORD"},
    {RegType::DwordBigEndian, "REG_DWORD_BIG_ENDIAN"},
    {RegType::Link, "REG_LINK"},
    {RegType::MultiSz, "REG_MULTI_SZ"},
    {RegType::ResourceList, "REG_RESOURCE_LIST"},
    {RegType::FullResourceDescriptor, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {RegType::ResourceRequirementsList, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {RegType::Qword, "REG_QWORD"},
};

bool CanRead(RegAccess access) {
    return access != RegAccess::Write;
}
bool CanWrite(RegAccess access) {
    return access != RegAccess::Read;
}

std::string TextBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::u16string BytesText(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
}

std::string NumberBytes(uint64_t value, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

uint64_t BytesNumber(std::string_view bytes) {
    uint64_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

WinError Resolve(const Registry& registry, Hive hive, const std::vector<std::u16string>& base,
                 std::u16string_view subKey, RegView view, std::vector<std::u16string>& out) {
    if (!subKey.empty() && subKey.front() == u'\\') {
        return WinError::BadPathname;
    }
    std::vector<std::u16string> parts;
    if (!SplitKeyPath(subKey, parts)) {
        return WinError::BadPathname;
    }
    std::vector<std::u16string> full = base;
    full.insert(full.end(), parts.begin(), parts.end());
    out = RedirectPath(hive, full, view, registry);
    return WinError::Success;
}

WinError OpenAt(const std::shared_ptr<Registry>& registry, Hive hive,
                const std::vector<std::u16string>& base, std::u16string_view subKey,
                RegAccess access, RegView view, std::vector<std::u16string>& path) {
    if (const WinError e = Resolve(*registry, hive, base, subKey, view, path);
        e != WinError::Success) {
        return e;
    }
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = registry->Store(hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    (void)access;
    return tree->Find(path) ? WinError::Success : WinError::FileNotFound;
}

WinError CreateAt(const std::shared_ptr<Registry>& registry, Hive hive,
                  const std::vector<std::u16string>& base, std::u16string_view subKey, RegView view,
                  std::vector<std::u16string>& path, RegDisposition* disposition) {
    if (const WinError e = Resolve(*registry, hive, base, subKey, view, path);
        e != WinError::Success) {
        return e;
    }
    // Opening an existing key needs no write and no lock.
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = registry->Store(hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    if (tree->Find(path)) {
        if (disposition) {
            *disposition = RegDisposition::OpenedExistingKey;
        }
        return WinError::Success;
    }
    bool createdAny = false;
    const WinError result = registry->Store(hive)->Modify([&](RegNode& root, bool& changed) {
        root.FindOrCreate(path, createdAny);
        changed = createdAny;
        return WinError::Success;
    });
    if (result == WinError::Success && disposition) {
        *disposition =
            createdAny ? RegDisposition::CreatedNewKey : RegDisposition::OpenedExistingKey;
    }
    return result;
}

WinError DeleteAt(const std::shared_ptr<Registry>& registry, Hive hive,
                  const std::vector<std::u16string>& path, DeleteMode mode) {
    return registry->Store(hive)->Modify([&](RegNode& root, bool& changed) {
        if (path.empty()) {
            return WinError::AccessDenied;  // a hive's root cannot go
        }
        std::vector<std::u16string> parentPath(path.begin(), path.end() - 1);
        RegNode* parent = root.Find(parentPath);
        RegNode* node = parent ? parent->Child(path.back()) : nullptr;
        if (node == nullptr) {
            return WinError::FileNotFound;
        }
        if (mode == DeleteMode::KeyOnly && !node->children.empty()) {
            return WinError::AccessDenied;
        }
        parent->children.erase(parent->children.find(path.back()));
        changed = true;
        return WinError::Success;
    });
}

}  // namespace

std::optional<Hive> ParseHiveName(std::u16string_view name) {
    for (const auto& entry : kHiveNames) {
        if (AsciiEqualsIgnoreCase(name, entry.longName) ||
            AsciiEqualsIgnoreCase(name, entry.shortName)) {
            return entry.hive;
        }
    }
    return std::nullopt;
}

std::u16string HiveName(Hive hive) {
    return std::u16string(kHiveNames[static_cast<int>(hive)].longName);
}

std::u16string HiveShortName(Hive hive) {
    return std::u16string(kHiveNames[static_cast<int>(hive)].shortName);
}

const char* RegTypeName(RegType type) {
    for (const auto& entry : kTypeNames) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return "REG_UNKNOWN";
}

std::optional<RegType> ParseRegTypeName(std::string_view name) {
    for (const auto& entry : kTypeNames) {
        if (AsciiEqualsIgnoreCase(name, entry.name)) {
            return entry.type;
        }
    }
    return std::nullopt;
}

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

void RegKey::Close() {
    m_registry.reset();
    m_path.clear();
}

WinError RegKey::Open(Hive hive, std::u16string_view subKey, RegAccess access, RegView view,
                      RegKey& out) {
    out.Close();
    auto registry = CurrentProfile()->Hives();
    std::vector<std::u16string> path;
    const WinError e = OpenAt(registry, hive, {}, subKey, access, view, path);
    if (e == WinError::Success) {
        out.m_registry = std::move(registry);
        out.m_hive = hive;
        out.m_path = std::move(path);
        out.m_view = view;
        out.m_access = access;
    }
    return e;
}

WinError RegKey::Create(Hive hive, std::u16string_view subKey, RegView view, RegKey& out,
                        RegDisposition* disposition) {
    out.Close();
    auto registry = CurrentProfile()->Hives();
    std::vector<std::u16string> path;
    const WinError e = CreateAt(registry, hive, {}, subKey, view, path, disposition);
    if (e == WinError::Success) {
        out.m_registry = std::move(registry);
        out.m_hive = hive;
        out.m_path = std::move(path);
        out.m_view = view;
        out.m_access = RegAccess::All;
    }
    return e;
}

WinError RegKey::OpenSubKey(std::u16string_view subKey, RegAccess access, RegKey& out) const {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    std::vector<std::u16string> path;
    auto registry = m_registry;
    const WinError e = OpenAt(registry, m_hive, m_path, subKey, access, m_view, path);
    if (e == WinError::Success) {
        out.Close();
        out.m_registry = std::move(registry);
        out.m_hive = m_hive;
        out.m_path = std::move(path);
        out.m_view = m_view;
        out.m_access = access;
    }
    return e;
}

WinError RegKey::CreateSubKey(std::u16string_view subKey, RegKey& out,
                              RegDisposition* disposition) const {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    std::vector<std::u16string> path;
    auto registry = m_registry;
    const WinError e = CreateAt(registry, m_hive, m_path, subKey, m_view, path, disposition);
    if (e == WinError::Success) {
        out.Close();
        out.m_registry = std::move(registry);
        out.m_hive = m_hive;
        out.m_path = std::move(path);
        out.m_view = m_view;
        out.m_access = RegAccess::All;
    }
    return e;
}

WinError RegKey::GetValue(std::u16string_view name, RegValueEntry& out) const {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (!CanRead(m_access)) {
        return WinError::AccessDenied;
    }
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = m_registry->Store(m_hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    const RegNode* node = tree->Find(m_path);
    if (node == nullptr) {
        return WinError::KeyDeleted;
    }
    const RegValueEntry* value = node->FindValue(name);
    if (value == nullptr) {
        return WinError::FileNotFound;
    }
    out = *value;
    return WinError::Success;
}

WinError RegKey::QueryValue(std::u16string_view name, RegType* type, void* data,
                            uint32_t* dataSize) const {
    if (data != nullptr && dataSize == nullptr) {
        return WinError::InvalidParameter;
    }
    RegValueEntry value;
    if (const WinError e = GetValue(name, value); e != WinError::Success) {
        return e;
    }
    if (type) {
        *type = value.type;
    }
    const auto needed = static_cast<uint32_t>(value.data.size());
    if (dataSize == nullptr) {
        return WinError::Success;
    }
    if (data == nullptr) {
        *dataSize = needed;
        return WinError::Success;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return WinError::MoreData;
    }
    if (needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    *dataSize = needed;
    return WinError::Success;
}

std::optional<std::u16string> RegKey::ReadString(std::u16string_view name) const {
    RegValueEntry value;
    if (GetValue(name, value) != WinError::Success ||
        (value.type != RegType::Sz && value.type != RegType::ExpandSz)) {
        return std::nullopt;
    }
    std::u16string text = BytesText(value.data);
    if (const size_t nul = text.find(u'\0'); nul != std::u16string::npos) {
        text.resize(nul);
    }
    return text;
}

std::optional<uint32_t> RegKey::ReadDword(std::u16string_view name) const {
    RegValueEntry value;
    if (GetValue(name, value) != WinError::Success || value.type != RegType::Dword ||
        value.data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(BytesNumber(value.data));
}

std::optional<uint64_t> RegKey::ReadQword(std::u16string_view name) const {
    RegValueEntry value;
    if (GetValue(name, value) != WinError::Success || value.type != RegType::Qword ||
        value.data.size() != 8) {
        return std::nullopt;
    }
    return BytesNumber(value.data);
}

std::optional<std::vector<std::u16string>> RegKey::ReadMultiString(std::u16string_view name) const {
    RegValueEntry value;
    if (GetValue(name, value) != WinError::Success || value.type != RegType::MultiSz) {
        return std::nullopt;
    }
    const std::u16string text = BytesText(value.data);
    std::vector<std::u16string> strings;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(u'\0', pos);
        if (end == std::u16string::npos) {
            end = text.size();
        }
        if (end == pos) {
            break;  // the empty string ends the list
        }
        strings.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return strings;
}

std::optional<std::string> RegKey::ReadBinary(std::u16string_view name) const {
    RegValueEntry value;
    if (GetValue(name, value) != WinError::Success) {
        return std::nullopt;
    }
    return value.data;
}

WinError RegKey::SetValue(std::u16string_view name, RegType type, std::string_view data) {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (!CanWrite(m_access)) {
        return WinError::AccessDenied;
    }
    if (name.size() > 16383) {
        return WinError::InvalidParameter;
    }
    return m_registry->Store(m_hive)->Modify([&](RegNode& root, bool& changed) {
        RegNode* node = root.Find(m_path);
        if (node == nullptr) {
            return WinError::KeyDeleted;
        }
        node->SetValue(name, type, data);
        changed = true;
        return WinError::Success;
    });
}

WinError RegKey::SetString(std::u16string_view name, std::u16string_view value, RegType type) {
    std::string bytes = TextBytes(value);
    bytes.append(2, '\0');
    return SetValue(name, type, bytes);
}

WinError RegKey::SetDword(std::u16string_view name, uint32_t value) {
    return SetValue(name, RegType::Dword, NumberBytes(value, 4));
}

WinError RegKey::SetQword(std::u16string_view name, uint64_t value) {
    return SetValue(name, RegType::Qword, NumberBytes(value, 8));
}

WinError RegKey::SetMultiString(std::u16string_view name,
                                const std::vector<std::u16string>& values) {
    std::u16string text;
    for (const auto& value : values) {
        text += value;
        text.push_back(u'\0');
    }
    text.push_back(u'\0');
    return SetValue(name, RegType::MultiSz, TextBytes(text));
}

WinError RegKey::SetBinary(std::u16string_view name, std::string_view bytes) {
    return SetValue(name, RegType::Binary, bytes);
}

WinError RegKey::DeleteValue(std::u16string_view name) {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (!CanWrite(m_access)) {
        return WinError::AccessDenied;
    }
    return m_registry->Store(m_hive)->Modify([&](RegNode& root, bool& changed) {
        RegNode* node = root.Find(m_path);
        if (node == nullptr) {
            return WinError::KeyDeleted;
        }
        for (auto it = node->values.begin(); it != node->values.end(); ++it) {
            if (AsciiEqualsIgnoreCase(it->name, name)) {
                node->values.erase(it);
                changed = true;
                return WinError::Success;
            }
        }
        return WinError::FileNotFound;
    });
}

WinError RegKey::DeleteSubKey(std::u16string_view subKey) {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (subKey.empty()) {
        return WinError::InvalidParameter;
    }
    std::vector<std::u16string> path;
    if (const WinError e = Resolve(*m_registry, m_hive, m_path, subKey, m_view, path);
        e != WinError::Success) {
        return e;
    }
    return DeleteAt(m_registry, m_hive, path, DeleteMode::KeyOnly);
}

WinError RegKey::DeleteSubKeyTree(std::u16string_view subKey) {
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (subKey.empty()) {
        // RegDeleteTree(key, NULL): everything below the key, the key stays.
        if (!CanWrite(m_access)) {
            return WinError::AccessDenied;
        }
        return m_registry->Store(m_hive)->Modify([&](RegNode& root, bool& changed) {
            RegNode* node = root.Find(m_path);
            if (node == nullptr) {
                return WinError::KeyDeleted;
            }
            changed = !node->values.empty() || !node->children.empty();
            node->values.clear();
            node->children.clear();
            return WinError::Success;
        });
    }
    std::vector<std::u16string> path;
    if (const WinError e = Resolve(*m_registry, m_hive, m_path, subKey, m_view, path);
        e != WinError::Success) {
        return e;
    }
    return DeleteAt(m_registry, m_hive, path, DeleteMode::Tree);
}

WinError RegKey::EnumSubKeys(std::vector<std::u16string>& names) const {
    names.clear();
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (!CanRead(m_access)) {
        return WinError::AccessDenied;
    }
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = m_registry->Store(m_hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    const RegNode* node = tree->Find(m_path);
    if (node == nullptr) {
        return WinError::KeyDeleted;
    }
    for (const auto& [key, child] : node->children) {
        names.push_back(child->name);
    }
    return WinError::Success;
}

WinError RegKey::EnumValues(std::vector<RegValueEntry>& values) const {
    values.clear();
    if (!IsOpen()) {
        return WinError::InvalidHandle;
    }
    if (!CanRead(m_access)) {
        return WinError::AccessDenied;
    }
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = m_registry->Store(m_hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    const RegNode* node = tree->Find(m_path);
    if (node == nullptr) {
        return WinError::KeyDeleted;
    }
    values = node->values;
    return WinError::Success;
}

std::u16string RegKey::Path() const {
    std::u16string path;
    for (const auto& part : m_path) {
        if (!path.empty()) {
            path += u'\\';
        }
        path += part;
    }
    return path;
}

WinError DeleteKey(Hive hive, std::u16string_view subKey, RegView view, DeleteMode mode) {
    auto registry = CurrentProfile()->Hives();
    std::vector<std::u16string> path;
    if (const WinError e = Resolve(*registry, hive, {}, subKey, view, path);
        e != WinError::Success) {
        return e;
    }
    return DeleteAt(registry, hive, path, mode);
}

WinError ImportRegText(std::string_view bytes, RegView view, std::string& error) {
    std::vector<RegTextKey> keys;
    RegTextError parseError;
    if (!ParseRegText(bytes, keys, parseError)) {
        error = "line " + std::to_string(parseError.line) + ": " + parseError.message;
        return WinError::InvalidData;
    }
    auto registry = CurrentProfile()->Hives();
    for (Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
        bool any = false;
        for (const auto& key : keys) {
            any = any || key.hive == hive;
        }
        if (!any) {
            continue;
        }
        const WinError result = registry->Store(hive)->Modify([&](RegNode& root, bool& changed) {
            for (const auto& key : keys) {
                if (key.hive != hive) {
                    continue;
                }
                std::vector<std::u16string> parts;
                SplitKeyPath(key.path, parts);
                const std::vector<std::u16string> path = RedirectPath(hive, parts, view, *registry);
                if (key.remove) {
                    if (path.empty()) {
                        continue;
                    }
                    std::vector<std::u16string> parentPath(path.begin(), path.end() - 1);
                    if (RegNode* parent = root.Find(parentPath)) {
                        if (auto it = parent->children.find(path.back());
                            it != parent->children.end()) {
                            parent->children.erase(it);
                            changed = true;
                        }
                    }
                    continue;
                }
                bool created = false;
                RegNode* node = root.FindOrCreate(path, created);
                changed = changed || created;
                for (const auto& value : key.values) {
                    if (value.remove) {
                        for (auto it = node->values.begin(); it != node->values.end(); ++it) {
                            if (AsciiEqualsIgnoreCase(it->name, value.name)) {
                                node->values.erase(it);
                                changed = true;
                                break;
                            }
                        }
                    } else {
                        node->SetValue(value.name, value.type, value.data);
                        changed = true;
                    }
                }
            }
            return WinError::Success;
        });
        if (result != WinError::Success) {
            error = U8(HiveName(hive)) + ": " + WinErrorMessage(result);
            if (result == WinError::RegistryCorrupt) {
                error = registry->Store(hive)->Problem();
            }
            return result;
        }
    }
    return WinError::Success;
}

namespace {

void ExportNode(RegTextWriter& writer, Hive hive, const RegNode& node, const std::u16string& path) {
    writer.Key(hive, path);
    for (const auto& value : node.values) {
        writer.Value(value.name, value.type, value.data);
    }
    for (const auto& [key, child] : node.children) {
        ExportNode(writer, hive, *child, path.empty() ? child->name : path + u"\\" + child->name);
    }
}

}  // namespace

WinError ExportRegText(Hive hive, std::u16string_view subKey, RegView view, std::string& out) {
    auto registry = CurrentProfile()->Hives();
    std::vector<std::u16string> path;
    if (const WinError e = Resolve(*registry, hive, {}, subKey, view, path);
        e != WinError::Success) {
        return e;
    }
    std::shared_ptr<const RegNode> tree;
    if (const WinError e = registry->Store(hive)->Read(tree); e != WinError::Success) {
        return e;
    }
    const RegNode* node = tree->Find(path);
    if (node == nullptr) {
        return WinError::FileNotFound;
    }
    // Names in the stored case.
    std::u16string display;
    const RegNode* walk = tree.get();
    for (const auto& part : path) {
        walk = walk->Child(part);
        if (!display.empty()) {
            display += u'\\';
        }
        display += walk->name;
    }
    RegTextWriter writer;
    ExportNode(writer, hive, *node, display);
    out = writer.Text();
    return WinError::Success;
}

std::string HiveProblem(Hive hive) {
    return CurrentProfile()->Hives()->Store(hive)->Problem();
}

}  // namespace zeph::platform
