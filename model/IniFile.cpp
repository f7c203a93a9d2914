#include "IniFile.h"

#include "Numbers.h"
#include "Platform.h"

// Plain bytes, no UTF-16 conversion: names and values are kept as the file has them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION // this is the one translation unit that holds SimpleIni's code
#include <SimpleIni.h>

#include <algorithm>
#include <string_view>

struct TIniFile::TImpl
{
    CSimpleIniA Ini{false, true, false}; // names without regard to case; multi-key; no multi-line
};

namespace {

struct TFileText
{
    bool Found = false;
    std::string Text;
    std::string Problem;
};

// Reads at most MaxFileSize + 1 bytes of a regular file. The file is opened
// without waiting, so that a pipe with no writer cannot hold the program up,
// and its type is checked before anything is read from it.
TFileText ReadFileText(const std::string &path)
{
    TFileText result;
    const Platform::TError error = Platform::ReadFile(path, TIniFile::MaxFileSize, result.Text);
    result.Found = error.Kind != Platform::TErrorKind::NotFound;
    if (error.Kind == Platform::TErrorKind::IsFolder)
        result.Problem = "this is a folder, not a configuration file";
    else if (error.Kind == Platform::TErrorKind::NotRegular)
        result.Problem = "this is a device, pipe or socket, not a configuration file";
    else if (error && result.Found)
        result.Problem = "the file cannot be read: " + Platform::Describe(error);
    else if (result.Text.size() > TIniFile::MaxFileSize) {
        Platform::TFileInfo info;
        const uint64_t size = Platform::Inspect(path, info) ? result.Text.size() : info.Size;
        result.Problem = "the file has " + std::to_string(size) + " bytes; a configuration file may have at most " +
                         std::to_string(TIniFile::MaxFileSize);
    }
    if (!result.Problem.empty())
        result.Text.clear();
    return result;
}

// What the INI parser could not take: a NUL byte (it would end the text
// there) or a section or key name longer than MaxNameLength. One pass over
// the text, line by line, as the parser splits it.
std::string TextProblem(const std::string &text)
{
    size_t line = 1;
    for (size_t at = 0; at < text.size();) {
        size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r' && text[end] != '\0')
            ++end;
        if (end < text.size() && text[end] == '\0')
            return "line " + std::to_string(line) + " holds a NUL byte; this is not a text file";
        const std::string_view content(text.data() + at, end - at);
        const size_t first = content.find_first_not_of(" \t");
        if (first != std::string_view::npos && content[first] != ';' && content[first] != '#') {
            const bool section = content[first] == '[';
            const size_t stop = content.find(section ? ']' : '=', first);
            if (stop != std::string_view::npos && stop - first > TIniFile::MaxNameLength + (section ? 1 : 0))
                return "line " + std::to_string(line) + " has a " + (section ? "section" : "key") + " name of " +
                       std::to_string(stop - first - (section ? 1 : 0)) + " characters; names may have at most " +
                       std::to_string(TIniFile::MaxNameLength);
        }
        at = end;
        if (at < text.size()) {
            // CR LF is one line end, so is either alone.
            if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
                ++at;
            ++at;
            ++line;
        }
    }
    return {};
}

} // namespace

TIniFile::TIniFile(std::string FileName_) : Impl(std::make_unique<TImpl>()), FileName(std::move(FileName_))
{
    TFileText file = ReadFileText(FileName);
    Found = file.Found;
    Problem = file.Problem;
    if (Problem.empty())
        Problem = TextProblem(file.Text);
    if (Problem.empty())
        Impl->Ini.LoadData(file.Text.data(), file.Text.size());
}

TIniFile::~TIniFile() = default;

std::vector<std::string> TIniFile::ReadSection(const std::string &Section) const
{
    // GetAllKeys would fold a key written twice into one; walk the entries.
    const auto *section = Impl->Ini.GetSection(Section.c_str());
    if (!section)
        return {};
    std::vector<CSimpleIniA::Entry> keys;
    keys.reserve(section->size());
    for (const auto &keyValue : *section)
        keys.push_back(keyValue.first);
    std::stable_sort(keys.begin(), keys.end(), CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const auto &key : keys)
        names.emplace_back(key.pItem);
    return names;
}

bool TIniFile::SectionExists(const std::string &Section) const
{
    return Impl->Ini.GetSection(Section.c_str()) != nullptr;
}

std::optional<std::string> TIniFile::ReadString(const std::string &Section, const std::string &Key) const
{
    const char *value = Impl->Ini.GetValue(Section.c_str(), Key.c_str(), nullptr);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

std::vector<std::string> TIniFile::ReadValues(const std::string &Section, const std::string &Key) const
{
    CSimpleIniA::TNamesDepend values;
    Impl->Ini.GetAllValues(Section.c_str(), Key.c_str(), values);
    values.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> texts;
    for (const auto &value : values)
        texts.emplace_back(value.pItem);
    return texts;
}

std::string TIniFile::ReadString(const std::string &Section, const std::string &Key,
                                 const std::string &Default) const
{
    return ReadString(Section, Key).value_or(Default);
}

int32_t TIniFile::ReadInteger(const std::string &Section, const std::string &Key, int32_t Default) const
{
    const auto text = ReadString(Section, Key);
    if (!text)
        return Default;
    return StrToIntStrict(*text).value_or(Default);
}

bool TIniFile::ReadBool(const std::string &Section, const std::string &Key, bool Default) const
{
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string &Section, const std::string &Key, const std::string &Value)
{
    // Replace rather than add, whatever the multi-key setting.
    Impl->Ini.SetValue(Section.c_str(), Key.c_str(), Value.c_str(), nullptr, true);
}

void TIniFile::WriteBool(const std::string &Section, const std::string &Key, bool Value)
{
    WriteString(Section, Key, Value ? "1" : "0");
}

bool TIniFile::UpdateFile()
{
    if (!Problem.empty())
        return false;
    // Written through the platform layer: a pipe or a device named like the
    // settings file is refused, not waited on.
    std::string text;
    if (Impl->Ini.Save(text, false) != SI_OK)
        return false;
    Platform::TFile file;
    return !file.Open(FileName, Platform::TFile::TOpen::Write) && !file.Write(text.data(), text.size()) &&
           !file.Close();
}
