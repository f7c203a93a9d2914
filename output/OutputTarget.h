#pragma once

#include <optional>
#include <string>
#include <vector>

// One file of a run and what it is to the user ("the picture", "the map file").
struct TRunFile
{
    std::string Path;
    std::string Role;
};

// Finds an output of a run that is one of its inputs or another of its
// outputs, so that a run never writes over the picture it reads or writes two
// files onto one. Files are compared by identity, not by spelling: a relative
// and an absolute name, a symbolic link and a hard link of one file are the
// same file. An output that does not exist yet is the same as another path
// exactly when both name the same entry of the same folder.
// Returns a message that names both files, or nothing when all are distinct.
std::optional<std::string> FindFileClash(const std::vector<TRunFile> &Inputs, const std::vector<TRunFile> &Outputs);

// True when both paths name the same file by the rule above.
bool IsSameFile(const std::string &A, const std::string &B);
