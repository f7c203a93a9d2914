#pragma once

#include <string>

// The running program's own file, and files that live beside it (Tiles.ini,
// the settings file): the programs look for their configuration there, not in
// the current folder.
std::string ExecutablePath();
std::string FileNextToExecutable(const std::string &Name);
