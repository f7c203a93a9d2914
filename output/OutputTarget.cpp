#include "OutputTarget.h"

#include "Platform.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// What makes a file itself: the system's file identity when it exists
// (through any links); otherwise its folder's identity and its own name in that folder.
struct TFileIdentity
{
    bool Exists = false;
    Platform::TFileId Id;
    std::string Entry; // for a file not there yet

    bool operator==(const TFileIdentity &Other) const
    {
        if (Exists != Other.Exists)
            return false;
        return Exists ? Id == Other.Id : Entry == Other.Entry;
    }
};

TFileIdentity IdentityOf(const std::string &Path)
{
    TFileIdentity identity;
    Platform::TFileInfo info;
    if (!Platform::Inspect(Path, info) && info.Type != Platform::TFileType::Missing) {
        identity.Exists = true;
        identity.Id = info.Id;
        return identity;
    }
    // The folder may itself be reached through links or "..": weakly_canonical
    // resolves what exists of the path and keeps the rest as written.
    std::error_code error;
    const fs::path absolute = fs::absolute(Platform::PathFromUtf8(Path), error);
    const fs::path resolved = error ? Platform::PathFromUtf8(Path) : fs::weakly_canonical(absolute, error);
    identity.Entry = Platform::NameKey(Platform::Utf8FromPath((error ? absolute : resolved).lexically_normal()));
    return identity;
}

std::string Describe(const TRunFile &File)
{
    return File.Role + " " + File.Path;
}

} // namespace

bool IsSameFile(const std::string &A, const std::string &B)
{
    return IdentityOf(A) == IdentityOf(B);
}

std::optional<std::string> FindFileClash(const std::vector<TRunFile> &Inputs, const std::vector<TRunFile> &Outputs)
{
    std::vector<TFileIdentity> inputs;
    for (const TRunFile &input : Inputs)
        inputs.push_back(IdentityOf(input.Path));
    std::vector<TFileIdentity> outputs;
    for (size_t i = 0; i < Outputs.size(); ++i) {
        const TFileIdentity output = IdentityOf(Outputs[i].Path);
        for (size_t k = 0; k < Inputs.size(); ++k)
            if (output == inputs[k])
                return Describe(Outputs[i]) + " is " + Describe(Inputs[k]) +
                       ": writing it would destroy an input of the run";
        for (size_t k = 0; k < outputs.size(); ++k)
            if (output == outputs[k])
                return Describe(Outputs[i]) + " is " + Describe(Outputs[k]) + ": two outputs cannot share one file";
        outputs.push_back(output);
    }
    return std::nullopt;
}
