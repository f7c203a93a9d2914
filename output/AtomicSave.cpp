#include "AtomicSave.h"

#include "Platform.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <set>

namespace fs = std::filesystem;
using Platform::TError;
using Platform::TErrorKind;

// How a save of several files is made safe against a kill at any moment:
//
//   1. every new file is written to .morvane-<n>.tmp beside its target,
//      locked, and flushed to the disk;
//   2. the journal .morvane-<m>.journal is written beside the first target
//      and flushed: each file's temporary name, target and backup name, then
//      "end". From here on the save is finished, not undone, after a kill;
//   3. each earlier file gets the backup name .morvane-<n>.old (a hard link,
//      or renamed aside where the file system has no hard links), then its
//      temporary file is renamed onto the target;
//   4. the backups go, then the journal.
//
// A failure in step 3 adds "rollback" to the journal and puts every earlier
// file back. The next save, or a front end before it runs, reads what a
// killed run left: a whole journal is rolled forward (a rollback journal
// back), one without "end" means nothing was touched yet. A file whose lock
// another process holds belongs to a save still running and is left alone.

namespace {

constexpr const char *Prefix = ".morvane-";
constexpr const char *JournalHeader = "morvane save journal 1\n";
// A journal is a few lines; anything larger is not one of ours.
constexpr size_t LargestJournal = 1 << 20;

[[noreturn]] void Fail(const std::string &Message)
{
    throw EFileWriteError(Message);
}

std::string FolderOf(const std::string &Path)
{
    const fs::path folder = Platform::PathFromUtf8(Path).parent_path();
    return folder.empty() ? std::string(".") : Platform::Utf8FromPath(folder);
}

std::string Join(const std::string &Folder, const std::string &Name)
{
    return Platform::Utf8FromPath(Platform::PathFromUtf8(Folder) / Platform::PathFromUtf8(Name));
}

bool Exists(const std::string &Path)
{
    Platform::TFileInfo info;
    return !Platform::Inspect(Path, info) && info.Type != Platform::TFileType::Missing;
}

bool EndsWith(const std::string &Text, const std::string &End)
{
    return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

bool IsOurs(const std::string &Name, const std::string &Kind)
{
    return Name.rfind(Prefix, 0) == 0 && EndsWith(Name, Kind);
}

// "<folder>: this folder cannot be written (<cause>)" for the causes that are
// the folder's, the usual message for the others.
std::string CreationMessage(const std::string &Target, const std::string &Folder, const TError &Error)
{
    if (Error.Kind == TErrorKind::Denied || Error.Kind == TErrorKind::ReadOnlyDisk)
        return Folder + ": this folder cannot be written (" + Platform::Describe(Error) + ")";
    return Platform::Message(Target, Error);
}

// Creates Folder/.morvane-<random><Kind>, a name nothing else uses, and locks
// it. A file removed by another program's recovery between its creation and
// its lock (it found the file unlocked) is given up for another name.
TError CreateLocked(const std::string &Folder, const char *Kind, Platform::TFile &File, std::string &Name,
                    uint32_t Permissions = 0666)
{
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t number;
        {
            std::lock_guard lock(mutex);
            number = random();
        }
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(number));
        Name = Join(Folder, std::string(Prefix) + suffix + Kind);
        const TError error = File.Open(Name, Platform::TFile::TOpen::CreateNew, Permissions);
        if (error.Kind == TErrorKind::Exists)
            continue;
        if (error)
            return error;
        if (!File.TryLock() && File.HasName())
            return {};
        File.Close();
    }
    return {TErrorKind::Exists, 0};
}

// The backup name that goes with a temporary file: the same number, ".old".
std::string BackupNameOf(const std::string &Temporary)
{
    return Temporary.substr(0, Temporary.size() - 4) + ".old";
}

// What a save to Target would replace, or why it cannot be saved.
struct TTargetInfo
{
    std::string Final; // the file that gets replaced (a link followed)
    bool Exists = false;
    uint32_t Mode = 0;
    std::string Problem; // empty when the target can be saved
};

TTargetInfo InspectTarget(const std::string &Target)
{
    TTargetInfo result;
    if (const std::string saved = Platform::NameAsSaved(Target); saved != Target) {
        result.Final = Target;
        result.Problem = Target + ": the system drops the dots and spaces at the end of a file name; name it " + saved;
        return result;
    }
    result.Final = Platform::LinkFollowed(Target);
    Platform::TFileInfo info;
    if (const TError problem = Platform::Inspect(result.Final, info)) {
        result.Problem = Target + ": " + Platform::Describe(problem);
        return result;
    }
    if (info.Type != Platform::TFileType::Missing) {
        if (info.Type == Platform::TFileType::Folder)
            result.Problem = Target + ": this is a folder";
        else if (info.Type != Platform::TFileType::Regular)
            result.Problem = Platform::Message(Target, {TErrorKind::NotRegular, 0});
        else if (!info.Writable) // replacing the file would get round its protection
            result.Problem = Target + ": the file is write-protected";
        result.Exists = true;
        result.Mode = info.Mode;
        return result;
    }
    const std::string folder = FolderOf(result.Final);
    Platform::TFileInfo folderInfo;
    const TError folderError = Platform::Inspect(folder, folderInfo);
    if (folderError.Kind == TErrorKind::NameTooLong || folderError.Kind == TErrorKind::Denied)
        result.Problem = Target + ": " + Platform::Describe(folderError);
    else if (folderInfo.Type != Platform::TFileType::Folder)
        result.Problem = Target + ": the folder " + folder + " does not exist";
    return result;
}

// One file of a journal.
struct TJournalEntry
{
    std::string Temporary, Final, Backup; // Backup empty: there was no earlier file
};

struct TJournalText
{
    std::vector<TJournalEntry> Entries;
    bool Complete = false; // "end" was written: every new file was whole and on the disk
    bool Rollback = false; // the save failed and was putting the earlier files back
};

// A field of a journal: its length, a colon, its bytes and a line end, so
// that any name (even one with a line end in it) reads back as it was.
std::string Field(const std::string &Text)
{
    return std::to_string(Text.size()) + ":" + Text + "\n";
}

bool ReadField(const std::string &Text, size_t &At, std::string &Value)
{
    const size_t colon = Text.find(':', At);
    if (colon == std::string::npos || colon == At || colon - At > 9)
        return false;
    size_t length = 0;
    for (size_t i = At; i < colon; ++i) {
        if (Text[i] < '0' || Text[i] > '9')
            return false;
        length = length * 10 + size_t(Text[i] - '0');
    }
    if (colon + 1 + length + 1 > Text.size() || Text[colon + 1 + length] != '\n')
        return false;
    Value = Text.substr(colon + 1, length);
    At = colon + 1 + length + 1;
    return true;
}

TJournalText ParseJournal(const std::string &Text)
{
    TJournalText journal;
    if (Text.rfind(JournalHeader, 0) != 0)
        return journal;
    size_t at = std::string(JournalHeader).size();
    for (;;) {
        if (Text.compare(at, 4, "end\n") == 0) {
            journal.Complete = true;
            journal.Rollback = Text.compare(at + 4, 9, "rollback\n") == 0;
            return journal;
        }
        TJournalEntry entry;
        if (!ReadField(Text, at, entry.Temporary) || !ReadField(Text, at, entry.Final) ||
            !ReadField(Text, at, entry.Backup))
            return journal; // cut short: the run was killed while writing it
        journal.Entries.push_back(entry);
    }
}

// Whether Path lies in Folder itself (the same folder, however named).
bool InFolder(const std::string &Path, const std::string &Folder)
{
    Platform::TFileInfo parent, folder;
    return !Platform::Inspect(Platform::Utf8FromPath(Platform::PathFromUtf8(Path).lexically_normal().parent_path()),
                              parent) &&
           !Platform::Inspect(Folder, folder) && parent.Type == Platform::TFileType::Folder && parent.Id == folder.Id;
}

// Whether a journal found in Folder is one that a save of ours wrote: every
// path absolute, each file's temporary name and backup name ours and beside
// it, and the first file in Folder (the journal lies beside it). A journal
// made by hand could otherwise have the next run rename or remove any file
// it names.
bool JournalOfOurs(const TJournalText &Journal, const std::string &Folder)
{
    const auto path = [](const std::string &Text) { return Platform::PathFromUtf8(Text).lexically_normal(); };
    const auto ours = [&](const std::string &Name, const std::string &Final, const char *Kind) {
        const fs::path p = path(Name);
        return p.is_absolute() && p.parent_path() == path(Final).parent_path() &&
               IsOurs(Platform::Utf8FromPath(p.filename()), Kind);
    };
    for (const TJournalEntry &entry : Journal.Entries)
        if (!path(entry.Final).is_absolute() || !ours(entry.Temporary, entry.Final, ".tmp") ||
            (!entry.Backup.empty() && !ours(entry.Backup, entry.Final, ".old")))
            return false;
    return Journal.Entries.empty() || InFolder(Journal.Entries.front().Final, Folder);
}

std::string ListFinals(const TJournalText &Journal)
{
    std::string list;
    for (const TJournalEntry &entry : Journal.Entries)
        list += (list.empty() ? "" : ", ") + entry.Final;
    return list;
}

// Finishes or undoes the save of a journal whose writer is gone, found in
// Folder. Returns false (and says why in Lines) when a step failed: the
// journal then stays for the next attempt.
bool ResolveJournal(const TJournalText &Journal, const std::string &Folder, std::vector<std::string> &Lines)
{
    bool whole = true;
    const auto step = [&](const TError &Error, const std::string &What) {
        if (Error && Error.Kind != TErrorKind::NotFound) {
            Lines.push_back("could not " + What + ": " + Platform::Describe(Error) +
                            " (the next run tries again)");
            whole = false;
        }
    };
    if (!Journal.Complete) {
        // Killed before anything was renamed: the targets are as they were.
        for (const TJournalEntry &entry : Journal.Entries)
            step(Platform::Remove(entry.Temporary), "remove " + entry.Temporary);
        if (!Journal.Entries.empty())
            Lines.push_back("an interrupted save had changed nothing; kept " + ListFinals(Journal));
        return whole;
    }
    if (Journal.Rollback) {
        for (const TJournalEntry &entry : Journal.Entries) {
            if (!entry.Backup.empty() && Exists(entry.Backup))
                step(Platform::Replace(entry.Backup, entry.Final), "put back the earlier " + entry.Final);
            else if (entry.Backup.empty() && !Exists(entry.Temporary) && Exists(entry.Final) &&
                     InFolder(entry.Final, Folder))
                step(Platform::Remove(entry.Final), "remove the new " + entry.Final); // there was none before
            if (Exists(entry.Temporary))
                step(Platform::Remove(entry.Temporary), "remove " + entry.Temporary);
        }
        if (whole)
            Lines.push_back("undid a save that failed part way; the earlier files are back: " + ListFinals(Journal));
        return whole;
    }
    // Every new file was complete and on the disk before the journal was
    // written: put the rest in place.
    for (const TJournalEntry &entry : Journal.Entries)
        if (Exists(entry.Temporary))
            step(Platform::Replace(entry.Temporary, entry.Final), "put the new " + entry.Final + " in place");
    if (!whole)
        return false;
    for (const TJournalEntry &entry : Journal.Entries)
        if (!entry.Backup.empty())
            step(Platform::Remove(entry.Backup), "remove the backup " + entry.Backup);
    Lines.push_back("finished a save that was interrupted; these are the new files: " + ListFinals(Journal));
    return whole;
}

// Opens Path and takes its lock: false when another process holds it (its
// save is still running) or the file is gone.
bool LockStale(const std::string &Path, Platform::TFile &File)
{
    return !File.Open(Path, Platform::TFile::TOpen::ReadExisting) && !File.TryLock();
}

std::string Megabytes(uint64_t Bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(Bytes) / (1024.0 * 1024.0));
    return text;
}

void RecoverFolder(const std::string &Folder, std::vector<std::string> &Lines)
{
    const std::vector<std::string> names = Platform::FolderEntries(Folder);
    bool running = false;       // another program is saving into this folder
    std::set<std::string> kept; // temporary files of a journal left for the next attempt
    for (const std::string &name : names) {
        if (!IsOurs(name, ".journal"))
            continue;
        const std::string path = Join(Folder, name);
        Platform::TFile lock;
        if (!LockStale(path, lock)) {
            running = running || Exists(path);
            continue;
        }
        std::string text;
        if (Platform::ReadFile(path, LargestJournal, text))
            continue;
        const TJournalText journal = ParseJournal(text);
        if (!JournalOfOurs(journal, Folder)) {
            // Left as it is, and said each time: it is not ours to act on.
            Lines.push_back("left " + path + " alone: it names files that a save of this program does not write");
            continue;
        }
        if (ResolveJournal(journal, Folder, Lines)) {
            Platform::Remove(path);
        } else {
            for (const TJournalEntry &entry : journal.Entries)
                kept.insert(Platform::Utf8FromPath(Platform::PathFromUtf8(entry.Temporary).filename()));
        }
    }
    for (const std::string &name : names) {
        if (!IsOurs(name, ".tmp") || kept.count(name))
            continue;
        const std::string path = Join(Folder, name);
        Platform::TFile lock;
        Platform::TFileInfo info;
        if (!LockStale(path, lock) || Platform::Inspect(path, info))
            continue;
        if (!Platform::Remove(path))
            Lines.push_back("removed " + path + ", a temporary file of an interrupted save (" + Megabytes(info.Size) +
                            ")");
    }
    // A backup outlives its journal only when an older version of this
    // program was killed; while any journal is there it may belong to a
    // running save, so the folder is read again to be sure.
    if (running)
        return;
    for (const std::string &name : Platform::FolderEntries(Folder))
        if (IsOurs(name, ".journal"))
            return;
    for (const std::string &name : names) {
        if (!IsOurs(name, ".old"))
            continue;
        const std::string path = Join(Folder, name);
        Platform::TFileInfo info;
        if (!Platform::Inspect(path, info) && !Platform::Remove(path))
            Lines.push_back("removed " + path + ", an earlier file kept by an interrupted save (" +
                            Megabytes(info.Size) + ")");
    }
}

} // namespace

std::string TargetProblem(const std::string &Target)
{
    const TTargetInfo info = InspectTarget(Target);
    if (!info.Problem.empty())
        return info.Problem;
    // Whether the folder takes a new file is found out by making one.
    const std::string folder = FolderOf(info.Final);
    Platform::TFile probe;
    std::string name;
    if (const TError error = CreateLocked(folder, ".tmp", probe, name))
        return CreationMessage(Target, folder, error);
    probe.Close();
    Platform::Remove(name);
    return {};
}

std::vector<std::string> RecoverInterruptedSaves(const std::vector<std::string> &Targets)
{
    std::vector<std::string> lines;
    std::set<std::string> folders;
    for (const std::string &target : Targets) {
        std::error_code error;
        const std::string folder = Platform::Utf8FromPath(
            fs::weakly_canonical(fs::absolute(Platform::PathFromUtf8(FolderOf(InspectTarget(target).Final))), error));
        if (!error && folders.insert(folder).second)
            RecoverFolder(folder, lines);
    }
    return lines;
}

struct TAtomicSave::TFile
{
    std::string Target;    // as the caller named it, for messages
    std::string Final;     // the file that gets replaced (a link followed)
    std::string Temporary; // written, then renamed to Final
    std::string Backup;    // the earlier Final's second name while Commit runs
    Platform::TFile Handle;
    bool Existed = false;
    bool Placed = false;     // renamed to Final by Commit
    bool MovedAside = false; // the earlier Final has only its backup name
};

struct TAtomicSave::TJournal
{
    std::string Path;
    Platform::TFile Handle;
};

TAtomicSave::TAtomicSave(const std::vector<std::string> &Targets)
{
    try {
        Open(Targets);
    } catch (...) {
        Cancel(); // the destructor does not run for an object never made
        throw;
    }
}

void TAtomicSave::Open(const std::vector<std::string> &Targets)
{
    static std::once_flag oversize;
    std::call_once(oversize, Platform::ReportOversizeWrites);
    RecoveryLines = RecoverInterruptedSaves(Targets);
    for (const std::string &target : Targets) {
        const TTargetInfo info = InspectTarget(target);
        if (!info.Problem.empty())
            Fail(info.Problem);
        auto file = std::make_unique<TFile>();
        file->Target = target;
        file->Final = info.Final;
        file->Existed = info.Exists;
        // A new file gets the usual permissions (0666 less the umask); a
        // replaced one keeps its own.
        const std::string folder = FolderOf(file->Final);
        if (const TError error = CreateLocked(folder, ".tmp", file->Handle, file->Temporary))
            Fail(CreationMessage(target, folder, error));
        if (file->Existed && info.Mode != 0)
            file->Handle.SetPermissions(info.Mode);
        Files.push_back(std::move(file));
    }
}

TAtomicSave::~TAtomicSave()
{
    Cancel();
}

void TAtomicSave::Write(size_t File, const void *Data, size_t Bytes)
{
    TFile &file = *Files.at(File);
    if (const TError error = file.Handle.Write(Data, Bytes))
        Fail(Platform::Message(file.Target, error));
}

void TAtomicSave::WriteAt(size_t File, uint64_t Offset, const void *Data, size_t Bytes)
{
    TFile &file = *Files.at(File);
    if (const TError error = file.Handle.WriteAt(Offset, Data, Bytes))
        Fail(Platform::Message(file.Target, error));
}

void TAtomicSave::StartWriteback(size_t File, uint64_t Offset, uint64_t Bytes)
{
    Files.at(File)->Handle.StartWriteback(Offset, Bytes);
}

void TAtomicSave::Commit()
{
    for (auto &file : Files)
        if (const TError error = file->Handle.Flush())
            Fail(Platform::Message(file->Target, error));
    if (Files.size() == 1)
        CommitOne();
    else if (Files.size() > 1)
        CommitSeveral();
    // The temporary files now carry the targets' names; closing them ends their locks.
    std::set<std::string> folders;
    for (auto &file : Files) {
        file->Handle.Close();
        folders.insert(FolderOf(file->Final));
    }
    for (const std::string &folder : folders)
        Platform::FlushFolder(folder);
    Files.clear();
}

void TAtomicSave::CommitOne()
{
    // One rename replaces the file in one step: there is nothing to undo.
    TFile &file = *Files.front();
    if (const TError error = Platform::Replace(file.Temporary, file.Final))
        Fail(Platform::Message(file.Target, error));
    file.Placed = true;
    file.Temporary.clear();
}

void TAtomicSave::CommitSeveral()
{
    // The journal: written and on the disk before the first rename.
    Journal = std::make_unique<TJournal>();
    const std::string folder = FolderOf(Files.front()->Final);
    std::string text = JournalHeader;
    for (auto &file : Files) {
        std::error_code error;
        const auto absolute = [&](const std::string &Path) { return Platform::Utf8FromPath(fs::absolute(Platform::PathFromUtf8(Path), error)); };
        file->Backup = file->Existed ? BackupNameOf(file->Temporary) : std::string();
        text += Field(absolute(file->Temporary)) + Field(absolute(file->Final)) +
                Field(file->Backup.empty() ? std::string() : absolute(file->Backup));
    }
    text += "end\n";
    TError error = CreateLocked(folder, ".journal", Journal->Handle, Journal->Path);
    if (error)
        Fail(CreationMessage(Files.front()->Target, folder, error));
    if (!error)
        error = Journal->Handle.Write(text.data(), text.size());
    if (!error)
        error = Journal->Handle.Flush();
    if (error) {
        Journal->Handle.Close();
        Platform::Remove(Journal->Path);
        Journal.reset();
        Fail(Platform::Message(Files.front()->Target, error));
    }
    Platform::FlushFolder(folder);

    for (auto &file : Files) {
        if (file->Existed) {
            // A second name keeps the earlier file; where the file system has
            // no hard links it is renamed aside instead, and put back by Undo.
            if (Platform::HardLink(file->Final, file->Backup)) {
                if (const TError aside = Platform::Replace(file->Final, file->Backup)) {
                    const bool undone = Undo();
                    const std::string tail = undone ? "" : "; the next run puts the earlier files back";
                    if (aside.Kind == TErrorKind::InUse)
                        Fail(Platform::Message(file->Target, aside) + tail);
                    Fail(file->Target + ": the earlier file cannot be kept while the new one is put in place (" +
                         Platform::Describe(aside) + ")" + tail);
                }
                file->MovedAside = true;
            }
        }
        if (const TError placing = Platform::Replace(file->Temporary, file->Final)) {
            const bool undone = Undo();
            Fail(Platform::Message(file->Target, placing) + (undone ? "" : "; the next run puts the earlier files back"));
        }
        file->Placed = true;
        file->Temporary.clear();
    }
    for (auto &file : Files) {
        if (!file->Backup.empty())
            Platform::Remove(file->Backup);
        file->Backup.clear();
    }
    Platform::FlushFolder(folder);
    Journal->Handle.Close();
    Platform::Remove(Journal->Path);
    Journal.reset();
}

bool TAtomicSave::Undo()
{
    // Marked first, so that a kill during the undo is undone, not finished.
    const std::string mark = "rollback\n";
    Journal->Handle.Write(mark.data(), mark.size());
    Journal->Handle.Flush();
    // Windows replaces no file that is open, not even by this program: the
    // new files placed already are closed before the earlier ones go back.
    for (auto &file : Files)
        file->Handle.Close();
    bool whole = true;
    for (auto it = Files.rbegin(); it != Files.rend(); ++it) {
        TFile &file = **it;
        const bool keptAside = file.MovedAside || (file.Placed && file.Existed);
        if (keptAside) {
            // The backup goes back onto the target, over the new file.
            whole = !Platform::Replace(file.Backup, file.Final) && whole;
        } else if (file.Placed) {
            whole = !Platform::Remove(file.Final) && whole; // there was no earlier file
        } else if (!file.Backup.empty()) {
            Platform::Remove(file.Backup); // a hard link not needed
        }
        if (!whole)
            continue;
        file.Placed = false;
        file.MovedAside = false;
        file.Backup.clear();
    }
    Journal->Handle.Close();
    if (whole)
        Platform::Remove(Journal->Path);
    Journal.reset();
    return whole;
}

void TAtomicSave::Cancel()
{
    for (auto &file : Files) {
        file->Handle.Close();
        if (!file->Temporary.empty())
            Platform::Remove(file->Temporary);
        file->Temporary.clear();
    }
    Files.clear();
}
