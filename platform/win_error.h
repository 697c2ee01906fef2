// Result codes of the platform layer. They carry the numbers Windows gives the
// same failures, because code above the layer compares some of them (a value
// too large for the caller's buffer, an object that already exists, a file
// that is in use).
#pragma once

#include <cstdint>
#include <string>

namespace zeph::platform {

enum class WinError : uint32_t {
    Success = 0,
    InvalidFunction = 1,
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    InvalidHandle = 6,
    NotEnoughMemory = 8,
    BadFormat = 11,
    InvalidData = 13,
    NotSameDevice = 17,
    WriteProtect = 19,
    NotReady = 21,
    SharingViolation = 32,
    HandleEof = 38,
    NotSupported = 50,
    BadNetPath = 53,
    FileExists = 80,
    InvalidParameter = 87,
    BrokenPipe = 109,
    DiskFull = 112,
    InsufficientBuffer = 122,
    InvalidName = 123,
    ModNotFound = 126,
    ProcNotFound = 127,
    DirNotEmpty = 145,
    BadPathname = 161,
    AlreadyExists = 183,
    BadExeFormat = 193,
    FilenameExcedRange = 206,
    PipeBusy = 231,
    NoData = 232,
    PipeNotConnected = 233,
    MoreData = 234,
    WaitTimeout = 258,
    NoMoreItems = 259,
    DirectoryInvalid = 267,
    NotOwner = 288,
    TooManyPosts = 298,
    RegistryCorrupt = 1015,
    RegistryIoFailed = 1016,
    KeyDeleted = 1018,
    NoAssociation = 1155,
    NotFound = 1168,
};

inline constexpr uint32_t ToNumber(WinError e) {
    return static_cast<uint32_t>(e);
}

// The Windows message text of a code, for operators ("The system cannot find
// the file specified.").
std::string WinErrorMessage(WinError error);

// The code Windows would give for a POSIX errno value.
WinError WinErrorFromErrno(int err);

}  // namespace zeph::platform
