#include "ExecutablePath.h"

#include <filesystem>

std::string ExecutablePath()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    // Without /proc the program is taken to be in the current folder.
    return error ? std::string("morvane") : exe.string();
}

std::string FileNextToExecutable(const std::string &Name)
{
    return (std::filesystem::path(ExecutablePath()).parent_path() / Name).string();
}
