#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

// The few system calls that the standard library does not offer, behind one
// header: PlatformPosix.cpp implements it for Linux, PlatformWindows.cpp for
// Windows. Every path is UTF-8; the Windows side widens it before use.
namespace Platform {

// A file operation that failed; the message names the file and the cause.
class EFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A regular file's bytes, read-only, for as long as the object lives: mapped
// where the system can, so that only the pages looked at are read. Anything
// that is not a regular file (a folder, a device, a pipe, a socket) is refused
// without blocking on it.
class TFileView
{
public:
    // Throws EFileError: "<Path>: the file does not exist", "...: this is a
    // folder", "...: this is not a file but a device, pipe or socket", ...
    explicit TFileView(const std::string &Path);
    ~TFileView();
    TFileView(const TFileView &) = delete;
    TFileView &operator=(const TFileView &) = delete;

    std::span<const uint8_t> Bytes() const { return {Data, Size}; }

private:
    const uint8_t *Data = nullptr;
    size_t Size = 0;
    void *Handle = nullptr; // the system's handle of the mapping, if any
};

} // namespace Platform
