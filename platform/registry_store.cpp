#include "platform/registry_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "base/ascii.h"
#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/reg_text.h"

namespace zeph::platform {

RegNode* RegNode::Child(std::u16string_view childName) const {
    const auto it = children.find(childName);
    return it == children.end() ? nullptr : it->second.get();
}

RegNode* RegNode::Find(const std::vector<std::u16string>& path) {
    RegNode* node = this;
    for (const auto& part : path) {
        node = node->Child(part);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

const RegNode* RegNode::Find(const std::vector<std::u16string>& path) const {
    return const_cast<RegNode*>(this)->Find(path);
}

RegNode* RegNode::FindOrCreate(const std::vector<std::u16string>& path, bool& created) {
    created = false;
    RegNode* node = this;
    for (const auto& part : path) {
        RegNode* child = node->Child(part);
        if (child == nullptr) {
            auto fresh = std::make_unique<RegNode>();
            fresh->name = part;
            child = fresh.get();
            node->children.emplace(part, std::move(fresh));
            created = true;
        } else {
            created = false;
        }
        node = child;
    }
    return node;
}

RegValueEntry* RegNode::FindValue(std::u16string_view valueName) {
    for (auto& value : values) {
        if (AsciiEqualsIgnoreCase(value.name, valueName)) {
            return &value;
        }
    }
    return nullptr;
}

const RegValueEntry* RegNode::FindValue(std::u16string_view valueName) const {
    return const_cast<RegNode*>(this)->FindValue(valueName);
}

void RegNode::SetValue(std::u16string_view valueName, RegType type, std::string_view data) {
    if (RegValueEntry* existing = FindValue(valueName)) {
        existing->type = type;
        existing->data = std::string(data);
        return;
    }
    values.push_back({std::u16string(valueName), type, std::string(data)});
}

std::unique_ptr<RegNode> RegNode::Clone() const {
    auto copy = std::make_unique<RegNode>();
    copy->name = name;
    copy->values = values;
    for (const auto& [key, child] : children) {
        copy->children.emplace(key, child->Clone());
    }
    return copy;
}

bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& out) {
    out.clear();
    if (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    if (path.empty()) {
        return true;
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(u'\\', pos);
        if (end == std::u16string_view::npos) {
            end = path.size();
        }
        if (end == pos || end - pos > 255) {
            out.clear();
            return false;
        }
        out.emplace_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return true;
}

std::string HiveFileName(Hive hive) {
    return U8(HiveShortName(hive)) + ".reg";
}

bool BuildTree(std::string_view bytes, Hive hive, RegNode& root, int& line, std::string& message) {
    std::vector<RegTextKey> keys;
    RegTextError error;
    if (!ParseRegText(bytes, keys, error)) {
        line = error.line;
        message = error.message;
        return false;
    }
    for (const auto& key : keys) {
        line = key.line;
        if (key.hive != hive) {
            message =
                "a key of " + U8(HiveName(key.hive)) + " in the hive file of " + U8(HiveName(hive));
            return false;
        }
        if (key.remove) {
            message = "a hive file cannot remove keys";
            return false;
        }
        std::vector<std::u16string> path;
        SplitKeyPath(key.path, path);
        bool created = false;
        RegNode* node = root.FindOrCreate(path, created);
        for (const auto& value : key.values) {
            if (value.remove) {
                line = value.line;
                message = "a hive file cannot remove values";
                return false;
            }
            node->SetValue(value.name, value.type, value.data);
        }
    }
    return true;
}

namespace {

void WriteNode(RegTextWriter& writer, Hive hive, const RegNode& node, const std::u16string& path,
               bool isRoot) {
    if (!isRoot || !node.values.empty()) {
        writer.Key(hive, path);
        for (const auto& value : node.values) {
            writer.Value(value.name, value.type, value.data);
        }
    }
    for (const auto& [key, child] : node.children) {
        WriteNode(writer, hive, *child, path.empty() ? child->name : path + u"\\" + child->name,
                  false);
    }
}

}  // namespace

std::string WriteTree(Hive hive, const RegNode& root) {
    RegTextWriter writer;
    WriteNode(writer, hive, root, u"", true);
    return writer.Text();
}

HiveStore::HiveStore(Hive hive, std::string path) : m_hive(hive), m_path(std::move(path)) {}

HiveStore::Identity HiveStore::CurrentIdentity() const {
    Identity id;
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0) {
        id.exists = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        id.size = st.st_size;
        id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return id;
}

WinError HiveStore::LoadLocked(bool force) {
    const Identity id = CurrentIdentity();
    if (m_loaded && !force && id == m_identity) {
        return m_tree ? WinError::Success : WinError::RegistryCorrupt;
    }
    auto root = std::make_shared<RegNode>();
    if (id.exists) {
        std::string bytes;
        if (const int err = ReadHostFile(m_path, bytes); err != 0) {
            return err == EACCES ? WinError::AccessDenied : WinError::RegistryIoFailed;
        }
        int line = 0;
        std::string message;
        if (!BuildTree(bytes, m_hive, *root, line, message)) {
            m_loaded = true;
            m_identity = id;
            m_tree = nullptr;
            m_problem = m_path + ":" + std::to_string(line) + ": " + message;
            if (!m_problemReported) {
                m_problemReported = true;
                std::fprintf(stderr,
                             "zephsetup: %s (the hive is left as it is; registry calls on it "
                             "fail until it is mended)\n",
                             m_problem.c_str());
            }
            return WinError::RegistryCorrupt;
        }
    }
    m_problem.clear();
    m_loaded = true;
    m_identity = id;
    m_tree = std::move(root);
    return WinError::Success;
}

WinError HiveStore::Read(std::shared_ptr<const RegNode>& out) {
    std::lock_guard lock(m_mutex);
    const WinError result = LoadLocked(false);
    out = m_tree;
    return result;
}

WinError HiveStore::Modify(const std::function<WinError(RegNode& root, bool& changed)>& change) {
    std::lock_guard lock(m_mutex);
    const size_t slash = m_path.find_last_of('/');
    if (slash != std::string::npos) {
        MakeHostDirs(m_path.substr(0, slash));
    }
    HostFileLock fileLock(m_path + ".lock");
    if (fileLock.Error() != 0) {
        return fileLock.Error() == EACCES || fileLock.Error() == EROFS ? WinError::AccessDenied
                                                                       : WinError::RegistryIoFailed;
    }
    if (const WinError loaded = LoadLocked(false); loaded != WinError::Success) {
        return loaded;
    }
    std::shared_ptr<RegNode> copy = m_tree->Clone();
    bool changed = false;
    const WinError result = change(*copy, changed);
    if (result != WinError::Success || !changed) {
        return result;
    }
    const std::string text = WriteTree(m_hive, *copy);
    if (const int err = ReplaceHostFile(m_path, text); err != 0) {
        return err == EACCES || err == EROFS ? WinError::AccessDenied : WinError::RegistryIoFailed;
    }
    m_identity = CurrentIdentity();
    m_tree = std::move(copy);
    return WinError::Success;
}

std::string HiveStore::Problem() {
    std::lock_guard lock(m_mutex);
    LoadLocked(false);
    return m_problem;
}

Registry::Registry(const std::string& registryDir, bool wow64Process, bool is64Bit)
    : m_wow64Process(wow64Process), m_is64Bit(is64Bit) {
    for (Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
        m_stores[static_cast<int>(hive)] =
            std::make_shared<HiveStore>(hive, registryDir + "/" + HiveFileName(hive));
    }
}

std::shared_ptr<HiveStore> Registry::Store(Hive hive) const {
    return m_stores[static_cast<int>(hive)];
}

namespace {

bool Is(const std::u16string& a, std::u16string_view b) {
    return AsciiEqualsIgnoreCase(a, b);
}

// Keys below HKLM\SOFTWARE that both views share (WOW64 does not redirect
// them): the font tables, the profile list, time zones and policies.
constexpr std::u16string_view kSharedSoftwareKeys[][4] = {
    {u"Microsoft", u"Windows NT", u"CurrentVersion", u"Fonts"},
    {u"Microsoft", u"Windows NT", u"CurrentVersion", u"FontSubstitutes"},
    {u"Microsoft", u"Windows NT", u"CurrentVersion", u"FontLink"},
    {u"Microsoft", u"Windows NT", u"CurrentVersion", u"ProfileList"},
    {u"Microsoft", u"Windows NT", u"CurrentVersion", u"Time Zones"},
    {u"Microsoft", u"Windows", u"CurrentVersion", u"Policies"},
    {u"Policies", u"", u"", u""},
};

bool IsSharedSoftwareKey(const std::vector<std::u16string>& path) {
    for (const auto& shared : kSharedSoftwareKeys) {
        size_t i = 0;
        bool match = true;
        for (; i < 4 && !shared[i].empty(); ++i) {
            if (i + 1 >= path.size() || !Is(path[i + 1], shared[i])) {
                match = false;
                break;
            }
        }
        if (match) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::u16string> RedirectPath(Hive hive, const std::vector<std::u16string>& path,
                                         RegView view, const Registry& registry) {
    if (!registry.Is64Bit()) {
        return path;
    }
    const bool view32 =
        view == RegView::Wow64_32 || (view == RegView::Default && registry.Wow64Process());
    if (!view32) {
        return path;
    }
    constexpr std::u16string_view kNode = u"Wow6432Node";
    std::vector<std::u16string> out = path;
    auto insertAt = [&](size_t index) {
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(index), std::u16string(kNode));
    };
    switch (hive) {
        case Hive::LocalMachine:
            if (path.empty() || !Is(path[0], u"SOFTWARE")) {
                break;
            }
            if (path.size() >= 2 && Is(path[1], kNode)) {
                break;
            }
            if (path.size() >= 2 && Is(path[1], u"Classes")) {
                if (path.size() >= 3 && Is(path[2], u"CLSID")) {
                    insertAt(2);
                }
                break;
            }
            if (IsSharedSoftwareKey(path)) {
                break;
            }
            insertAt(1);
            break;
        case Hive::ClassesRoot:
            if (!path.empty() && Is(path[0], u"CLSID")) {
                insertAt(0);
            }
            break;
        case Hive::CurrentUser:
            if (path.size() >= 3 && Is(path[0], u"Software") && Is(path[1], u"Classes") &&
                Is(path[2], u"CLSID")) {
                insertAt(2);
            }
            break;
        case Hive::Users:
            break;
    }
    return out;
}

}  // namespace zeph::platform
