#include "AtomicSave.h"

#include <QIODevice>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

std::string DescribeFileError(int Error)
{
    switch (Error) {
    case ENOSPC:
        return "the disk is full";
    case EDQUOT:
        return "the disk quota is used up";
    case EFBIG:
        return "the file is larger than the system allows";
    case ENAMETOOLONG:
        return "the name is too long";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EROFS:
        return "the disk is read-only";
    case EISDIR:
        return "this is a folder";
    case EIO:
        return "the disk reported an input/output error";
    default:
        return std::strerror(Error);
    }
}

namespace {

[[noreturn]] void Fail(const std::string &Target, const std::string &Cause)
{
    throw EFileWriteError(Target + ": " + Cause);
}

std::string FolderOf(const std::string &Path)
{
    const fs::path folder = fs::path(Path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// A name for a temporary or backup file in Folder that nothing else uses.
int OpenUnique(const std::string &Folder, const char *Kind, std::string &Name, mode_t Mode)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        Name = Folder + "/.morvane-" + suffix + Kind;
        const int fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives Existing a second, unused name in Folder.
bool LinkUnique(const std::string &Existing, const std::string &Folder, std::string &Name)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        Name = Folder + "/.morvane-" + suffix + ".old";
        if (::link(Existing.c_str(), Name.c_str()) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void SyncFolder(const std::string &Folder)
{
    const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // makes the renames durable; nothing to do if it fails
        ::close(fd);
    }
}

} // namespace

// A device that appends to one file of the save, for QImageWriter and the like.
class TSaveDevice : public QIODevice
{
public:
    TSaveDevice(TAtomicSave &Save, size_t File) : Save(Save), File(File) { open(QIODevice::WriteOnly); }
    std::string Error;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *Data, qint64 Bytes) override
    {
        try {
            Save.Write(File, Data, size_t(Bytes));
            return Bytes;
        } catch (const EFileWriteError &error) {
            Error = error.what();
            setErrorString(QString::fromStdString(Error));
            return -1;
        }
    }

private:
    TAtomicSave &Save;
    size_t File;
};

struct TAtomicSave::TFile
{
    std::string Target;    // as the caller named it, for messages
    std::string Final;     // the file that gets replaced (a link followed)
    std::string Temporary; // written, then renamed to Final
    std::string Backup;    // a second name of the old Final while Commit runs
    int Fd = -1;
    bool Existed = false;
    bool Placed = false; // renamed to Final by Commit
    std::unique_ptr<TSaveDevice> Device;
};

namespace {

// What a save to Target would replace, or why it cannot be saved.
struct TTargetInfo
{
    std::string Final; // the file that gets replaced (a link followed)
    bool Exists = false;
    mode_t Mode = 0;
    std::string Problem; // empty when the target can be saved
};

TTargetInfo InspectTarget(const std::string &Target)
{
    TTargetInfo result;
    result.Final = Target;
    struct stat info{};
    if (::lstat(Target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code error;
        const fs::path resolved = fs::weakly_canonical(Target, error);
        if (!error)
            result.Final = resolved.string();
    }
    if (::stat(result.Final.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            result.Problem = "this is a folder";
        else if (!S_ISREG(info.st_mode))
            result.Problem = "this is not a regular file but a device, a pipe or a socket, which is left alone";
        else if (!(info.st_mode & S_IWUSR)) // replacing the file would get round its protection
            result.Problem = "the file is write-protected";
        result.Exists = true;
        result.Mode = info.st_mode & 07777;
        return result;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
        result.Problem = DescribeFileError(errno);
        return result;
    }
    const std::string folder = FolderOf(result.Final);
    if (::stat(folder.c_str(), &info) != 0)
        result.Problem = errno == ENAMETOOLONG || errno == EACCES ? DescribeFileError(errno)
                                                                  : "the folder " + folder + " does not exist";
    else if (!S_ISDIR(info.st_mode))
        result.Problem = "the folder " + folder + " does not exist";
    return result;
}

} // namespace

std::string TargetProblem(const std::string &Target)
{
    const TTargetInfo info = InspectTarget(Target);
    return info.Problem.empty() ? std::string() : Target + ": " + info.Problem;
}

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
    for (const std::string &target : Targets) {
        const TTargetInfo info = InspectTarget(target);
        if (!info.Problem.empty())
            Fail(target, info.Problem);
        auto file = std::make_unique<TFile>();
        file->Target = target;
        file->Final = info.Final;
        file->Existed = info.Exists;
        // A new file gets the usual permissions (0666 less the umask); a
        // replaced one keeps its own.
        file->Fd = OpenUnique(FolderOf(file->Final), ".tmp", file->Temporary, 0666);
        if (file->Fd < 0)
            Fail(target, DescribeFileError(errno));
        if (file->Existed)
            ::fchmod(file->Fd, info.Mode);
        Files.push_back(std::move(file));
    }
}

TAtomicSave::~TAtomicSave()
{
    Cancel();
}

const std::string &TAtomicSave::Target(size_t File) const
{
    return Files.at(File)->Target;
}

void TAtomicSave::Write(size_t File, const void *Data, size_t Bytes)
{
    TFile &file = *Files.at(File);
    const auto *p = static_cast<const char *>(Data);
    while (Bytes > 0) {
        const ssize_t written = ::write(file.Fd, p, Bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail(file.Target, DescribeFileError(written == 0 ? ENOSPC : errno));
        p += written;
        Bytes -= size_t(written);
    }
}

void TAtomicSave::WriteAt(size_t File, uint64_t Offset, const void *Data, size_t Bytes)
{
    TFile &file = *Files.at(File);
    const auto *p = static_cast<const char *>(Data);
    while (Bytes > 0) {
        const ssize_t written = ::pwrite(file.Fd, p, Bytes, off_t(Offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail(file.Target, DescribeFileError(written == 0 ? ENOSPC : errno));
        p += written;
        Offset += uint64_t(written);
        Bytes -= size_t(written);
    }
}

void TAtomicSave::StartWriteback(size_t File, uint64_t Offset, uint64_t Bytes)
{
#if defined(__linux__)
    ::sync_file_range(Files.at(File)->Fd, off_t(Offset), off_t(Bytes), SYNC_FILE_RANGE_WRITE);
#else
    (void)File;
    (void)Offset;
    (void)Bytes;
#endif
}

QIODevice &TAtomicSave::Device(size_t File)
{
    TFile &file = *Files.at(File);
    if (!file.Device)
        file.Device = std::make_unique<TSaveDevice>(*this, File);
    return *file.Device;
}

const std::string &TAtomicSave::DeviceError(size_t File) const
{
    static const std::string none;
    const TFile &file = *Files.at(File);
    return file.Device ? file.Device->Error : none;
}

void TAtomicSave::Commit()
{
    for (auto &file : Files) {
        // A full disk may show only here, when the data reach it.
        if (::fsync(file->Fd) != 0)
            Fail(file->Target, DescribeFileError(errno));
        const int fd = file->Fd;
        file->Fd = -1;
        if (::close(fd) != 0)
            Fail(file->Target, DescribeFileError(errno));
    }
    // With several files, each old file gets a second name first, so that a
    // rename that fails can be undone for the files already in place.
    const bool several = Files.size() > 1;
    const auto undo = [&] {
        for (auto &file : Files) {
            if (!file->Placed)
                continue;
            if (!file->Backup.empty())
                ::rename(file->Backup.c_str(), file->Final.c_str());
            else
                ::unlink(file->Final.c_str());
            file->Placed = false;
            file->Backup.clear();
        }
    };
    for (auto &file : Files) {
        if (several && file->Existed) {
            // A hard link keeps the old file under a second name; where the
            // file system has none, the old file cannot be brought back.
            std::string name;
            if (LinkUnique(file->Final, FolderOf(file->Final), name))
                file->Backup = name;
        }
        if (::rename(file->Temporary.c_str(), file->Final.c_str()) != 0) {
            const int error = errno;
            undo();
            Fail(file->Target, DescribeFileError(error));
        }
        file->Placed = true;
        file->Temporary.clear();
    }
    for (auto &file : Files) {
        if (!file->Backup.empty())
            ::unlink(file->Backup.c_str());
        file->Backup.clear();
        SyncFolder(FolderOf(file->Final));
    }
    Files.clear();
}

void TAtomicSave::Cancel()
{
    for (auto &file : Files) {
        file->Device.reset();
        if (file->Fd >= 0)
            ::close(file->Fd);
        file->Fd = -1;
        if (!file->Temporary.empty())
            ::unlink(file->Temporary.c_str());
        file->Temporary.clear();
    }
    Files.clear();
}
