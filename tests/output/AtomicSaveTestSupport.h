#pragma once

#include "AtomicSave.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

// Helpers of the atomic-save tests, the portable ones and those only POSIX has.
namespace AtomicSaveTestSupport {

// What Action throws, or "(no failure)".
inline std::string MessageOf(const std::function<void()> &Action)
{
    try {
        Action();
    } catch (const std::exception &error) {
        return error.what();
    }
    return "(no failure)";
}

// Saves Contents[i] to Targets[i], all together.
inline void Save(const std::vector<std::string> &Targets, const std::vector<std::string> &Contents)
{
    TAtomicSave save(Targets);
    for (size_t i = 0; i < Contents.size(); ++i)
        save.Write(i, Contents[i].data(), Contents[i].size());
    save.Commit();
}

} // namespace AtomicSaveTestSupport
