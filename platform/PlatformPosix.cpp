// The platform layer on Linux (and other POSIX systems).
#include "Platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Platform {

namespace {

std::string Cause(int Error) { return std::strerror(Error); }

} // namespace

TFileView::TFileView(const std::string &Path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        throw EFileError(Path + ": " + (error == ENOENT ? std::string("the file does not exist") : Cause(error)));
    }
    struct stat status{};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw EFileError(Path + ": " + Cause(error));
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
            const int error = errno;
            ::close(fd);
            throw EFileError(Path + ": " + Cause(error));
        }
        Data = static_cast<const uint8_t *>(mapped);
    }
    ::close(fd); // the mapping keeps the file's pages
}

TFileView::~TFileView()
{
    if (Data)
        ::munmap(const_cast<uint8_t *>(Data), Size);
}

} // namespace Platform
