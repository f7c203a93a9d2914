// The platform layer on Windows. Paths arrive as UTF-8 and are widened for
// the system's wide-character calls.
#include "PlatformShared.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <string>

namespace Platform {

std::string SystemText(int System) { return "system error " + std::to_string(unsigned(System)); }

namespace {

std::wstring Widen(const std::string &Utf8)
{
    if (Utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), wide.data(), length);
    return wide;
}

std::string Narrow(const wchar_t *Wide, size_t Length)
{
    if (Length == 0)
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, Wide, int(Length), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide, int(Length), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

TError ErrorOf(DWORD Number)
{
    const int system = int(Number);
    switch (Number) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return {TErrorKind::NotFound, system};
    case ERROR_INVALID_NAME:
        return {TErrorKind::BadName, system};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return {TErrorKind::Exists, system};
    case ERROR_DIRECTORY:
        return {TErrorKind::IsFolder, system};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return {TErrorKind::DiskFull, system};
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, missing from MinGW's headers
        return {TErrorKind::QuotaFull, system};
    case ERROR_FILE_TOO_LARGE:
        return {TErrorKind::TooLarge, system};
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return {TErrorKind::NameTooLong, system};
    case ERROR_ACCESS_DENIED:
        return {TErrorKind::Denied, system};
    case ERROR_WRITE_PROTECT:
        return {TErrorKind::ReadOnlyDisk, system};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {TErrorKind::InUse, system};
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_TOO_MANY_LINKS:
        return {TErrorKind::NotSupported, system};
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return {TErrorKind::InputOutput, system};
    default:
        return {TErrorKind::Other, system};
    }
}

TError LastError() { return ErrorOf(GetLastError()); }

HANDLE H(intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What an open handle is: a file on a disk, a folder or something else.
TError CheckRegular(HANDLE File)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(File) != FILE_TYPE_DISK || !GetFileInformationByHandle(File, &information))
        return {TErrorKind::NotRegular, 0};
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {TErrorKind::IsFolder, 0};
    return {};
}

// Paths are passed without the "\\?\" prefix, so the classic limits hold:
// 255 characters a name and MAX_PATH in all. Windows reports a path beyond
// them as one that does not exist; said here as what it is.
bool TooLong(const std::wstring &Path)
{
    if (Path.size() >= MAX_PATH)
        return true;
    size_t start = 0;
    for (size_t i = 0; i <= Path.size(); ++i) {
        if (i == Path.size() || Path[i] == L'/' || Path[i] == L'\\') {
            if (i - start > 255)
                return true;
            start = i + 1;
        }
    }
    return false;
}

// The last part of a path: after the last slash or backslash (or drive colon).
std::wstring LastPart(const std::wstring &Path)
{
    const size_t slash = Path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? Path : Path.substr(slash + 1);
}

// Whether Name is a device whatever folder it is in: CON, PRN, AUX, NUL,
// COM0-9, LPT0-9, CONIN$ and CONOUT$, with any extension and in any case.
// Such a port that the machine lacks is no file either.
bool DeviceName(const std::wstring &Name)
{
    std::wstring base = Name.substr(0, Name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t &c : base)
        c = c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'0' && base[3] <= L'9';
}

} // namespace

TFileView::TFileView(const std::string &Path)
{
    const HANDLE file = CreateFileW(Widen(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw EFileError(Message(Path, LastError()));
    BY_HANDLE_FILE_INFORMATION information{};
    const DWORD type = GetFileType(file);
    if (!GetFileInformationByHandle(file, &information) || type != FILE_TYPE_DISK) {
        CloseHandle(file);
        throw EFileError(Path + ": this is not a file but a device, pipe or socket");
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        CloseHandle(file);
        throw EFileError(Path + ": this is a folder");
    }
    Size = size_t(uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow);
    if (Size > 0) {
        const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping) {
            const TError error = LastError();
            CloseHandle(file);
            throw EFileError(Message(Path, error));
        }
        Data = static_cast<const uint8_t *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (!Data) {
            const TError error = LastError();
            CloseHandle(mapping);
            CloseHandle(file);
            throw EFileError(Message(Path, error));
        }
        Handle = mapping;
    }
    File = reinterpret_cast<intptr_t>(file);
}

TFileView::~TFileView()
{
    if (Data)
        UnmapViewOfFile(Data);
    if (Handle)
        CloseHandle(static_cast<HANDLE>(Handle));
    CloseHandle(reinterpret_cast<HANDLE>(File));
}

TError TFileView::ReadAt(uint64_t Offset, void *Out, size_t Bytes) const
{
    if (const TError injected = Shared::InjectedFault("read", ""))
        return injected;
    // Each read names its offset: the threads reading the file at once do
    // not share a file pointer.
    auto *p = static_cast<char *>(Out);
    while (Bytes > 0) {
        OVERLAPPED at{};
        at.Offset = DWORD(Offset);
        at.OffsetHigh = DWORD(Offset >> 32);
        DWORD got = 0;
        const DWORD asked = DWORD(std::min<size_t>(Bytes, 1u << 30));
        if (!::ReadFile(reinterpret_cast<HANDLE>(File), p, asked, &got, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? TError{TErrorKind::InputOutput, 0} : LastError();
        if (got == 0)
            return {TErrorKind::InputOutput, 0};
        p += got;
        Offset += got;
        Bytes -= got;
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
        DWORD n = 0;
        const DWORD asked = DWORD(std::min<size_t>(Text.size() - got, 1u << 30));
        if (!::ReadFile(H(file.Handle), Text.data() + got, asked, &n, nullptr)) {
            const TError error = LastError();
            Text.clear();
            return error;
        }
        if (n == 0)
            break;
        got += n;
    }
    Text.resize(got);
    return {};
}

std::string NameAsSaved(const std::string &Path)
{
    const std::wstring wide = Widen(Path);
    const std::wstring last = LastPart(wide);
    if (last.empty() || last == L"." || last == L"..")
        return Path;
    const size_t start = wide.size() - last.size();
    size_t end = wide.size();
    while (end > start && (wide[end - 1] == L'.' || wide[end - 1] == L' '))
        --end;
    return end == start || end == wide.size() ? Path : Narrow(wide.data(), end);
}

TError Inspect(const std::string &Path, TFileInfo &Info)
{
    Info = {};
    const std::wstring wide = Widen(Path);
    if (TooLong(wide))
        return {TErrorKind::NameTooLong, ERROR_FILENAME_EXCED_RANGE};
    if (DeviceName(LastPart(wide))) {
        Info.Type = TFileType::Other;
        return {};
    }
    // No access asked for: this works on files that others hold open.
    const HANDLE file = CreateFileW(wide.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const TError error = LastError();
        if (error.Kind == TErrorKind::NotFound)
            return {};
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
            return error;
        Info.Type = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? TFileType::Folder : TFileType::Regular;
        Info.Writable = !(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
        Info.Size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        Info.Links = 1;
        return {};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const DWORD type = GetFileType(file);
    const bool known = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (type != FILE_TYPE_DISK || !known) {
        Info.Type = TFileType::Other;
        return {};
    }
    Info.Type = information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? TFileType::Folder : TFileType::Regular;
    Info.Id = {information.dwVolumeSerialNumber,
               uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
    Info.Size = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    Info.Links = information.nNumberOfLinks;
    Info.Writable = !(information.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    return {};
}

TFile::~TFile() { Close(); }

TFile::TFile(TFile &&Other) noexcept : Handle(Other.Handle), Appended(Other.Appended) { Other.Handle = Closed; }

TFile &TFile::operator=(TFile &&Other) noexcept
{
    if (this != &Other) {
        Close();
        Handle = Other.Handle;
        Appended = Other.Appended;
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
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_ALWAYS;
    // Others may read, and the file may be renamed while open (the atomic save
    // puts its temporary files in place before it closes them).
    DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    switch (How) {
    case TOpen::CreateNew:
        disposition = CREATE_NEW;
        break;
    case TOpen::Write:
        break;
    case TOpen::ReadExisting:
        access = GENERIC_READ;
        disposition = OPEN_EXISTING;
        share = ShareAll;
        break;
    }
    (void)Permissions; // a new file is writable; SetPermissions makes it read-only
    const HANDLE file = CreateFileW(Widen(Path).c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const TError error = LastError();
        // A folder opened for writing is refused with "access denied".
        const DWORD attributes = GetFileAttributesW(Widen(Path).c_str());
        if (error.Kind == TErrorKind::Denied && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {TErrorKind::IsFolder, 0};
        return error;
    }
    if (const TError error = CheckRegular(file)) {
        CloseHandle(file);
        return error;
    }
    // Windows refuses to open a read-only file for writing, but Wine run by
    // root does not (it asks only Unix, where root may write anything): the
    // attribute is checked before anything is cut off.
    BY_HANDLE_FILE_INFORMATION information{};
    if (How != TOpen::ReadExisting && GetFileInformationByHandle(file, &information) &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        CloseHandle(file);
        return {TErrorKind::Denied, int(ERROR_ACCESS_DENIED)};
    }
    if (How == TOpen::Write && !SetEndOfFile(file)) {
        const TError error = LastError();
        CloseHandle(file);
        return error;
    }
    Handle = reinterpret_cast<intptr_t>(file);
    Appended = 0;
    return {};
}

namespace {

// Writes at Offset, by pieces of at most 1 GiB; Offset ends past the bytes
// written, even where an error stops the writing.
TError WriteFileAt(HANDLE File, uint64_t &Offset, const void *Data, size_t Bytes)
{
    const auto *p = static_cast<const char *>(Data);
    while (Bytes > 0) {
        OVERLAPPED at{};
        at.Offset = DWORD(Offset);
        at.OffsetHigh = DWORD(Offset >> 32);
        DWORD written = 0;
        const DWORD asked = DWORD(std::min<size_t>(Bytes, 1u << 30));
        const bool ok = WriteFile(File, p, asked, &written, &at);
        Offset += written;
        if (!ok)
            return LastError();
        if (written == 0)
            return {TErrorKind::DiskFull, 0};
        p += written;
        Bytes -= written;
    }
    return {};
}

} // namespace

TError TFile::Write(const void *Data, size_t Bytes)
{
    if (const TError injected = Shared::InjectedFault("write", ""))
        return injected;
    return WriteFileAt(H(Handle), Appended, Data, Bytes);
}

TError TFile::WriteAt(uint64_t Offset, const void *Data, size_t Bytes)
{
    if (const TError injected = Shared::InjectedFault("write", ""))
        return injected;
    return WriteFileAt(H(Handle), Offset, Data, Bytes);
}

void TFile::StartWriteback(uint64_t, uint64_t) {}

TError TFile::Flush()
{
    if (const TError injected = Shared::InjectedFault("flush", ""))
        return injected;
    return FlushFileBuffers(H(Handle)) ? TError{} : LastError();
}

TError TFile::SetPermissions(uint32_t Permissions)
{
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(H(Handle), FileBasicInfo, &basic, sizeof basic))
        return LastError();
    if (Permissions & 0200)
        basic.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_READONLY);
    else
        basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(H(Handle), FileBasicInfo, &basic, sizeof basic) ? TError{} : LastError();
}

TError TFile::TryLock()
{
    // One byte far beyond any data: Windows locks keep others from the range
    // they cover, and readers of the file must not be kept from its bytes.
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx(H(Handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return {};
    return {TErrorKind::InUse, int(GetLastError())};
}

bool TFile::HasName() const
{
    FILE_STANDARD_INFO standard{};
    return GetFileInformationByHandleEx(H(Handle), FileStandardInfo, &standard, sizeof standard) &&
           !standard.DeletePending && standard.NumberOfLinks > 0;
}

TError TFile::Close()
{
    if (Handle == Closed)
        return {};
    const HANDLE file = H(Handle);
    Handle = Closed;
    return CloseHandle(file) ? TError{} : LastError();
}

TError Replace(const std::string &From, const std::string &To)
{
    if (const TError injected = Shared::InjectedFault("replace", To))
        return injected;
    const std::wstring to = Widen(To);
    // Windows does not replace a read-only file; Wine run by root would.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return {TErrorKind::Denied, int(ERROR_ACCESS_DENIED)};
    if (MoveFileExW(Widen(From).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    const TError error = LastError();
    if (error.Kind != TErrorKind::Denied)
        return error;
    // "Access denied" also stands for a file that another program holds open
    // without letting it be replaced (a client or server that has the map
    // loaded): ask for the right to replace it alone to tell the two apart.
    const HANDLE probe = CreateFileW(to.c_str(), DELETE, ShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? TError{TErrorKind::InUse, ERROR_SHARING_VIOLATION}
                                                         : error;
    CloseHandle(probe);
    // The file may be replaced and is not read-only, yet the rename was
    // denied: another program has it mapped into memory (as the game's
    // client maps its map files), which keeps it in place while it lasts.
    return attributes != INVALID_FILE_ATTRIBUTES ? TError{TErrorKind::InUse, int(ERROR_ACCESS_DENIED)} : error;
}

TError HardLink(const std::string &Existing, const std::string &Link)
{
    if (const TError injected = Shared::InjectedFault("link", Existing))
        return injected;
    return CreateHardLinkW(Widen(Link).c_str(), Widen(Existing).c_str(), nullptr) ? TError{} : LastError();
}

TError Remove(const std::string &Path)
{
    if (const TError injected = Shared::InjectedFault("remove", Path))
        return injected;
    return DeleteFileW(Widen(Path).c_str()) ? TError{} : LastError();
}

void FlushFolder(const std::string &)
{
    // MoveFileExW with MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk.
}

std::vector<std::string> FolderEntries(const std::string &Folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((Widen(Folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name.data(), name.size()));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::string NameKey(const std::string &Path)
{
    const std::wstring wide = Widen(Path);
    if (wide.empty())
        return {};
    // Upper case as the invariant locale has it (kernel32 only).
    const int length =
        LCMapStringEx(L"", LCMAP_UPPERCASE, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr, 0);
    std::wstring upper(size_t(std::max(length, 0)), L'\0');
    if (length <= 0 || LCMapStringEx(L"", LCMAP_UPPERCASE, wide.data(), int(wide.size()), upper.data(), length,
                                     nullptr, nullptr, 0) != length)
        return Narrow(wide.data(), wide.size());
    return Narrow(upper.data(), upper.size());
}

std::string ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return "morvane";
        if (length < path.size())
            return Narrow(path.data(), length);
        path.resize(path.size() * 2); // cut short: try a larger buffer
    }
}

std::vector<std::string> Arguments(int Count, char **Values)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(Values, Values + Count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Narrow(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return arguments;
}

// Large pages need a privilege that programs are not given: no request.
void PreferLargePages(void *, size_t) {}

void RunThreadWhenIdle()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

// Without large pages: the system's zeroed pages.
void *AllocateLarge(size_t Bytes)
{
    return Bytes == 0 ? nullptr : VirtualAlloc(nullptr, Bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLarge(void *Data, size_t)
{
    if (Data)
        VirtualFree(Data, 0, MEM_RELEASE);
}

void ReportOversizeWrites() {}

namespace {

// The request numbers are those of the C library's signals.
constexpr int InterruptNumber = 2;   // SIGINT
constexpr int TerminateNumber = 15;  // SIGTERM
constexpr int BreakNumber = 21;      // SIGBREAK

void (*InterruptHandler)(int) = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD Event)
{
    if (!InterruptHandler)
        return FALSE;
    switch (Event) {
    case CTRL_C_EVENT:
        InterruptHandler(InterruptNumber);
        return TRUE;
    case CTRL_BREAK_EVENT:
        InterruptHandler(BreakNumber);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        InterruptHandler(TerminateNumber);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void OnInterrupt(void (*Handler)(int Request))
{
    InterruptHandler = Handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int TerminationRequest() { return TerminateNumber; }

void EndByRequest(int Request)
{
    // The status that Windows gives a program ended by Ctrl-C.
    ExitProcess(Request == InterruptNumber ? 0xC000013Au : UINT(128 + Request));
}

namespace {

HANDLE ConsoleOf(std::FILE *Stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(Stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

} // namespace

bool IsTerminal(std::FILE *Stream) { return _isatty(_fileno(Stream)) != 0; }

int TerminalColumns(std::FILE *Stream)
{
    CONSOLE_SCREEN_BUFFER_INFO information{};
    const HANDLE console = ConsoleOf(Stream);
    if (!console || !GetConsoleScreenBufferInfo(console, &information))
        return 0;
    return information.srWindow.Right - information.srWindow.Left + 1;
}

void WriteText(std::FILE *Stream, const std::string &Utf8)
{
    const HANDLE console = ConsoleOf(Stream);
    if (!console) {
        std::fwrite(Utf8.data(), 1, Utf8.size(), Stream);
        return;
    }
    // A console shows Unicode whatever its code page, through the wide call,
    // and with this mode the bar's "erase to the end of the line" too.
    std::fflush(Stream);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode) && !(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    const std::wstring wide = Widen(Utf8);
    DWORD written = 0;
    WriteConsoleW(console, wide.data(), DWORD(wide.size()), &written, nullptr);
}

void PlainLineEnds()
{
    // A console keeps text mode: it shows a bare "\n" all the same.
    for (std::FILE *stream : {stdout, stderr})
        if (!ConsoleOf(stream))
            _setmode(_fileno(stream), _O_BINARY);
}

} // namespace Platform
