// Drives of the machine profile: each letter maps to a host folder and has a
// type, a bus and free space, as the Windows drive queries report them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zeph::platform {

// GetDriveType's numbers.
enum class DriveType : uint32_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// STORAGE_BUS_TYPE's numbers.
enum class BusType : uint32_t {
    Unknown = 0,
    Scsi = 1,
    Atapi = 2,
    Ata = 3,
    Ieee1394 = 4,
    Ssa = 5,
    Fibre = 6,
    Usb = 7,
    Raid = 8,
    Iscsi = 9,
    Sas = 10,
    Sata = 11,
    Sd = 12,
    Mmc = 13,
    Virtual = 14,
    FileBackedVirtual = 15,
    Spaces = 16,
    Nvme = 17,
};

// The words drives.ini uses ("fixed", "usb", ...); nullopt for an unknown word.
std::optional<DriveType> ParseDriveType(std::string_view word);
std::optional<BusType> ParseBusType(std::string_view word);
const char* DriveTypeWord(DriveType type);
const char* BusTypeWord(BusType bus);

// GetDriveType of a root such as "C:\" (or "C:"): NoRootDir for anything that
// is not the root of a drive in the table.
DriveType GetDriveType(std::u16string_view root);

// The bus a drive is attached by (the storage property query). nullopt for a
// letter not in the table and for remote drives, where the query fails.
std::optional<BusType> GetDriveBusType(char16_t letter);

struct DiskFreeSpace {
    uint64_t freeBytesAvailable = 0;  // free bytes available to the caller
    uint64_t totalBytes = 0;
    uint64_t totalFreeBytes = 0;
};

// GetDiskFreeSpaceEx for any path on a drive: the host's statvfs of the
// drive's folder, or the profile's free_mb when the drive sets one.
WinError GetDiskFreeSpace(std::u16string_view path, DiskFreeSpace& out);

// GetLogicalDriveStrings: "C:\", "D:\", ... in letter order.
std::vector<std::u16string> GetLogicalDriveStrings();
// GetLogicalDrives: bit 0 for A: ... bit 25 for Z:.
uint32_t GetLogicalDrives();

}  // namespace zeph::platform
