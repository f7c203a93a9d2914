#include "ExecutablePath.h"

#include "Platform.h"

#include <filesystem>

std::string ExecutablePath()
{
    return Platform::ExecutablePath();
}

std::string FileNextToExecutable(const std::string &Name)
{
    return Platform::Utf8FromPath(Platform::PathFromUtf8(ExecutablePath()).parent_path() / Name);
}
