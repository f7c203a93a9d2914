#include "ExecutablePath.h"

#include "Platform.h"

#include <filesystem>

std::string ExecutablePath()
{
    return Platform::ExecutablePath();
}

std::string FileNextToExecutable(const std::string &Name)
{
    return (std::filesystem::path(ExecutablePath()).parent_path() / Name).string();
}
