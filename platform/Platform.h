#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

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

// What went wrong with a file operation, the same on every system.
enum class TErrorKind
{
    None,
    NotFound,
    Exists,
    IsFolder,
    NotRegular,  // a device, a pipe or a socket
    DiskFull,
    QuotaFull,
    TooLarge,    // beyond the largest file the system (or ulimit -f) allows
    NameTooLong,
    Denied,
    ReadOnlyDisk,
    InUse,       // another program holds the file open (Windows) or locked
    NotSupported, // e.g. hard links on FAT
    InputOutput,
    BadName,     // a character that file names cannot have (Windows: * ? < > | " :)
    Other,
};

struct TError
{
    TErrorKind Kind = TErrorKind::None;
    int System = 0; // errno or GetLastError(), for the text of Other
    explicit operator bool() const { return Kind != TErrorKind::None; }
};

// The cause in plain words: "the disk is full", "the name is too long", ...
std::string Describe(const TError &Error);
// "<Path>: <cause>", or for a file in use "<Path> is in use by another
// program (close the client or the server)".
std::string Message(const std::string &Path, const TError &Error);

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
    // Bytes from Offset on (within Bytes()) copied into Out, read from the
    // file instead of through the mapping: for a large file read once from end
    // to end, where touching every mapped page costs more than the copy (on
    // some virtual machines several times more). InputOutput when the file has
    // become shorter since it was opened. Safe on several threads at once.
    TError ReadAt(uint64_t Offset, void *Out, size_t Bytes) const;

private:
    const uint8_t *Data = nullptr;
    size_t Size = 0;
    void *Handle = nullptr;   // the system's handle of the mapping, if any
    intptr_t File = -1;       // the open file: a descriptor, or a HANDLE on Windows
};

// Reads a regular file whole, at most MaxBytes + 1 bytes (so that the caller
// sees that it is larger), without blocking on a pipe. NotFound, IsFolder and
// NotRegular tell what the path is when it is no file.
TError ReadFile(const std::string &Path, size_t MaxBytes, std::string &Text);

// What makes a file itself, whatever it is called: device and inode, or the
// volume serial and file index on Windows.
struct TFileId
{
    uint64_t Volume = 0;
    uint64_t Index = 0;
    bool operator==(const TFileId &) const = default;
};

enum class TFileType { Missing, Regular, Folder, Other };

struct TFileInfo
{
    TFileType Type = TFileType::Missing;
    TFileId Id;
    uint64_t Size = 0;
    uint32_t Links = 0;
    bool Writable = false; // the owner may write (no read-only attribute)
    uint32_t Mode = 0;     // POSIX permission bits; 0 on Windows
};

// What Path is, through symbolic links. A missing file is no error (Type
// Missing); an error is a path that cannot be looked at (too long, denied).
TError Inspect(const std::string &Path, TFileInfo &Info);

// An open file. Files for writing are opened without blocking (a pipe with no
// reader cannot hold the program up) and only when they are regular files.
class TFile
{
public:
    enum class TOpen
    {
        CreateNew,   // for writing; fails with Exists when the name is taken
        Write,       // for writing, created or truncated (after its type is checked)
        ReadExisting // for reading (and locking) a file that is there
    };

    TFile() = default;
    ~TFile();
    TFile(const TFile &) = delete;
    TFile &operator=(const TFile &) = delete;
    TFile(TFile &&Other) noexcept;
    TFile &operator=(TFile &&Other) noexcept;

    // Permissions: POSIX bits for a new file (less the umask); on Windows only
    // the owner's write bit counts (clear: read-only).
    TError Open(const std::string &Path, TOpen How, uint32_t Permissions = 0666);
    bool IsOpen() const { return Handle != Closed; }

    // Write appends where the last Write ended; WriteAt writes at Offset and
    // leaves that place alone. Writes at offsets may run on several threads,
    // beside the appending writes of one thread.
    TError Write(const void *Data, size_t Bytes);
    TError WriteAt(uint64_t Offset, const void *Data, size_t Bytes);
    // Starts the disk writing of a range already written; only a hint.
    void StartWriteback(uint64_t Offset, uint64_t Bytes);
    // Waits until the file's data are on the disk.
    TError Flush();
    TError SetPermissions(uint32_t Permissions);
    // An exclusive lock held until Unlock or Close; InUse when another
    // process (or another open of the file) holds it. Never waits.
    TError TryLock();
    // True while the file still has a name (it was not removed meanwhile).
    bool HasName() const;
    TError Close();

private:
    friend TError ReadFile(const std::string &Path, size_t MaxBytes, std::string &Text);
    static constexpr intptr_t Closed = -1;
    intptr_t Handle = Closed; // a file descriptor, or a HANDLE on Windows
    // Windows: where the next Write goes. Every write there names its offset,
    // as a write at an offset moves the file pointer of the handle, which
    // WriteAt on another thread would otherwise move under Write.
    uint64_t Appended = 0;
};

// Puts From in the place of To, replacing a file To in one step.
TError Replace(const std::string &From, const std::string &To);
// Gives Existing the second name Link (a hard link).
TError HardLink(const std::string &Existing, const std::string &Link);
TError Remove(const std::string &Path);
// Makes the renames and removals in Folder durable, where the system can.
void FlushFolder(const std::string &Folder);
// The names of the entries of Folder (not "." and ".."); empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string &Folder);

// A path object for a UTF-8 name, and a path's UTF-8 name: std::filesystem
// would take a plain std::string in the ANSI code page on Windows and mangle
// every letter beyond it, so UTF-8 names cross over only through these two.
inline std::filesystem::path PathFromUtf8(const std::string &Utf8)
{
    return std::filesystem::path(std::u8string(Utf8.begin(), Utf8.end()));
}
inline std::string Utf8FromPath(const std::filesystem::path &Path)
{
    const std::u8string name = Path.u8string();
    return std::string(name.begin(), name.end());
}

// An absolute, normal path in the form in which the file system compares
// names, so that two names of one file not made yet compare equal: as it is
// on POSIX; on Windows in capitals (its file systems ignore the case of
// names).
std::string NameKey(const std::string &Path);

// The name a file made under Path gets: Path itself on POSIX; on Windows
// without the dots and spaces at the end of its last part, which the system
// drops (so "map0LegacyMUL.uop." would be a file named by its format's
// extension without being one).
std::string NameAsSaved(const std::string &Path);

// Path itself, or where Path is a symbolic link the file it leads to (the
// file that replacing Path replaces), as an absolute name.
std::string LinkFollowed(const std::string &Path);

// The running program's own file.
std::string ExecutablePath();

// The arguments of main as UTF-8 (on Windows from the wide command line).
std::vector<std::string> Arguments(int Count, char **Values);

// Asks the system to back the whole 2 MB stretches of a large block of
// memory that has not been touched yet with large pages, so that writing it
// the first time takes one page fault per 2 MB instead of one per 4 KB
// (AllocateLarge asks it for all its memory). A request only: where the
// system has no such request, or refuses it, nothing changes.
void PreferLargePages(void *Data, size_t Bytes);

// Zeroed memory for a large array (a grid of the map's size), aligned to at
// least a 4 KB page: where the system has large pages, whole 2 MB stretches
// aligned to 2 MB and asked for in large pages, so that none of it is
// written first through 4 KB pages (on some virtual machines a 4 KB page
// fault costs as much as 2 MB in large pages). Null when there is no memory;
// FreeLarge with the same Bytes gives it back.
void *AllocateLarge(size_t Bytes);
void FreeLarge(void *Data, size_t Bytes);

// Lets the calling thread run only where a processor would otherwise be idle:
// for work that may wait, beside work that may not (on Linux SCHED_IDLE, on
// Windows the idle priority). A request only: where the system has no such
// class, nothing changes. It cannot be undone, so only for a thread of its own.
void RunThreadWhenIdle();

// Writes a write beyond the system's file size limit (ulimit -f) report
// TooLarge instead of ending the process. Call once, early.
void ReportOversizeWrites();

// Ctrl-C and termination requests: Handler gets a request number (a signal
// number on POSIX). On POSIX it runs as a signal handler, so it may only set
// flags or call EndByRequest. A request that the caller set to be ignored
// (nohup) stays ignored.
void OnInterrupt(void (*Handler)(int Request));
// The request number of a plain termination request.
int TerminationRequest();
// Ends the process as the request would have without a handler.
[[noreturn]] void EndByRequest(int Request);

// The console: whether Stream is a terminal, its width in characters (0 when
// unknown), and text written to it (on a Windows console as Unicode).
bool IsTerminal(std::FILE *Stream);
int TerminalColumns(std::FILE *Stream);
void WriteText(std::FILE *Stream, const std::string &Utf8);
// Standard output and error, when they go to a file or a pipe, get "\n" as it
// is rather than "\r\n" on Windows: what the program prints is then the
// same bytes on every system. Call once, before anything is written.
void PlainLineEnds();

// For tests only: makes chosen operations fail without doing them. The hook
// is asked before each Replace, HardLink, Remove, creation of a new file,
// TFile::Write, WriteAt and Flush with the operation's name ("replace",
// "link", "remove", "create", "write", "flush") and path (the target of a
// replace, the existing file of a link; empty for writes and flushes); an
// error it returns is the operation's result.
using TFaultHook = std::function<TError(const std::string &Operation, const std::string &Path)>;
void SetFaultHook(TFaultHook Hook);

} // namespace Platform
