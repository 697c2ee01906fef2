// Inside the registry: the key tree of one hive, the hive file it lives in,
// and the four hives of a profile.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "platform/registry.h"

namespace zeph::platform {

struct RegNode {
    std::u16string name;
    std::vector<RegValueEntry> values;  // in creation order
    std::map<std::u16string, std::unique_ptr<RegNode>, AsciiLessIgnoreCase> children;

    RegNode* Child(std::u16string_view childName) const;
    RegNode* Find(const std::vector<std::u16string>& path);
    const RegNode* Find(const std::vector<std::u16string>& path) const;
    // Creates the missing keys; `created` tells whether the last one is new.
    RegNode* FindOrCreate(const std::vector<std::u16string>& path, bool& created);
    RegValueEntry* FindValue(std::u16string_view valueName);
    const RegValueEntry* FindValue(std::u16string_view valueName) const;
    void SetValue(std::u16string_view valueName, RegType type, std::string_view data);
    std::unique_ptr<RegNode> Clone() const;
};

// Splits "a\b\c" into components; false for an empty component or a name
// longer than 255 characters. One trailing backslash is allowed.
bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& out);

// One hive file. Reads are served from a cached tree while the file is the
// same (device, inode, size, modification time); a write takes the lock
// file, reads the file again and replaces it.
class HiveStore {
  public:
    HiveStore(Hive hive, std::string path);

    Hive GetHive() const { return m_hive; }
    // The current tree; RegistryCorrupt when the file is damaged.
    WinError Read(std::shared_ptr<const RegNode>& out);
    // Runs `change` on a copy of the latest tree under the lock and writes
    // the copy when `change` returns Success and says it changed something.
    WinError Modify(const std::function<WinError(RegNode& root, bool& changed)>& change);
    // "path:line: message" of a damaged file, or "".
    std::string Problem();

  private:
    struct Identity {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = -1;
        int64_t mtimeNs = 0;
        bool exists = false;
        bool operator==(const Identity&) const = default;
    };

    WinError LoadLocked(bool force);
    Identity CurrentIdentity() const;

    Hive m_hive;
    std::string m_path;
    std::mutex m_mutex;
    Identity m_identity;
    bool m_loaded = false;
    std::shared_ptr<const RegNode> m_tree;
    std::string m_problem;
    bool m_problemReported = false;
};

// Builds a tree from parsed .reg text of one hive; false with a problem when
// the text names another hive or removes something.
bool BuildTree(std::string_view bytes, Hive hive, RegNode& root, int& line, std::string& message);
// The .reg text of a whole hive.
std::string WriteTree(Hive hive, const RegNode& root);

// The four hives of a profile.
class Registry {
  public:
    explicit Registry(const std::string& registryDir, bool wow64Process, bool is64Bit);
    std::shared_ptr<HiveStore> Store(Hive hive) const;
    bool Is64Bit() const { return m_is64Bit; }
    bool Wow64Process() const { return m_wow64Process; }

  private:
    std::shared_ptr<HiveStore> m_stores[4];
    bool m_wow64Process;
    bool m_is64Bit;
};

// The file name of a hive in the profile's registry folder ("HKLM.reg").
std::string HiveFileName(Hive hive);

// Where a key of `view` lives: inserts Wow6432Node where WOW64 redirects.
std::vector<std::u16string> RedirectPath(Hive hive, const std::vector<std::u16string>& path,
                                         RegView view, const Registry& registry);

}  // namespace zeph::platform
