#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QIODevice;

// A file that could not be written; the message names the file and the cause.
class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The cause of a failed file operation in plain words, from its errno value:
// "the disk is full", "the name is too long", "permission denied", ...
std::string DescribeFileError(int Error);

// Why TAtomicSave would refuse Target ("<Target>: the folder ... does not
// exist", "...: this is a folder", ...), or empty when it can be saved. Lets a
// front end find out before the work that leads to the save.
std::string TargetProblem(const std::string &Target);

// Files saved together, all or none. Each is written to a temporary file in
// its target's folder; Commit puts all of them in place at once (each by an
// atomic rename; when a later one cannot be put in place, those before it get
// their old contents back). Until then, and after an abort or a failure, every
// target is as it was, and the temporary files go with the object.
//
// A target must be a regular file or not exist yet: a folder, a device, a pipe
// or a socket is refused rather than replaced, and so is a write-protected
// file. A symbolic link is followed: the file it points to is replaced.
class TAtomicSave
{
public:
    // Opens the temporary files; throws EFileWriteError naming the first
    // target that cannot be written.
    explicit TAtomicSave(const std::vector<std::string> &Targets);
    ~TAtomicSave();
    TAtomicSave(const TAtomicSave &) = delete;
    TAtomicSave &operator=(const TAtomicSave &) = delete;

    size_t Count() const { return Files.size(); }
    const std::string &Target(size_t File) const;

    // Appends to file File; throws EFileWriteError.
    void Write(size_t File, const void *Data, size_t Bytes);
    // Writes at Offset, e.g. a table whose values are known only once the data
    // behind it is written; throws EFileWriteError.
    void WriteAt(size_t File, uint64_t Offset, const void *Data, size_t Bytes);
    // Starts the disk writing of bytes already written, so that the final sync
    // of Commit has little left to wait for. Only a hint.
    void StartWriteback(size_t File, uint64_t Offset, uint64_t Bytes);
    // File File as a device that appends (for writers that take a QIODevice);
    // a failure shows as a failed write, and Write's message is kept in DeviceError.
    QIODevice &Device(size_t File);
    const std::string &DeviceError(size_t File) const;

    // Syncs and closes every file and puts all of them in place; throws
    // EFileWriteError, leaving every target as it was.
    void Commit();
    // Drops the temporary files; the targets stay as they were.
    void Cancel();

private:
    struct TFile;
    void Open(const std::vector<std::string> &Targets);
    std::vector<std::unique_ptr<TFile>> Files;
};
