#pragma once

// What both systems' files of the platform layer share: the plain words for
// each kind of error and the test seam. Included only by those two files.
#include "Platform.h"

#include <algorithm>
#include <cstddef>
#include <mutex>

namespace Platform {

// The system's own text for an error number of its kind (Other).
std::string SystemText(int System);

std::string Describe(const TError &Error)
{
    switch (Error.Kind) {
    case TErrorKind::None:
        return "no error";
    case TErrorKind::NotFound:
        return "the file does not exist";
    case TErrorKind::Exists:
        return "the name is taken";
    case TErrorKind::IsFolder:
        return "this is a folder";
    case TErrorKind::NotRegular:
        return "this is not a regular file but a device, a pipe or a socket, which is left alone";
    case TErrorKind::DiskFull:
        return "the disk is full";
    case TErrorKind::QuotaFull:
        return "the disk quota is used up";
    case TErrorKind::TooLarge:
        return "the file is larger than the system allows";
    case TErrorKind::NameTooLong:
        return "the name is too long";
    case TErrorKind::Denied:
        return "permission denied";
    case TErrorKind::ReadOnlyDisk:
        return "the disk is read-only";
    case TErrorKind::InUse:
        return "the file is in use by another program";
    case TErrorKind::NotSupported:
        return "the file system does not support this";
    case TErrorKind::InputOutput:
        return "the disk reported an input/output error";
    case TErrorKind::BadName:
        return "the name holds a character that file names cannot have";
    case TErrorKind::Other:
        break;
    }
    return SystemText(Error.System);
}

std::string Message(const std::string &Path, const TError &Error)
{
    if (Error.Kind == TErrorKind::InUse)
        return Path + " is in use by another program (close the client or the server)";
    return Path + ": " + Describe(Error);
}

namespace Shared {

inline std::mutex FaultMutex;
inline TFaultHook Faults;

// The injected failure of Operation on Path, if a test asked for one.
inline TError InjectedFault(const char *Operation, const std::string &Path)
{
    std::lock_guard lock(FaultMutex);
    return Faults ? Faults(Operation, Path) : TError{};
}

// How many bytes ReadFile asks for next, having Got of at most MaxBytes + 1:
// 64 KB, then as many as it has, so that a small file does not make it
// clear a buffer of the largest size.
inline size_t NextReadRoom(size_t Got, size_t MaxBytes)
{
    const size_t left = MaxBytes + 1 - Got;
    return Got < (size_t(64) << 10) ? std::min(left, size_t(64) << 10) : std::min(left, Got);
}

} // namespace Shared

std::string LinkFollowed(const std::string &Path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = PathFromUtf8(Path);
    // Link by link, so that a link to a file not made yet leads there too.
    int hops = 0;
    for (; hops < 40 && fs::is_symlink(path, error); ++hops) {
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            return Path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    if (hops == 0 || fs::is_symlink(path, error))
        return Path; // no link, or links in a circle
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return Utf8FromPath(error ? path : resolved);
}

void SetFaultHook(TFaultHook Hook)
{
    std::lock_guard lock(Shared::FaultMutex);
    Shared::Faults = std::move(Hook);
}

} // namespace Platform
