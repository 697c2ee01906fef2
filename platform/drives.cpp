#include "platform/drives.h"

#include <sys/statvfs.h>

#include <cerrno>

#include "base/ascii.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace zeph::platform {
namespace {

constexpr struct {
    DriveType type;
    const char* word;
} kDriveTypes[] = {
    {DriveType::Fixed, "fixed"},     {DriveType::Removable, "removable"},
    {DriveType::Remote, "remote"},   {DriveType::CdRom, "cdrom"},
    {DriveType::RamDisk, "ramdisk"}, {DriveType::Unknown, "unknown"},
};

constexpr struct {
    BusType bus;
    const char* word;
} kBusTypes[] = {
    {BusType::Unknown, "unknown"}, {BusType::Scsi, "scsi"},
    {BusType::Atapi, "atapi"},     {BusType::Ata, "ata"},
    {BusType::Ieee1394, "1394"},   {BusType::Ssa, "ssa"},
    {BusType::Fibre, "fibre"},     {BusType::Usb, "usb"},
    {BusType::Raid, "raid"},       {BusType::Iscsi, "iscsi"},
    {BusType::Sas, "sas"},         {BusType::Sata, "sata"},
    {BusType::Sd, "sd"},           {BusType::Mmc, "mmc"},
    {BusType::Virtual, "virtual"}, {BusType::FileBackedVirtual, "filebackedvirtual"},
    {BusType::Spaces, "spaces"},   {BusType::Nvme, "nvme"},
};

}  // namespace

std::optional<DriveType> ParseDriveType(std::string_view word) {
    for (const auto& entry : kDriveTypes) {
        if (AsciiEqualsIgnoreCase(word, entry.word)) {
            return entry.type;
        }
    }
    return std::nullopt;
}

std::optional<BusType> ParseBusType(std::string_view word) {
    for (const auto& entry : kBusTypes) {
        if (AsciiEqualsIgnoreCase(word, entry.word)) {
            return entry.bus;
        }
    }
    return std::nullopt;
}

const char* DriveTypeWord(DriveType type) {
    for (const auto& entry : kDriveTypes) {
        if (entry.type == type) {
            return entry.word;
        }
    }
    return "unknown";
}

const char* BusTypeWord(BusType bus) {
    for (const auto& entry : kBusTypes) {
        if (entry.bus == bus) {
            return entry.word;
        }
    }
    return "unknown";
}

DriveType GetDriveType(std::u16string_view root) {
    const bool isRoot =
        (root.size() == 2 || (root.size() == 3 && (root[2] == u'\\' || root[2] == u'/'))) &&
        root[1] == u':';
    if (!isRoot) {
        return DriveType::NoRootDir;
    }
    const DriveSpec* drive = CurrentProfile()->FindDrive(root[0]);
    return drive ? drive->type : DriveType::NoRootDir;
}

std::optional<BusType> GetDriveBusType(char16_t letter) {
    const DriveSpec* drive = CurrentProfile()->FindDrive(letter);
    if (drive == nullptr || drive->type == DriveType::Remote) {
        return std::nullopt;
    }
    return drive->bus;
}

WinError GetDiskFreeSpace(std::u16string_view path, DiskFreeSpace& out) {
    out = {};
    const auto parsed = ParseWinPath(path);
    if (!parsed || parsed->kind != WinPathKind::Drive || parsed->drive == 0) {
        return WinError::InvalidName;
    }
    const auto profile = CurrentProfile();
    const DriveSpec* drive = profile->FindDrive(parsed->drive);
    if (drive == nullptr) {
        return WinError::PathNotFound;
    }
    struct statvfs st {};
    const bool haveHost = ::statvfs(drive->hostPath.c_str(), &st) == 0;
    if (!haveHost && !drive->freeMb) {
        return errno == ENOENT ? WinError::NotReady : WinErrorFromErrno(errno);
    }
    if (haveHost) {
        const uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
        out.totalBytes = static_cast<uint64_t>(st.f_blocks) * unit;
        out.totalFreeBytes = static_cast<uint64_t>(st.f_bfree) * unit;
        out.freeBytesAvailable = static_cast<uint64_t>(st.f_bavail) * unit;
    }
    if (drive->freeMb) {
        const uint64_t free = *drive->freeMb << 20;
        out.totalFreeBytes = free;
        out.freeBytesAvailable = free;
        if (out.totalBytes < free) {
            out.totalBytes = free;
        }
    }
    return WinError::Success;
}

std::vector<std::u16string> GetLogicalDriveStrings() {
    std::vector<std::u16string> roots;
    for (const auto& drive : CurrentProfile()->Drives()) {
        roots.push_back(std::u16string(1, drive.letter) + u":\\");
    }
    return roots;
}

uint32_t GetLogicalDrives() {
    uint32_t mask = 0;
    for (const auto& drive : CurrentProfile()->Drives()) {
        mask |= 1u << (drive.letter - u'A');
    }
    return mask;
}

}  // namespace zeph::platform
