#include "platform/profile_files.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/strings.h"
#include "platform/registry_store.h"

namespace zeph::platform {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string DecodeUtf8(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return U8(text);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

std::string Bytes(std::u16string_view text) {
    return U8(text);
}

}  // namespace

StrictIni ParseStrictIni(std::string_view raw, const std::string& file,
                         std::vector<ProfileProblem>& problems) {
    StrictIni ini;
    const std::string text = DecodeUtf8(raw);
    if (!IsValidUtf8(text)) {
        problems.push_back({file, 0, "the file is not UTF-8 text"});
        return ini;
    }
    std::string_view rest = text;
    int lineNumber = 0;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || Trim(line.substr(1, line.size() - 2)).empty()) {
                problems.push_back({file, lineNumber, "a section line must be [name]"});
                continue;
            }
            const std::string name(Trim(line.substr(1, line.size() - 2)));
            bool duplicate = false;
            for (const auto& section : ini.sections) {
                duplicate = duplicate || AsciiEqualsIgnoreCase(section.name, name);
            }
            if (duplicate) {
                problems.push_back({file, lineNumber, "section [" + name + "] given twice"});
            }
            ini.sections.push_back({name, lineNumber, {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || Trim(line.substr(0, eq)).empty()) {
            problems.push_back({file, lineNumber, "expected key=value or [section]"});
            continue;
        }
        if (ini.sections.empty()) {
            problems.push_back({file, lineNumber, "a key before the first [section]"});
            continue;
        }
        const std::string key(Trim(line.substr(0, eq)));
        auto& section = ini.sections.back();
        bool duplicate = false;
        for (const auto& entry : section.entries) {
            duplicate = duplicate || AsciiEqualsIgnoreCase(entry.key, key);
        }
        if (duplicate) {
            problems.push_back({file, lineNumber, "key \"" + key + "\" given twice"});
            continue;
        }
        section.entries.push_back({key, std::string(Trim(line.substr(eq + 1))), lineNumber});
    }
    return ini;
}

KnownFolderTable DefaultFolders(const SystemFacts& facts) {
    const bool is64 = facts.architecture != ProcessorArchitecture::Intel &&
                      facts.architecture != ProcessorArchitecture::Arm;
    KnownFolderTable folders;
    folders.windows = u"C:\\Windows";
    folders.system = u"C:\\Windows\\System32";
    folders.systemWow64 = is64 ? u"C:\\Windows\\SysWOW64" : u"";
    folders.programFiles = u"C:\\Program Files";
    folders.programFilesX86 = is64 ? u"C:\\Program Files (x86)" : u"C:\\Program Files";
    folders.programData = u"C:\\ProgramData";
    const std::u16string user = facts.userName.empty() ? u"user" : facts.userName;
    folders.userProfile = u"C:\\Users\\" + user;
    folders.appData = folders.userProfile + u"\\AppData\\Roaming";
    folders.localAppData = folders.userProfile + u"\\AppData\\Local";
    folders.temp = folders.localAppData + u"\\Temp";
    folders.desktop = folders.userProfile + u"\\Desktop";
    return folders;
}

std::string WriteSystemIni(
    const SystemFacts& facts, const KnownFolderTable& folders,
    const std::vector<std::pair<std::u16string, std::u16string>>& environment,
    const std::vector<std::pair<std::string, std::string>>& hardware) {
    std::string text;
    text += "; The Windows machine this profile describes. Edit with care or use\n";
    text += "; \"zephctl prefix init\"; see docs/machine-profile.md.\n";
    text += "[system]\n";
    text += Format("version=%u.%u.%u\n", facts.major, facts.minor, facts.build);
    text += Format("product_type=%s\n", ProductTypeWord(facts.productType));
    text += Format("service_pack=%u\n", facts.servicePackMajor);
    if (facts.servicePackMinor != 0) {
        text += Format("service_pack_minor=%u\n", facts.servicePackMinor);
    }
    text += Format("architecture=%s\n", ArchitectureWord(facts.architecture));
    text += "; 1: the installer runs as a 32-bit process on a 64-bit system\n";
    text += Format("wow64=%d\n", facts.wow64Process ? 1 : 0);
    text += "computer_name=" + Bytes(facts.computerName) + "\n";
    text += "user_name=" + Bytes(facts.userName) + "\n";
    text += Format("code_page=%u\n", facts.ansiCodePage);
    text += Format("session_id=%u\n", facts.sessionId);
    text += "; milliseconds since 1970 of the last simulated restart; 0: the host's boot\n";
    text += Format("tick_origin=%lld\n", static_cast<long long>(facts.tickOriginMs));
    text += "\n[folders]\n";
    const std::pair<const char*, const std::u16string*> entries[] = {
        {"windows", &folders.windows},
        {"system", &folders.system},
        {"syswow64", &folders.systemWow64},
        {"program_files", &folders.programFiles},
        {"program_files_x86", &folders.programFilesX86},
        {"program_data", &folders.programData},
        {"user_profile", &folders.userProfile},
        {"app_data", &folders.appData},
        {"local_app_data", &folders.localAppData},
        {"temp", &folders.temp},
        {"desktop", &folders.desktop},
    };
    for (const auto& [key, value] : entries) {
        text += std::string(key) + "=" + Bytes(*value) + "\n";
    }
    text += "\n[environment]\n";
    for (const auto& [name, value] : environment) {
        text += Bytes(name) + "=" + Bytes(value) + "\n";
    }
    text += "\n; Fixed hardware facts (cpuid_eax, cpuid_edx, disk_model, disk_serial,\n";
    text += "; board_serial, mac, sound, vpn); empty: read from this machine.\n";
    text += "[hardware]\n";
    for (const auto& [key, value] : hardware) {
        text += key + "=" + value + "\n";
    }
    return text;
}

std::string WriteDrivesIni(const std::vector<DriveSpec>& drives, const std::string& profileRoot) {
    std::string text;
    text += "; One section per drive letter: path (a host folder, relative to the\n";
    text += "; profile or absolute), type (fixed, removable, remote, cdrom, ramdisk),\n";
    text += "; bus (sata, nvme, usb, ...), free_mb to simulate free space.\n";
    for (const auto& drive : drives) {
        std::string path = drive.hostPath;
        const std::string prefix = profileRoot + "/";
        if (path.compare(0, prefix.size(), prefix) == 0 && path.size() > prefix.size()) {
            path = path.substr(prefix.size());
        }
        text += "\n[" + U8(std::u16string(1, drive.letter)) + "]\n";
        text += "path=" + path + "\n";
        text += std::string("type=") + DriveTypeWord(drive.type) + "\n";
        text += std::string("bus=") + BusTypeWord(drive.bus) + "\n";
        if (drive.freeMb) {
            text += Format("free_mb=%llu\n", static_cast<unsigned long long>(*drive.freeMb));
        }
    }
    return text;
}

namespace {

std::u16string ProductName(const SystemFacts& facts) {
    const bool server = facts.productType != ProductType::Workstation;
    if (facts.major >= 10) {
        return server ? u"Windows Server 2019 Standard" : u"Windows 10 Pro";
    }
    if (facts.major == 6) {
        switch (facts.minor) {
            case 0:
                return server ? u"Windows Server 2008 Standard" : u"Windows Vista Ultimate";
            case 1:
                return server ? u"Windows Server 2008 R2 Standard" : u"Windows 7 Ultimate";
            case 2:
                return server ? u"Windows Server 2012 Standard" : u"Windows 8 Pro";
            default:
                return server ? u"Windows Server 2012 R2 Standard" : u"Windows 8.1 Pro";
        }
    }
    if (facts.major == 5 && facts.minor == 1) {
        return u"Microsoft Windows XP";
    }
    return u"Microsoft Windows";
}

std::u16string Number(uint32_t value) {
    return U16(std::to_string(value));
}

}  // namespace

std::string DefaultHiveText(Hive hive, const SystemFacts& facts, const KnownFolderTable& folders) {
    const bool is64 = facts.architecture != ProcessorArchitecture::Intel &&
                      facts.architecture != ProcessorArchitecture::Arm;
    RegNode root;
    auto key = [&root](std::u16string_view path) {
        std::vector<std::u16string> parts;
        SplitKeyPath(path, parts);
        bool created = false;
        return root.FindOrCreate(parts, created);
    };
    auto text = [](std::u16string_view value) {
        std::string bytes;
        for (char16_t c : value) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        bytes.append(2, '\0');
        return bytes;
    };
    auto dword = [](uint32_t value) {
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return bytes;
    };
    switch (hive) {
        case Hive::LocalMachine: {
            RegNode* version = key(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
            version->SetValue(u"ProductName", RegType::Sz, text(ProductName(facts)));
            version->SetValue(
                u"CurrentVersion", RegType::Sz,
                text(facts.major >= 10 ? u"6.3"
                                       : Number(facts.major) + u"." + Number(facts.minor)));
            version->SetValue(u"CurrentBuild", RegType::Sz, text(Number(facts.build)));
            version->SetValue(u"CurrentBuildNumber", RegType::Sz, text(Number(facts.build)));
            if (facts.major >= 10) {
                version->SetValue(u"CurrentMajorVersionNumber", RegType::Dword, dword(facts.major));
                version->SetValue(u"CurrentMinorVersionNumber", RegType::Dword, dword(facts.minor));
            }
            version->SetValue(
                u"InstallationType", RegType::Sz,
                text(facts.productType == ProductType::Workstation ? u"Client" : u"Server"));
            if (facts.servicePackMajor != 0) {
                version->SetValue(u"CSDVersion", RegType::Sz,
                                  text(u"Service Pack " + Number(facts.servicePackMajor)));
            }
            version->SetValue(u"SystemRoot", RegType::Sz, text(folders.windows));
            version->SetValue(u"RegisteredOwner", RegType::Sz, text(facts.userName));
            RegNode* fonts = key(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
            fonts->SetValue(u"Microsoft YaHei & Microsoft YaHei UI (TrueType)", RegType::Sz,
                            text(u"msyh.ttc"));
            fonts->SetValue(u"SimSun & NSimSun (TrueType)", RegType::Sz, text(u"simsun.ttc"));
            fonts->SetValue(u"Arial (TrueType)", RegType::Sz, text(u"arial.ttf"));
            RegNode* current = key(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
            current->SetValue(u"ProgramFilesDir", RegType::Sz, text(folders.programFiles));
            current->SetValue(u"CommonFilesDir", RegType::Sz,
                              text(folders.programFiles + u"\\Common Files"));
            if (is64) {
                current->SetValue(u"ProgramFilesDir (x86)", RegType::Sz,
                                  text(folders.programFilesX86));
                current->SetValue(u"ProgramW6432Dir", RegType::Sz, text(folders.programFiles));
            }
            for (std::u16string_view sub : {u"Run", u"RunOnce", u"Uninstall"}) {
                key(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\" + std::u16string(sub));
                if (is64) {
                    key(u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\" +
                        std::u16string(sub));
                }
            }
            if (is64) {
                RegNode* current32 =
                    key(u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion");
                current32->SetValue(u"ProgramFilesDir", RegType::Sz, text(folders.programFilesX86));
                current32->SetValue(u"CommonFilesDir", RegType::Sz,
                                    text(folders.programFilesX86 + u"\\Common Files"));
                key(u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion")
                    ->SetValue(u"ProductName", RegType::Sz, text(ProductName(facts)));
                key(u"SOFTWARE\\Classes\\Wow6432Node\\CLSID");
            }
            key(u"SOFTWARE\\Classes\\CLSID");
            key(u"SYSTEM\\CurrentControlSet\\Control\\Session Manager");
            key(u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName")
                ->SetValue(u"ComputerName", RegType::Sz, text(facts.computerName));
            key(u"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage")
                ->SetValue(u"ACP", RegType::Sz, text(Number(facts.ansiCodePage)));
            key(u"SYSTEM\\CurrentControlSet\\Services");
            break;
        }
        case Hive::CurrentUser: {
            key(u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings")
                ->SetValue(u"ProxyEnable", RegType::Dword, dword(0));
            RegNode* environment = key(u"Environment");
            environment->SetValue(u"TEMP", RegType::ExpandSz,
                                  text(u"%USERPROFILE%\\AppData\\Local\\Temp"));
            environment->SetValue(u"TMP", RegType::ExpandSz,
                                  text(u"%USERPROFILE%\\AppData\\Local\\Temp"));
            key(u"Software\\Classes");
            break;
        }
        case Hive::ClassesRoot:
            key(u"CLSID");
            if (is64) {
                key(u"Wow6432Node\\CLSID");
            }
            break;
        case Hive::Users:
            key(u".DEFAULT\\Software");
            break;
    }
    return WriteTree(hive, root);
}

}  // namespace zeph::platform
