// The registry of the machine profile: four hives kept as .reg text in the
// profile, with the 32-bit and 64-bit views of a 64-bit Windows.
//
// Keys are case-insensitive and keep the case they were created with; paths
// are UTF-16 with backslashes. On a 64-bit profile the 32-bit view redirects
// HKLM\SOFTWARE and the CLSID class keys to their Wow6432Node twins, as
// WOW64 does. Every write takes the hive's file lock, reads the file again
// and replaces it atomically, so processes writing at once lose nothing.
//
// All calls work on the current profile (profile.h); any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zeph::platform {

enum class Hive : uint8_t {
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
};

// "HKLM" or "HKEY_LOCAL_MACHINE" (any case) and the other three.
std::optional<Hive> ParseHiveName(std::u16string_view name);
std::u16string HiveName(Hive hive);       // HKEY_LOCAL_MACHINE
std::u16string HiveShortName(Hive hive);  // HKLM

enum class RegView : uint8_t {
    Default,   // the process's own: 32-bit for the WOW64 installer on a 64-bit profile
    Wow64_32,  // KEY_WOW64_32KEY
    Wow64_64,  // KEY_WOW64_64KEY
};

enum class RegAccess : uint8_t {
    Read,   // KEY_READ: writes through the key fail with AccessDenied
    Write,  // KEY_WRITE
    All,    // KEY_ALL_ACCESS
};

// REG_* numbers.
enum class RegType : uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

const char* RegTypeName(RegType type);  // "REG_SZ"
std::optional<RegType> ParseRegTypeName(std::string_view name);

enum class RegDisposition : uint32_t {
    CreatedNewKey = 1,
    OpenedExistingKey = 2,
};

struct RegValueEntry {
    std::u16string name;  // empty for the default value
    RegType type = RegType::None;
    std::string data;  // the bytes as Windows stores them (UTF-16LE text with its NUL)
};

class Registry;

class RegKey {
  public:
    RegKey();
    ~RegKey();
    RegKey(RegKey&&) noexcept;
    RegKey& operator=(RegKey&&) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // RegOpenKeyEx: FileNotFound when the key does not exist. An empty
    // subKey opens the hive's root.
    static WinError Open(Hive hive, std::u16string_view subKey, RegAccess access, RegView view,
                         RegKey& out);
    // RegCreateKeyEx with full access: opens the key, creating it and its
    // missing parents.
    static WinError Create(Hive hive, std::u16string_view subKey, RegView view, RegKey& out,
                           RegDisposition* disposition = nullptr);

    // The same below an open key, in the key's view.
    WinError OpenSubKey(std::u16string_view subKey, RegAccess access, RegKey& out) const;
    WinError CreateSubKey(std::u16string_view subKey, RegKey& out,
                          RegDisposition* disposition = nullptr) const;

    bool IsOpen() const { return m_registry != nullptr; }
    void Close();

    // RegQueryValueEx. `type`, `data` and `dataSize` may each be null. With
    // data null, *dataSize receives the size the value needs. With a buffer
    // smaller than the value: MoreData, *dataSize = the size needed, and the
    // buffer is left alone. A value that does not exist: FileNotFound. An
    // empty name is the key's default value.
    WinError QueryValue(std::u16string_view name, RegType* type, void* data,
                        uint32_t* dataSize) const;
    // The whole value.
    WinError GetValue(std::u16string_view name, RegValueEntry& out) const;

    // Typed reads: nullopt when the value is missing or of another type.
    // ReadString takes REG_SZ and REG_EXPAND_SZ (unexpanded), up to the first
    // NUL; ReadMultiString the strings of a REG_MULTI_SZ; ReadBinary the raw
    // bytes of any type.
    std::optional<std::u16string> ReadString(std::u16string_view name) const;
    std::optional<uint32_t> ReadDword(std::u16string_view name) const;
    std::optional<uint64_t> ReadQword(std::u16string_view name) const;
    std::optional<std::vector<std::u16string>> ReadMultiString(std::u16string_view name) const;
    std::optional<std::string> ReadBinary(std::u16string_view name) const;

    // RegSetValueEx with the bytes as given.
    WinError SetValue(std::u16string_view name, RegType type, std::string_view data);
    // Stores the text with its terminating NUL, as Windows callers do.
    WinError SetString(std::u16string_view name, std::u16string_view value,
                       RegType type = RegType::Sz);
    WinError SetDword(std::u16string_view name, uint32_t value);
    WinError SetQword(std::u16string_view name, uint64_t value);
    WinError SetMultiString(std::u16string_view name, const std::vector<std::u16string>& values);
    WinError SetBinary(std::u16string_view name, std::string_view bytes);

    WinError DeleteValue(std::u16string_view name);
    // RegDeleteKey: AccessDenied when the key has subkeys.
    WinError DeleteSubKey(std::u16string_view subKey);
    // RegDeleteTree: the subkey with everything below it.
    WinError DeleteSubKeyTree(std::u16string_view subKey);

    // Subkey names in the order Windows lists them (case-insensitive order);
    // values in the order they were created.
    WinError EnumSubKeys(std::vector<std::u16string>& names) const;
    WinError EnumValues(std::vector<RegValueEntry>& values) const;

    Hive GetHive() const { return m_hive; }
    // The key's path in its hive after redirection ("SOFTWARE\Wow6432Node\x").
    std::u16string Path() const;
    RegView View() const { return m_view; }

  private:
    std::shared_ptr<Registry> m_registry;  // keeps the hives of the key's profile
    Hive m_hive = Hive::LocalMachine;
    std::vector<std::u16string> m_path;  // resolved components
    RegView m_view = RegView::Default;
    RegAccess m_access = RegAccess::Read;
};

// RegDeleteTree / RegDeleteKeyEx from a hive root in a view.
enum class DeleteMode : uint8_t {
    KeyOnly,  // fails with AccessDenied when the key has subkeys
    Tree,
};
WinError DeleteKey(Hive hive, std::u16string_view subKey, RegView view, DeleteMode mode);

// .reg text in and out (reg import / reg export). Import applies every key
// and value of the text (including "[-KEY]" and "name"=- removals) in the
// given view; on a malformed text nothing is applied and `error` names the
// line. Export writes the key and everything below it as UTF-8 .reg text.
WinError ImportRegText(std::string_view bytes, RegView view, std::string& error);
WinError ExportRegText(Hive hive, std::u16string_view subKey, RegView view, std::string& out);

// The problem of a damaged hive file, once a call has met it ("" when none).
std::string HiveProblem(Hive hive);

}  // namespace zeph::platform
