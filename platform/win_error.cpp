#include "platform/win_error.h"

#include <cerrno>

#include "base/format.h"

namespace zeph::platform {

std::string WinErrorMessage(WinError error) {
    switch (error) {
        case WinError::Success:
            return "The operation completed successfully.";
        case WinError::InvalidFunction:
            return "Incorrect function.";
        case WinError::FileNotFound:
            return "The system cannot find the file specified.";
        case WinError::PathNotFound:
            return "The system cannot find the path specified.";
        case WinError::AccessDenied:
            return "Access is denied.";
        case WinError::InvalidHandle:
            return "The handle is invalid.";
        case WinError::NotEnoughMemory:
            return "Not enough memory resources are available.";
        case WinError::BadFormat:
            return "An attempt was made to load a program with an incorrect format.";
        case WinError::InvalidData:
            return "The data is invalid.";
        case WinError::NotSameDevice:
            return "The system cannot move the file to a different disk drive.";
        case WinError::WriteProtect:
            return "The media is write protected.";
        case WinError::NotReady:
            return "The device is not ready.";
        case WinError::SharingViolation:
            return "The process cannot access the file because it is being used by another "
                   "process.";
        case WinError::HandleEof:
            return "Reached the end of the file.";
        case WinError::NotSupported:
            return "The request is not supported.";
        case WinError::BadNetPath:
            return "The network path was not found.";
        case WinError::FileExists:
            return "The file exists.";
        case WinError::InvalidParameter:
            return "The parameter is incorrect.";
        case WinError::BrokenPipe:
            return "The pipe has been ended.";
        case WinError::DiskFull:
            return "There is not enough space on the disk.";
        case WinError::InsufficientBuffer:
            return "The data area passed to a system call is too small.";
        case WinError::InvalidName:
            return "The filename, directory name, or volume label syntax is incorrect.";
        case WinError::ModNotFound:
            return "The specified module could not be found.";
        case WinError::ProcNotFound:
            return "The specified procedure could not be found.";
        case WinError::DirNotEmpty:
            return "The directory is not empty.";
        case WinError::BadPathname:
            return "The specified path is invalid.";
        case WinError::AlreadyExists:
            return "Cannot create a file when that file already exists.";
        case WinError::BadExeFormat:
            return "The program is not a valid application.";
        case WinError::FilenameExcedRange:
            return "The filename or extension is too long.";
        case WinError::PipeBusy:
            return "All pipe instances are busy.";
        case WinError::NoData:
            return "The pipe is being closed.";
        case WinError::PipeNotConnected:
            return "No process is on the other end of the pipe.";
        case WinError::MoreData:
            return "More data is available.";
        case WinError::WaitTimeout:
            return "The wait operation timed out.";
        case WinError::NoMoreItems:
            return "No more data is available.";
        case WinError::DirectoryInvalid:
            return "The directory name is invalid.";
        case WinError::NotOwner:
            return "Attempt to release mutex not owned by caller.";
        case WinError::TooManyPosts:
            return "Too many posts were made to a semaphore.";
        case WinError::RegistryCorrupt:
            return "The registry hive file is damaged.";
        case WinError::RegistryIoFailed:
            return "The registry hive file could not be written.";
        case WinError::KeyDeleted:
            return "Illegal operation attempted on a registry key that has been marked for "
                   "deletion.";
        case WinError::NoAssociation:
            return "No application is associated with the specified file for this operation.";
        case WinError::NotFound:
            return "Element not found.";
    }
    return Format("Error %u.", ToNumber(error));
}

WinError WinErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return WinError::Success;
        case ENOENT:
            return WinError::FileNotFound;
        case ENOTDIR:
            return WinError::PathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return WinError::AccessDenied;
        case EEXIST:
            return WinError::AlreadyExists;
        case ENOTEMPTY:
            return WinError::DirNotEmpty;
        case ENOSPC:
        case EDQUOT:
            return WinError::DiskFull;
        case EROFS:
            return WinError::WriteProtect;
        case EXDEV:
            return WinError::NotSameDevice;
        case ENAMETOOLONG:
            return WinError::FilenameExcedRange;
        case EBUSY:
        case ETXTBSY:
            return WinError::SharingViolation;
        case ENOMEM:
            return WinError::NotEnoughMemory;
        case EINVAL:
            return WinError::InvalidParameter;
        case EBADF:
            return WinError::InvalidHandle;
        case EPIPE:
        case ECONNRESET:
            return WinError::BrokenPipe;
        case ENOEXEC:
            return WinError::BadExeFormat;
        case ETIMEDOUT:
            return WinError::WaitTimeout;
        case ENOTSUP:
            return WinError::NotSupported;
        default:
            return WinError::InvalidFunction;
    }
}

}  // namespace zeph::platform
