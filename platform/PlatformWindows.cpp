// The platform layer on Windows.
#include "Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace Platform {

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

std::string Cause(DWORD Error)
{
    switch (Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "the file does not exist";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_SHARING_VIOLATION:
        return "the file is in use by another program";
    default:
        return "system error " + std::to_string(Error);
    }
}

} // namespace

TFileView::TFileView(const std::string &Path)
{
    const HANDLE file = CreateFileW(Widen(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw EFileError(Path + ": " + Cause(GetLastError()));
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
            const DWORD error = GetLastError();
            CloseHandle(file);
            throw EFileError(Path + ": " + Cause(error));
        }
        Data = static_cast<const uint8_t *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (!Data) {
            const DWORD error = GetLastError();
            CloseHandle(mapping);
            CloseHandle(file);
            throw EFileError(Path + ": " + Cause(error));
        }
        Handle = mapping;
    }
    CloseHandle(file); // the mapping keeps the file open
}

TFileView::~TFileView()
{
    if (Data)
        UnmapViewOfFile(Data);
    if (Handle)
        CloseHandle(static_cast<HANDLE>(Handle));
}

} // namespace Platform
