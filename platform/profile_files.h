// Inside the profile: the strict reader of its INI files and the default
// content of a new profile.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"
#include "platform/registry.h"

namespace zeph::platform {

// An INI file read strictly: every line must be blank, a comment (';' or
// '#'), a [section] or a key=value inside a section; a section or a key
// given twice is an error too. Each entry keeps its line for messages.
struct StrictIni {
    struct Entry {
        std::string key;
        std::string value;
        int line = 0;
    };
    struct Section {
        std::string name;
        int line = 0;
        std::vector<Entry> entries;
    };
    std::vector<Section> sections;
};

// Bytes in UTF-8 (with or without BOM) or UTF-16LE with BOM. Problems name
// `file`; the lines that are understood are kept.
StrictIni ParseStrictIni(std::string_view bytes, const std::string& file,
                         std::vector<ProfileProblem>& problems);

// The text of system.ini and drives.ini for the given settings.
std::string WriteSystemIni(
    const SystemFacts& facts, const KnownFolderTable& folders,
    const std::vector<std::pair<std::u16string, std::u16string>>& environment,
    const std::vector<std::pair<std::string, std::string>>& hardware);
std::string WriteDrivesIni(const std::vector<DriveSpec>& drives, const std::string& profileRoot);

// The folders of a new profile for these facts.
KnownFolderTable DefaultFolders(const SystemFacts& facts);

// The .reg text of a new profile's hive.
std::string DefaultHiveText(Hive hive, const SystemFacts& facts, const KnownFolderTable& folders);

}  // namespace zeph::platform
