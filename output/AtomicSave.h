#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A file that could not be written; the message names the file (or the
// folder that cannot be written) and the cause.
class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Why TAtomicSave would refuse Target ("<Target>: the folder ... does not
// exist", "...: this is a folder", "...: this is not a regular file ...",
// "<folder>: this folder cannot be written ..."), or empty when it can be
// saved. Lets a front end check every output before any work is done.
std::string TargetProblem(const std::string &Target);

// Finishes or undoes saves in the folders of Targets that a killed or crashed
// run left half done, and removes the temporary files it left, leaving alone
// those of saves still running in other programs. Returns one line per thing
// done, for the user ("finished an interrupted save: ..."); empty when there
// was nothing to do. Front ends call it before they run and print the lines;
// TAtomicSave calls it too, so that an old save never overtakes a newer one.
std::vector<std::string> RecoverInterruptedSaves(const std::vector<std::string> &Targets);

// Files saved together, all or none. Each is written to a temporary file in
// its target's folder, locked for as long as the save lives, so that another
// program's recovery leaves it alone. Commit puts all of them in place: with
// several files, a small journal is written and flushed first, and each
// earlier file is kept under a second name (a hard link, or where the file
// system has none, by renaming it aside) until all are in place; a failure
// puts every earlier file back, and a kill is finished or undone by the next
// RecoverInterruptedSaves. Until Commit, and after an abort or a failure,
// every target is as it was, and the temporary files go with the object.
//
// A target must be a regular file or not exist yet: a folder, a device, a pipe
// or a socket is refused rather than replaced, and so is a write-protected
// file. A symbolic link is followed: the file it points to is replaced.
class TAtomicSave
{
public:
    // Recovers the targets' folders, then opens the temporary files; throws
    // EFileWriteError naming the first target that cannot be written.
    explicit TAtomicSave(const std::vector<std::string> &Targets);
    ~TAtomicSave();
    TAtomicSave(const TAtomicSave &) = delete;
    TAtomicSave &operator=(const TAtomicSave &) = delete;

    // What the recovery before the save did (see RecoverInterruptedSaves).
    const std::vector<std::string> &Recovered() const { return RecoveryLines; }

    // Appends to file File; throws EFileWriteError.
    void Write(size_t File, const void *Data, size_t Bytes);
    // Writes at Offset, e.g. a table whose values are known only once the data
    // behind it is written; throws EFileWriteError.
    void WriteAt(size_t File, uint64_t Offset, const void *Data, size_t Bytes);
    // Starts the disk writing of bytes already written, so that the final sync
    // of Commit has little left to wait for. Only a hint.
    void StartWriteback(size_t File, uint64_t Offset, uint64_t Bytes);

    // Flushes every file and puts all of them in place; throws
    // EFileWriteError, leaving every target as it was.
    void Commit();
    // Drops the temporary files; the targets stay as they were.
    void Cancel();

private:
    struct TFile;
    struct TJournal;
    void Open(const std::vector<std::string> &Targets);
    void CommitOne();
    void CommitSeveral();
    bool Undo();
    std::vector<std::unique_ptr<TFile>> Files;
    std::unique_ptr<TJournal> Journal;
    std::vector<std::string> RecoveryLines;
};
