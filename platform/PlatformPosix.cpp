// The platform layer on Linux (and other POSIX systems).
#include "PlatformShared.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Platform {

std::string SystemText(int System) { return std::strerror(System); }

namespace {

TError ErrorOf(int Number)
{
    switch (Number) {
    case 0:
        return {};
    case ENOENT:
    case ENOTDIR:
        return {TErrorKind::NotFound, Number};
    case EEXIST:
        return {TErrorKind::Exists, Number};
    case EISDIR:
        return {TErrorKind::IsFolder, Number};
    case ENXIO: // a FIFO without a reader, opened for writing without blocking
        return {TErrorKind::NotRegular, Number};
    case ENOSPC:
        return {TErrorKind::DiskFull, Number};
    case EDQUOT:
        return {TErrorKind::QuotaFull, Number};
    case EFBIG:
        return {TErrorKind::TooLarge, Number};
    case ENAMETOOLONG:
        return {TErrorKind::NameTooLong, Number};
    case EACCES:
    case EPERM:
        return {TErrorKind::Denied, Number};
    case EROFS:
        return {TErrorKind::ReadOnlyDisk, Number};
    case EWOULDBLOCK:
    case ETXTBSY:
        return {TErrorKind::InUse, Number};
    case ENOTSUP:
    case EMLINK:
    case EXDEV:
        return {TErrorKind::NotSupported, Number};
    case EIO:
        return {TErrorKind::InputOutput, Number};
    default:
        return {TErrorKind::Other, Number};
    }
}

TError LastError() { return ErrorOf(errno); }

TFileType TypeOf(mode_t Mode)
{
    return S_ISREG(Mode) ? TFileType::Regular : S_ISDIR(Mode) ? TFileType::Folder : TFileType::Other;
}

int Fd(intptr_t Handle) { return int(Handle); }

} // namespace

TFileView::TFileView(const std::string &Path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw EFileError(Message(Path, LastError()));
    struct stat status{};
    if (::fstat(fd, &status) != 0) {
        const TError error = LastError();
        ::close(fd);
        throw EFileError(Message(Path, error));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw EFileError(Path + (S_ISDIR(status.st_mode) ? ": this is a folder"
                                                          : ": this is not a file but a device, pipe or socket"));
    }
    Size = size_t(status.st_size);
    if (Size > 0) {
        void *mapped = ::mmap(nullptr, Size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED) {
            const TError error = LastError();
            ::close(fd);
            throw EFileError(Message(Path, error));
        }
        Data = static_cast<const uint8_t *>(mapped);
    }
    File = fd;
}

TFileView::~TFileView()
{
    if (Data)
        ::munmap(const_cast<uint8_t *>(Data), Size);
    ::close(int(File));
}

TError TFileView::ReadAt(uint64_t Offset, void *Out, size_t Bytes) const
{
    if (const TError injected = Shared::InjectedFault("read", ""))
        return injected;
    auto *p = static_cast<char *>(Out);
    while (Bytes > 0) {
        const ssize_t got = ::pread(int(File), p, Bytes, off_t(Offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? TError{TErrorKind::InputOutput, 0} : LastError();
        p += got;
        Offset += uint64_t(got);
        Bytes -= size_t(got);
    }
    return {};
}

TError ReadFile(const std::string &Path, size_t MaxBytes, std::string &Text)
{
    Text.clear();
    TFile file;
    if (const TError error = file.Open(Path, TFile::TOpen::ReadExisting))
        return error;
    size_t got = 0;
    while (got < MaxBytes + 1) {
        Text.resize(got + Shared::NextReadRoom(got, MaxBytes));
        ssize_t n;
        do
            n = ::read(Fd(file.Handle), Text.data() + got, Text.size() - got);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            const TError error = LastError();
            Text.clear();
            return error;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    Text.resize(got);
    return {};
}

TError Inspect(const std::string &Path, TFileInfo &Info)
{
    Info = {};
    struct stat status{};
    if (::stat(Path.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TError{} : LastError();
    Info.Type = TypeOf(status.st_mode);
    Info.Id = {uint64_t(status.st_dev), uint64_t(status.st_ino)};
    Info.Size = uint64_t(status.st_size);
    Info.Links = uint32_t(status.st_nlink);
    Info.Writable = (status.st_mode & S_IWUSR) != 0;
    Info.Mode = uint32_t(status.st_mode & 07777);
    return {};
}

TFile::~TFile() { Close(); }

TFile::TFile(TFile &&Other) noexcept : Handle(Other.Handle) { Other.Handle = Closed; }

TFile &TFile::operator=(TFile &&Other) noexcept
{
    if (this != &Other) {
        Close();
        Handle = Other.Handle;
        Other.Handle = Closed;
    }
    return *this;
}

TError TFile::Open(const std::string &Path, TOpen How, uint32_t Permissions)
{
    Close();
    if (How == TOpen::CreateNew)
        if (const TError injected = Shared::InjectedFault("create", Path))
            return injected;
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (How) {
    case TOpen::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        break;
    case TOpen::Write:
        flags |= O_WRONLY | O_CREAT; // truncated below, once known to be a file
        break;
    case TOpen::ReadExisting:
        flags |= O_RDONLY;
        break;
    }
    const int fd = ::open(Path.c_str(), flags, mode_t(Permissions));
    if (fd < 0)
        return LastError();
    struct stat status{};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const TError error = S_ISDIR(status.st_mode) ? TError{TErrorKind::IsFolder, EISDIR}
                             : status.st_mode != 0   ? TError{TErrorKind::NotRegular, 0}
                                                     : LastError();
        ::close(fd);
        return error;
    }
    // Writes block as usual from here on: only the opening must not wait.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (How == TOpen::Write && ::ftruncate(fd, 0) != 0) {
        const TError error = LastError();
        ::close(fd);
        return error;
    }
    Handle = fd;
    return {};
}

TError TFile::Write(const void *Data, size_t Bytes)
{
    if (const TError injected = Shared::InjectedFault("write", ""))
        return injected;
    const auto *p = static_cast<const char *>(Data);
    while (Bytes > 0) {
        const ssize_t written = ::write(Fd(Handle), p, Bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? ErrorOf(ENOSPC) : LastError();
        p += written;
        Bytes -= size_t(written);
    }
    return {};
}

TError TFile::WriteAt(uint64_t Offset, const void *Data, size_t Bytes)
{
    if (const TError injected = Shared::InjectedFault("write", ""))
        return injected;
    const auto *p = static_cast<const char *>(Data);
    while (Bytes > 0) {
        const ssize_t written = ::pwrite(Fd(Handle), p, Bytes, off_t(Offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? ErrorOf(ENOSPC) : LastError();
        p += written;
        Offset += uint64_t(written);
        Bytes -= size_t(written);
    }
    return {};
}

void TFile::StartWriteback(uint64_t Offset, uint64_t Bytes)
{
#if defined(__linux__)
    ::sync_file_range(Fd(Handle), off_t(Offset), off_t(Bytes), SYNC_FILE_RANGE_WRITE);
#else
    (void)Offset;
    (void)Bytes;
#endif
}

TError TFile::Flush()
{
    if (const TError injected = Shared::InjectedFault("flush", ""))
        return injected;
    // A full disk may show only here, when the data reach it.
    return ::fsync(Fd(Handle)) == 0 ? TError{} : LastError();
}

TError TFile::SetPermissions(uint32_t Permissions)
{
    return ::fchmod(Fd(Handle), mode_t(Permissions)) == 0 ? TError{} : LastError();
}

TError TFile::TryLock()
{
    // flock belongs to the open file, so a second open in this process is
    // refused too, as another process would be.
    while (::flock(Fd(Handle), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return LastError();
    }
    return {};
}

bool TFile::HasName() const
{
    struct stat status{};
    return ::fstat(Fd(Handle), &status) == 0 && status.st_nlink > 0;
}

TError TFile::Close()
{
    if (Handle == Closed)
        return {};
    const int fd = Fd(Handle);
    Handle = Closed;
    return ::close(fd) == 0 ? TError{} : LastError();
}

TError Replace(const std::string &From, const std::string &To)
{
    if (const TError injected = Shared::InjectedFault("replace", To))
        return injected;
    return ::rename(From.c_str(), To.c_str()) == 0 ? TError{} : LastError();
}

TError HardLink(const std::string &Existing, const std::string &Link)
{
    if (const TError injected = Shared::InjectedFault("link", Existing))
        return injected;
    return ::link(Existing.c_str(), Link.c_str()) == 0 ? TError{} : LastError();
}

TError Remove(const std::string &Path)
{
    if (const TError injected = Shared::InjectedFault("remove", Path))
        return injected;
    return ::unlink(Path.c_str()) == 0 ? TError{} : LastError();
}

void FlushFolder(const std::string &Folder)
{
    const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // makes the renames durable; nothing to do if it fails
        ::close(fd);
    }
}

std::vector<std::string> FolderEntries(const std::string &Folder)
{
    std::vector<std::string> names;
    DIR *folder = ::opendir(Folder.c_str());
    if (!folder)
        return names;
    while (const dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

std::string NameKey(const std::string &Path) { return Path; }

std::string NameAsSaved(const std::string &Path) { return Path; }

std::string ExecutablePath()
{
    char path[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
    // Without /proc the program is taken to be in the current folder.
    return length > 0 ? std::string(path, size_t(length)) : std::string("morvane");
}

std::vector<std::string> Arguments(int Count, char **Values)
{
    return std::vector<std::string>(Values, Values + Count);
}

void PreferLargePages(void *Data, size_t Bytes)
{
#ifdef MADV_HUGEPAGE
    // Only the whole stretches inside the block: advice on a range reaches
    // every page of it, and the block shares its first and last pages.
    constexpr uintptr_t Large = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(Data) + Large - 1) & ~(Large - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(Data) + Bytes) & ~(Large - 1);
    if (Data != nullptr && to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    (void)Data;
    (void)Bytes;
#endif
}

void *AllocateLarge(size_t Bytes)
{
    constexpr size_t Large = size_t(2) << 20;
    if (Bytes == 0 || Bytes > SIZE_MAX - 2 * Large)
        return nullptr;
    const size_t whole = (Bytes + Large - 1) & ~(Large - 1);
    // Mapped with room to spare, then cut to the aligned stretch.
    void *mapped = ::mmap(nullptr, whole + Large, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const uintptr_t first = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (first + Large - 1) & ~uintptr_t(Large - 1);
    if (aligned > first)
        ::munmap(mapped, aligned - first);
    if (const size_t after = first + whole + Large - (aligned + whole); after > 0)
        ::munmap(reinterpret_cast<void *>(aligned + whole), after);
    void *data = reinterpret_cast<void *>(aligned);
    PreferLargePages(data, whole);
    return data;
}

void FreeLarge(void *Data, size_t Bytes)
{
    constexpr size_t Large = size_t(2) << 20;
    if (Data)
        ::munmap(Data, (Bytes + Large - 1) & ~(Large - 1));
}

void RunThreadWhenIdle()
{
#ifdef SCHED_IDLE
    const sched_param none{};
    ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &none);
#endif
}

void ReportOversizeWrites()
{
    // Ignored, SIGXFSZ no longer ends the process: the write fails with EFBIG.
    ::signal(SIGXFSZ, SIG_IGN);
}

namespace {

void (*InterruptHandler)(int) = nullptr;

extern "C" void OnSignal(int Number)
{
    if (InterruptHandler)
        InterruptHandler(Number);
}

} // namespace

void OnInterrupt(void (*Handler)(int Request))
{
    InterruptHandler = Handler;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // file writes go on; the caller checks its flag between steps
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous = {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
    }
}

int TerminationRequest() { return SIGTERM; }

void EndByRequest(int Request)
{
    ::signal(Request, SIG_DFL);
    // Called from the handler of this very signal, it is blocked until the
    // handler returns: unblocked, the raise ends the process here.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, Request);
    ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    ::raise(Request);
    ::_exit(128 + Request); // only if the signal could not end the process
}

bool IsTerminal(std::FILE *Stream) { return ::isatty(::fileno(Stream)) == 1; }

int TerminalColumns(std::FILE *Stream)
{
    winsize size{};
    if (::ioctl(::fileno(Stream), TIOCGWINSZ, &size) == 0)
        return size.ws_col;
    return 0;
}

void WriteText(std::FILE *Stream, const std::string &Utf8)
{
    std::fwrite(Utf8.data(), 1, Utf8.size(), Stream);
}

void PlainLineEnds() {}

} // namespace Platform
