// The machine profile: one folder that makes this Linux machine look like the
// Windows machine the installer expects. It holds the system facts
// (system.ini), the drive table (drives.ini), the registry hives
// (registry/*.reg), the firewall list (firewall.ini) and the drive folders.
//
// A profile is created with defaults on first use. A damaged file is reported
// with its name and line and is never emptied or rewritten: a damaged line of
// system.ini or drives.ini is skipped (its setting keeps the default), and
// every operation on a damaged registry hive fails until it is mended.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "platform/drives.h"

namespace zeph::platform {

// VER_NT_* numbers.
enum class ProductType : uint8_t {
    Workstation = 1,
    DomainController = 2,
    Server = 3,
};

// PROCESSOR_ARCHITECTURE_* numbers.
enum class ProcessorArchitecture : uint16_t {
    Intel = 0,
    Arm = 5,
    Ia64 = 6,
    Amd64 = 9,
    Arm64 = 12,
};

struct SystemFacts {
    uint32_t major = 10;
    uint32_t minor = 0;
    uint32_t build = 19045;
    ProductType productType = ProductType::Workstation;
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    ProcessorArchitecture architecture = ProcessorArchitecture::Amd64;
    // The installer counts as a 32-bit process on a 64-bit system (WOW64):
    // its default registry view is the 32-bit one and it sees the x86
    // Program Files folder. Ignored on a 32-bit system.
    bool wow64Process = true;
    std::u16string computerName;  // up to 15 characters, upper case
    std::u16string userName;
    uint32_t ansiCodePage = 936;
    uint32_t sessionId = 1;
    // Milliseconds since 1970 of the last simulated restart; 0 counts ticks
    // from the host's own boot.
    int64_t tickOriginMs = 0;
};

// Windows-form folders, without a trailing backslash.
struct KnownFolderTable {
    std::u16string windows;          // C:\Windows
    std::u16string system;           // C:\Windows\System32
    std::u16string systemWow64;      // C:\Windows\SysWOW64
    std::u16string programFiles;     // C:\Program Files
    std::u16string programFilesX86;  // C:\Program Files (x86)
    std::u16string programData;      // C:\ProgramData (All Users)
    std::u16string userProfile;      // C:\Users\<user>
    std::u16string appData;          // ...\AppData\Roaming
    std::u16string localAppData;     // ...\AppData\Local
    std::u16string temp;             // ...\AppData\Local\Temp
    std::u16string desktop;          // ...\Desktop
};

struct DriveSpec {
    char16_t letter = u'C';  // upper case
    std::string hostPath;    // absolute host folder
    DriveType type = DriveType::Fixed;
    BusType bus = BusType::Sata;
    std::optional<uint64_t> freeMb;  // simulated free space in MiB
};

// A damaged profile file: "registry/HKLM.reg:12: expected a key or value".
struct ProfileProblem {
    std::string file;  // host path
    int line = 0;      // 1-based; 0 when the problem is not on one line
    std::string message;
    std::string ToString() const;
};

class Registry;  // the hives of a profile (registry.h works on the current one)

class Profile {
  public:
    // Opens the profile at `root` (a host folder), creating what is missing
    // with defaults. Never fails: problems are listed in Problems().
    static std::shared_ptr<Profile> Open(const std::string& root);

    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    const std::string& Root() const { return m_root; }
    const SystemFacts& Facts() const { return m_facts; }
    const KnownFolderTable& Folders() const { return m_folders; }
    const std::vector<DriveSpec>& Drives() const { return m_drives; }
    const DriveSpec* FindDrive(char16_t letter) const;
    // Extra environment variables ([environment] of system.ini).
    const std::map<std::u16string, std::u16string, AsciiLessIgnoreCase>& ExtraEnvironment() const {
        return m_environment;
    }

    // [hardware] of system.ini: fixed hardware facts (hardware.h).
    const std::map<std::string, std::string>& HardwareOverrides() const { return m_hardware; }

    // Problems met while opening; hive problems are found on first use of
    // the hive and reported by Registry.
    const std::vector<ProfileProblem>& Problems() const { return m_problems; }

    // True when the process runs as the 32-bit installer on a 64-bit system.
    bool IsWow64Process() const;
    bool Is64Bit() const;

    std::string FilePath(const std::string& name) const { return m_root + "/" + name; }
    // The folder of the named kernel objects of this profile (one per
    // profile, so that two profiles are two machines).
    const std::string& ObjectDir() const { return m_objectDir; }
    // An identifier of this profile, used to name its pipes.
    const std::string& ObjectTag() const { return m_objectTag; }

    const std::shared_ptr<Registry>& Hives() const { return m_registry; }

  private:
    Profile() = default;

    std::string m_root;
    SystemFacts m_facts;
    KnownFolderTable m_folders;
    std::vector<DriveSpec> m_drives;
    std::map<std::u16string, std::u16string, AsciiLessIgnoreCase> m_environment;
    std::map<std::string, std::string> m_hardware;
    std::vector<ProfileProblem> m_problems;
    std::string m_objectDir;
    std::string m_objectTag;
    std::shared_ptr<Registry> m_registry;

    friend class ProfileLoader;
    friend bool InitProfile(const std::string&, const struct ProfileChanges&,
                            std::vector<ProfileProblem>&);
};

// $ZEPH_PREFIX, else $XDG_DATA_HOME/zephsetup/prefix, else
// ~/.local/share/zephsetup/prefix.
std::string DefaultProfilePath();

// The profile every platform call works on: the one at DefaultProfilePath(),
// opened on first use, unless one was set. Its problems are written once to
// standard error when it is opened.
std::shared_ptr<Profile> CurrentProfile();
// Replaces the current profile (tests, zephctl --prefix). Calls already
// under way keep the profile they started with.
void SetCurrentProfile(std::shared_ptr<Profile> profile);

// Changes that `zephctl prefix init` applies; unset fields keep their value.
struct ProfileChanges {
    std::optional<uint32_t> major, minor, build;
    std::optional<ProductType> productType;
    std::optional<uint16_t> servicePackMajor;
    std::optional<ProcessorArchitecture> architecture;
    std::optional<bool> wow64Process;
    std::optional<std::u16string> computerName;
    std::optional<uint32_t> ansiCodePage;
    std::optional<uint32_t> sessionId;
    std::optional<int64_t> tickOriginMs;
    std::vector<DriveSpec> drives;        // added or replaced; a relative hostPath is in the profile
    std::vector<char16_t> removedDrives;  // letters
};

// Creates the profile at `root` when missing and writes the changes into
// system.ini and drives.ini. Refuses (and writes nothing) when a file it
// would rewrite is damaged; `problems` then says why.
bool InitProfile(const std::string& root, const ProfileChanges& changes,
                 std::vector<ProfileProblem>& problems);

// Words of system.ini.
std::optional<ProductType> ParseProductType(std::string_view word);
std::optional<ProcessorArchitecture> ParseArchitecture(std::string_view word);
const char* ProductTypeWord(ProductType type);
const char* ArchitectureWord(ProcessorArchitecture arch);

}  // namespace zeph::platform
