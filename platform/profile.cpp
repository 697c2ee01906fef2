#include "platform/profile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "base/ascii.h"
#include "base/format.h"
#include "base/md5.h"
#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/paths.h"
#include "platform/profile_files.h"
#include "platform/registry_store.h"

namespace zeph::platform {
namespace {

constexpr const char* kSystemIni = "system.ini";
constexpr const char* kDrivesIni = "drives.ini";

constexpr struct {
    ProductType type;
    const char* word;
} kProductTypes[] = {
    {ProductType::Workstation, "workstation"},
    {ProductType::DomainController, "domain_controller"},
    {ProductType::Server, "server"},
};

constexpr struct {
    ProcessorArchitecture arch;
    const char* word;
} kArchitectures[] = {
    {ProcessorArchitecture::Intel, "x86"}, {ProcessorArchitecture::Amd64, "x64"},
    {ProcessorArchitecture::Arm, "arm"},   {ProcessorArchitecture::Arm64, "arm64"},
    {ProcessorArchitecture::Ia64, "ia64"},
};

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::u16string DefaultUserName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name) {
        return U16(pw->pw_name);
    }
    if (const char* user = std::getenv("USER"); user && *user) {
        return U16(user);
    }
    return u"user";
}

std::u16string DefaultComputerName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        std::strcpy(host, "DESKTOP");
    }
    std::u16string name;
    for (const char* p = host; *p && *p != '.' && name.size() < 15; ++p) {
        const char c = *p;
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        name.push_back(alnum ? AsciiToUpper(static_cast<char16_t>(c)) : u'-');
    }
    return name;
}

bool IsWindowsDrivePath(std::u16string_view value) {
    const auto parsed = ParseWinPath(value);
    return parsed && parsed->kind == WinPathKind::Drive && value.size() >= 2 && value[1] == u':';
}

}  // namespace

std::string ProfileProblem::ToString() const {
    if (line > 0) {
        return file + ":" + std::to_string(line) + ": " + message;
    }
    return file + ": " + message;
}

std::optional<ProductType> ParseProductType(std::string_view word) {
    for (const auto& entry : kProductTypes) {
        if (AsciiEqualsIgnoreCase(word, entry.word)) {
            return entry.type;
        }
    }
    return std::nullopt;
}

std::optional<ProcessorArchitecture> ParseArchitecture(std::string_view word) {
    for (const auto& entry : kArchitectures) {
        if (AsciiEqualsIgnoreCase(word, entry.word)) {
            return entry.arch;
        }
    }
    if (AsciiEqualsIgnoreCase(word, "amd64") || AsciiEqualsIgnoreCase(word, "x86_64")) {
        return ProcessorArchitecture::Amd64;
    }
    return std::nullopt;
}

const char* ProductTypeWord(ProductType type) {
    for (const auto& entry : kProductTypes) {
        if (entry.type == type) {
            return entry.word;
        }
    }
    return "workstation";
}

const char* ArchitectureWord(ProcessorArchitecture arch) {
    for (const auto& entry : kArchitectures) {
        if (entry.arch == arch) {
            return entry.word;
        }
    }
    return "x64";
}

// Reads and creates the files of a profile. Runs under the profile's lock.
class ProfileLoader {
  public:
    explicit ProfileLoader(Profile& profile) : m_profile(profile) {}

    void Load(bool create) {
        Profile& p = m_profile;
        p.m_facts.userName = DefaultUserName();
        p.m_facts.computerName = DefaultComputerName();
        if (create) {
            if (const int err = MakeHostDirs(p.m_root); err != 0) {
                Problem(p.m_root, 0,
                        std::string("cannot create the profile folder: ") + std::strerror(err));
                create = false;
            }
        }
        LoadSystem(create);
        LoadDrives(create);
        LoadHives(create);
        if (create) {
            EnsureFolders();
        }
        const std::string tag = ToHex(Md5(p.m_root), HexCase::Lower).substr(0, 16);
        p.m_objectTag = tag;
        std::string base;
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
            base = std::string(runtime) + "/zephsetup";
        } else {
            base = "/dev/shm/zephsetup-" + std::to_string(::geteuid());
        }
        p.m_objectDir = base + "/objects-" + tag;
        p.m_registry =
            std::make_shared<Registry>(p.FilePath("registry"), p.IsWow64Process(), p.Is64Bit());
    }

    std::vector<std::pair<std::u16string, std::u16string>> environmentOrder;
    std::vector<std::pair<std::string, std::string>> hardwareOrder;
    bool systemDamaged = false;
    bool drivesDamaged = false;

  private:
    void Problem(const std::string& file, int line, const std::string& message) {
        m_profile.m_problems.push_back({file, line, message});
    }

    void LoadSystem(bool create) {
        Profile& p = m_profile;
        const std::string path = p.FilePath(kSystemIni);
        std::string bytes;
        const int err = ReadHostFile(path, bytes);
        if (err == ENOENT) {
            p.m_folders = DefaultFolders(p.m_facts);
            if (create) {
                WriteNew(path, WriteSystemIni(p.m_facts, p.m_folders, {}, {}));
            }
            return;
        }
        if (err != 0) {
            Problem(path, 0, std::string("cannot read: ") + std::strerror(err));
            systemDamaged = true;
            p.m_folders = DefaultFolders(p.m_facts);
            return;
        }
        const size_t before = p.m_problems.size();
        const StrictIni ini = ParseStrictIni(bytes, path, p.m_problems);
        // Facts first: the default folders depend on the user and architecture.
        for (const auto& section : ini.sections) {
            if (AsciiEqualsIgnoreCase(section.name, "system")) {
                for (const auto& entry : section.entries) {
                    SystemEntry(path, entry);
                }
            }
        }
        p.m_folders = DefaultFolders(p.m_facts);
        for (const auto& section : ini.sections) {
            if (AsciiEqualsIgnoreCase(section.name, "system")) {
                continue;
            }
            if (AsciiEqualsIgnoreCase(section.name, "folders")) {
                for (const auto& entry : section.entries) {
                    FolderEntry(path, entry);
                }
            } else if (AsciiEqualsIgnoreCase(section.name, "environment")) {
                for (const auto& entry : section.entries) {
                    p.m_environment[U16(entry.key)] = U16(entry.value);
                    environmentOrder.emplace_back(U16(entry.key), U16(entry.value));
                }
            } else if (AsciiEqualsIgnoreCase(section.name, "hardware")) {
                for (const auto& entry : section.entries) {
                    if (!entry.value.empty()) {
                        p.m_hardware[AsciiLower(entry.key)] = entry.value;
                    }
                    hardwareOrder.emplace_back(entry.key, entry.value);
                }
            } else {
                Problem(path, section.line, "unknown section [" + section.name + "]");
            }
        }
        systemDamaged = p.m_problems.size() != before;
    }

    void SystemEntry(const std::string& path, const StrictIni::Entry& entry) {
        SystemFacts& f = m_profile.m_facts;
        const std::string& key = entry.key;
        const std::string& value = entry.value;
        auto bad = [&](const char* what) {
            Problem(path, entry.line, key + ": " + what + " (\"" + value + "\")");
        };
        if (key == "version") {
            uint32_t parts[3] = {};
            size_t start = 0;
            int count = 0;
            bool ok = true;
            while (ok && count < 3) {
                const size_t dot = value.find('.', start);
                const std::string_view piece = std::string_view(value).substr(
                    start, dot == std::string::npos ? std::string::npos : dot - start);
                ok = ParseNumber(piece, parts[count]);
                ++count;
                if (dot == std::string::npos) {
                    break;
                }
                start = dot + 1;
            }
            if (!ok || count != 3 || value.find('.', start) != std::string::npos) {
                return bad("expected major.minor.build, such as 10.0.19045");
            }
            f.major = parts[0];
            f.minor = parts[1];
            f.build = parts[2];
        } else if (key == "product_type") {
            const auto type = ParseProductType(value);
            if (!type) {
                return bad("expected workstation, server or domain_controller");
            }
            f.productType = *type;
        } else if (key == "service_pack" || key == "service_pack_minor") {
            uint16_t number = 0;
            if (!ParseNumber(value, number)) {
                return bad("expected a number");
            }
            (key == "service_pack" ? f.servicePackMajor : f.servicePackMinor) = number;
        } else if (key == "architecture") {
            const auto arch = ParseArchitecture(value);
            if (!arch) {
                return bad("expected x86, x64, arm64 or ia64");
            }
            f.architecture = *arch;
        } else if (key == "wow64") {
            if (value != "0" && value != "1") {
                return bad("expected 0 or 1");
            }
            f.wow64Process = value == "1";
        } else if (key == "computer_name") {
            if (value.empty() || value.size() > 15) {
                return bad("expected 1 to 15 characters");
            }
            f.computerName = U16(value);
        } else if (key == "user_name") {
            if (value.empty() || value.find_first_of("\\/:*?\"<>|") != std::string::npos) {
                return bad("expected a user name");
            }
            f.userName = U16(value);
        } else if (key == "code_page") {
            if (!ParseNumber(value, f.ansiCodePage) || f.ansiCodePage == 0) {
                return bad("expected a code page number such as 936");
            }
        } else if (key == "session_id") {
            if (!ParseNumber(value, f.sessionId)) {
                return bad("expected a number");
            }
        } else if (key == "tick_origin") {
            if (!ParseNumber(value, f.tickOriginMs) || f.tickOriginMs < 0) {
                return bad("expected milliseconds since 1970, or 0");
            }
        } else {
            Problem(path, entry.line, "unknown key \"" + key + "\" in [system]");
        }
    }

    void FolderEntry(const std::string& path, const StrictIni::Entry& entry) {
        KnownFolderTable& t = m_profile.m_folders;
        const std::pair<const char*, std::u16string*> slots[] = {
            {"windows", &t.windows},
            {"system", &t.system},
            {"syswow64", &t.systemWow64},
            {"program_files", &t.programFiles},
            {"program_files_x86", &t.programFilesX86},
            {"program_data", &t.programData},
            {"user_profile", &t.userProfile},
            {"app_data", &t.appData},
            {"local_app_data", &t.localAppData},
            {"temp", &t.temp},
            {"desktop", &t.desktop},
        };
        for (const auto& [name, slot] : slots) {
            if (entry.key == name) {
                std::u16string value = U16(entry.value);
                while (value.size() > 3 && (value.back() == u'\\' || value.back() == u'/')) {
                    value.pop_back();
                }
                if (value.empty() && entry.key == "syswow64") {
                    *slot = value;
                    return;
                }
                if (!IsWindowsDrivePath(value)) {
                    Problem(path, entry.line,
                            entry.key + ": expected a Windows path such as C:\\Windows (\"" +
                                entry.value + "\")");
                    return;
                }
                *slot = value;
                return;
            }
        }
        Problem(path, entry.line, "unknown key \"" + entry.key + "\" in [folders]");
    }

    std::string HostFolder(const std::string& value) const {
        if (!value.empty() && value.front() == '/') {
            return std::filesystem::path(value).lexically_normal().string();
        }
        return std::filesystem::path(m_profile.m_root + "/" + value).lexically_normal().string();
    }

    static std::string StripSlash(std::string path) {
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    }

    std::vector<DriveSpec> DefaultDrives() const {
        DriveSpec c;
        c.letter = u'C';
        c.hostPath = m_profile.m_root + "/drive_c";
        c.type = DriveType::Fixed;
        c.bus = BusType::Sata;
        DriveSpec z;
        z.letter = u'Z';
        z.hostPath = "/";
        z.type = DriveType::Remote;
        z.bus = BusType::Unknown;
        return {c, z};
    }

    void LoadDrives(bool create) {
        Profile& p = m_profile;
        const std::string path = p.FilePath(kDrivesIni);
        std::string bytes;
        const int err = ReadHostFile(path, bytes);
        if (err == ENOENT) {
            p.m_drives = DefaultDrives();
            if (create) {
                WriteNew(path, WriteDrivesIni(p.m_drives, p.m_root));
            }
            return;
        }
        if (err != 0) {
            Problem(path, 0, std::string("cannot read: ") + std::strerror(err));
            drivesDamaged = true;
            p.m_drives = DefaultDrives();
            return;
        }
        const size_t before = p.m_problems.size();
        const StrictIni ini = ParseStrictIni(bytes, path, p.m_problems);
        for (const auto& section : ini.sections) {
            const std::string& name = section.name;
            if (name.size() != 1 ||
                !((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
                Problem(path, section.line,
                        "a section must be one drive letter, not [" + name + "]");
                continue;
            }
            DriveSpec drive;
            drive.letter = AsciiToUpper(static_cast<char16_t>(name[0]));
            bool ok = true;
            bool hasPath = false;
            bool hasBus = false;
            for (const auto& entry : section.entries) {
                auto bad = [&](const char* what) {
                    Problem(path, entry.line,
                            entry.key + ": " + what + " (\"" + entry.value + "\")");
                    ok = false;
                };
                if (entry.key == "path") {
                    if (entry.value.empty()) {
                        bad("expected a host folder");
                    } else {
                        drive.hostPath = StripSlash(HostFolder(entry.value));
                        hasPath = true;
                    }
                } else if (entry.key == "type") {
                    const auto type = ParseDriveType(entry.value);
                    if (!type) {
                        bad("expected fixed, removable, remote, cdrom or ramdisk");
                    } else {
                        drive.type = *type;
                    }
                } else if (entry.key == "bus") {
                    const auto bus = ParseBusType(entry.value);
                    if (!bus) {
                        bad("expected a bus such as sata, nvme, usb, scsi or unknown");
                    } else {
                        drive.bus = *bus;
                        hasBus = true;
                    }
                } else if (entry.key == "free_mb") {
                    uint64_t mb = 0;
                    if (entry.value.empty()) {
                        continue;
                    }
                    if (!ParseNumber(entry.value, mb)) {
                        bad("expected a number of MiB");
                    } else {
                        drive.freeMb = mb;
                    }
                } else {
                    Problem(path, entry.line,
                            "unknown key \"" + entry.key + "\" in [" + name + "]");
                    ok = false;
                }
            }
            if (!hasPath) {
                Problem(path, section.line, "drive " + name + ": the key \"path\" is missing");
                ok = false;
            }
            if (!hasBus) {
                drive.bus = drive.type == DriveType::Removable ? BusType::Usb
                            : drive.type == DriveType::Fixed   ? BusType::Sata
                            : drive.type == DriveType::CdRom   ? BusType::Atapi
                                                               : BusType::Unknown;
            }
            if (!ok) {
                continue;
            }
            bool duplicate = false;
            for (const auto& other : p.m_drives) {
                duplicate = duplicate || other.letter == drive.letter;
            }
            if (duplicate) {
                Problem(path, section.line, "drive " + name + " given twice");
                continue;
            }
            p.m_drives.push_back(std::move(drive));
        }
        std::sort(p.m_drives.begin(), p.m_drives.end(),
                  [](const DriveSpec& a, const DriveSpec& b) { return a.letter < b.letter; });
        drivesDamaged = p.m_problems.size() != before;
    }

    void LoadHives(bool create) {
        if (!create) {
            return;
        }
        const std::string dir = m_profile.FilePath("registry");
        MakeHostDirs(dir);
        for (Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
            const std::string path = dir + "/" + HiveFileName(hive);
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
                WriteNew(path, DefaultHiveText(hive, m_profile.m_facts, m_profile.m_folders));
            }
        }
    }

    // The known folders exist on a Windows machine; create the missing ones
    // on drives whose folder exists.
    void EnsureFolders() {
        const KnownFolderTable& t = m_profile.m_folders;
        for (const std::u16string* folder :
             {&t.windows, &t.system, &t.systemWow64, &t.programFiles, &t.programFilesX86,
              &t.programData, &t.userProfile, &t.appData, &t.localAppData, &t.temp, &t.desktop}) {
            if (folder->empty()) {
                continue;
            }
            const auto parsed = ParseWinPath(*folder);
            if (!parsed || parsed->kind != WinPathKind::Drive) {
                continue;
            }
            const DriveSpec* drive = m_profile.FindDrive(parsed->drive);
            if (drive == nullptr) {
                continue;
            }
            if (drive->hostPath == m_profile.m_root + "/drive_c") {
                MakeHostDirs(drive->hostPath);
            }
            struct stat st {};
            if (::stat(drive->hostPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                continue;
            }
            std::string host = drive->hostPath;
            for (const auto& part : parsed->components) {
                host += "/" + U8(part);
            }
            MakeHostDirs(host);
        }
    }

    void WriteNew(const std::string& path, const std::string& text) {
        if (const int err = ReplaceHostFile(path, text); err != 0) {
            Problem(path, 0, std::string("cannot create: ") + std::strerror(err));
        }
    }

    Profile& m_profile;
};

std::shared_ptr<Profile> Profile::Open(const std::string& root) {
    std::shared_ptr<Profile> profile(new Profile());
    profile->m_root =
        std::filesystem::absolute(std::filesystem::path(root)).lexically_normal().string();
    while (profile->m_root.size() > 1 && profile->m_root.back() == '/') {
        profile->m_root.pop_back();
    }
    MakeHostDirs(profile->m_root);
    HostFileLock lock(profile->m_root + "/.lock");
    ProfileLoader loader(*profile);
    loader.Load(true);
    return profile;
}

Profile::~Profile() = default;

const DriveSpec* Profile::FindDrive(char16_t letter) const {
    letter = AsciiToUpper(letter);
    for (const auto& drive : m_drives) {
        if (drive.letter == letter) {
            return &drive;
        }
    }
    return nullptr;
}

bool Profile::Is64Bit() const {
    return m_facts.architecture != ProcessorArchitecture::Intel &&
           m_facts.architecture != ProcessorArchitecture::Arm;
}

bool Profile::IsWow64Process() const {
    return Is64Bit() && m_facts.wow64Process;
}

std::string DefaultProfilePath() {
    if (const char* prefix = std::getenv("ZEPH_PREFIX"); prefix && *prefix) {
        return prefix;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::string(data) + "/zephsetup/prefix";
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    } else {
        home = "/tmp";
    }
    return home + "/.local/share/zephsetup/prefix";
}

namespace {

std::mutex g_currentMutex;
std::shared_ptr<Profile> g_current;

}  // namespace

std::shared_ptr<Profile> CurrentProfile() {
    std::lock_guard lock(g_currentMutex);
    if (!g_current) {
        g_current = Profile::Open(DefaultProfilePath());
        for (const auto& problem : g_current->Problems()) {
            std::fprintf(stderr, "zephsetup: %s\n", problem.ToString().c_str());
        }
    }
    return g_current;
}

void SetCurrentProfile(std::shared_ptr<Profile> profile) {
    std::lock_guard lock(g_currentMutex);
    g_current = std::move(profile);
}

bool InitProfile(const std::string& root, const ProfileChanges& changes,
                 std::vector<ProfileProblem>& problems) {
    problems.clear();
    std::shared_ptr<Profile> profile(new Profile());
    profile->m_root =
        std::filesystem::absolute(std::filesystem::path(root)).lexically_normal().string();
    while (profile->m_root.size() > 1 && profile->m_root.back() == '/') {
        profile->m_root.pop_back();
    }
    if (const int err = MakeHostDirs(profile->m_root); err != 0) {
        problems.push_back(
            {profile->m_root, 0,
             std::string("cannot create the profile folder: ") + std::strerror(err)});
        return false;
    }
    HostFileLock lock(profile->m_root + "/.lock");
    ProfileLoader loader(*profile);
    // Changes that shape the defaults of a new profile go in first.
    const bool fresh = ::access(profile->FilePath(kSystemIni).c_str(), F_OK) != 0;
    if (fresh) {
        SystemFacts facts;
        facts.userName = DefaultUserName();
        facts.computerName = DefaultComputerName();
        if (changes.architecture)
            facts.architecture = *changes.architecture;
        if (changes.major)
            facts.major = *changes.major;
        if (changes.minor)
            facts.minor = *changes.minor;
        if (changes.build)
            facts.build = *changes.build;
        if (changes.productType)
            facts.productType = *changes.productType;
        if (changes.servicePackMajor)
            facts.servicePackMajor = *changes.servicePackMajor;
        if (changes.wow64Process)
            facts.wow64Process = *changes.wow64Process;
        if (changes.computerName)
            facts.computerName = *changes.computerName;
        if (changes.ansiCodePage)
            facts.ansiCodePage = *changes.ansiCodePage;
        if (changes.sessionId)
            facts.sessionId = *changes.sessionId;
        if (changes.tickOriginMs)
            facts.tickOriginMs = *changes.tickOriginMs;
        if (const int err = ReplaceHostFile(profile->FilePath(kSystemIni),
                                            WriteSystemIni(facts, DefaultFolders(facts), {}, {}));
            err != 0) {
            problems.push_back({profile->FilePath(kSystemIni), 0,
                                std::string("cannot create: ") + std::strerror(err)});
            return false;
        }
    }
    loader.Load(true);
    for (const auto& problem : profile->m_problems) {
        problems.push_back(problem);
    }
    if (loader.systemDamaged || loader.drivesDamaged) {
        return false;  // never rewrite a damaged file
    }
    problems.clear();

    SystemFacts& f = profile->m_facts;
    const SystemFacts before = f;
    if (changes.major)
        f.major = *changes.major;
    if (changes.minor)
        f.minor = *changes.minor;
    if (changes.build)
        f.build = *changes.build;
    if (changes.productType)
        f.productType = *changes.productType;
    if (changes.servicePackMajor)
        f.servicePackMajor = *changes.servicePackMajor;
    if (changes.architecture)
        f.architecture = *changes.architecture;
    if (changes.wow64Process)
        f.wow64Process = *changes.wow64Process;
    if (changes.computerName)
        f.computerName = *changes.computerName;
    if (changes.ansiCodePage)
        f.ansiCodePage = *changes.ansiCodePage;
    if (changes.sessionId)
        f.sessionId = *changes.sessionId;
    if (changes.tickOriginMs)
        f.tickOriginMs = *changes.tickOriginMs;
    if (f.architecture != before.architecture) {
        // The x86 folders follow the architecture.
        const KnownFolderTable defaults = DefaultFolders(f);
        profile->m_folders.systemWow64 = defaults.systemWow64;
        profile->m_folders.programFilesX86 = defaults.programFilesX86;
    }

    std::vector<DriveSpec> drives = profile->m_drives;
    for (char16_t letter : changes.removedDrives) {
        letter = AsciiToUpper(letter);
        std::erase_if(drives, [letter](const DriveSpec& d) { return d.letter == letter; });
    }
    for (DriveSpec drive : changes.drives) {
        drive.letter = AsciiToUpper(drive.letter);
        if (drive.hostPath.empty() || drive.hostPath.front() != '/') {
            drive.hostPath = profile->m_root + "/" + drive.hostPath;
        }
        drive.hostPath = std::filesystem::path(drive.hostPath).lexically_normal().string();
        while (drive.hostPath.size() > 1 && drive.hostPath.back() == '/') {
            drive.hostPath.pop_back();
        }
        std::erase_if(drives, [&](const DriveSpec& d) { return d.letter == drive.letter; });
        drives.push_back(drive);
    }
    std::sort(drives.begin(), drives.end(),
              [](const DriveSpec& a, const DriveSpec& b) { return a.letter < b.letter; });

    const std::string systemPath = profile->FilePath(kSystemIni);
    if (const int err = ReplaceHostFile(
            systemPath,
            WriteSystemIni(f, profile->m_folders, loader.environmentOrder, loader.hardwareOrder));
        err != 0) {
        problems.push_back({systemPath, 0, std::string("cannot write: ") + std::strerror(err)});
        return false;
    }
    const std::string drivesPath = profile->FilePath(kDrivesIni);
    if (const int err = ReplaceHostFile(drivesPath, WriteDrivesIni(drives, profile->m_root));
        err != 0) {
        problems.push_back({drivesPath, 0, std::string("cannot write: ") + std::strerror(err)});
        return false;
    }
    for (const auto& drive : drives) {
        if (drive.hostPath.rfind(profile->m_root + "/", 0) == 0) {
            MakeHostDirs(drive.hostPath);  // folders inside the profile are ours to make
        }
    }

    // The registry's copies of the facts follow them.
    if (f.major != before.major || f.minor != before.minor || f.build != before.build ||
        f.computerName != before.computerName || f.ansiCodePage != before.ansiCodePage) {
        Registry registry(profile->FilePath("registry"), false, false);
        auto text = [](std::u16string_view value) {
            std::string bytes;
            for (char16_t c : value) {
                bytes.push_back(static_cast<char>(c & 0xFF));
                bytes.push_back(static_cast<char>(c >> 8));
            }
            bytes.append(2, '\0');
            return bytes;
        };
        const WinError result =
            registry.Store(Hive::LocalMachine)->Modify([&](RegNode& tree, bool& changed) {
                bool created = false;
                std::vector<std::u16string> path;
                SplitKeyPath(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", path);
                RegNode* version = tree.FindOrCreate(path, created);
                const std::u16string build = U16(std::to_string(f.build));
                version->SetValue(u"CurrentBuild", RegType::Sz, text(build));
                version->SetValue(u"CurrentBuildNumber", RegType::Sz, text(build));
                SplitKeyPath(u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                             path);
                tree.FindOrCreate(path, created)
                    ->SetValue(u"ComputerName", RegType::Sz, text(f.computerName));
                SplitKeyPath(u"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", path);
                tree.FindOrCreate(path, created)
                    ->SetValue(u"ACP", RegType::Sz, text(U16(std::to_string(f.ansiCodePage))));
                changed = true;
                return WinError::Success;
            });
        if (result != WinError::Success) {
            problems.push_back(
                {profile->FilePath("registry/HKLM.reg"), 0,
                 "the registry's copy of the facts was not updated: " + WinErrorMessage(result)});
        }
    }
    return true;
}

}  // namespace zeph::platform
