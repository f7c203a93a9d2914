#include "IniFile.h"

#include "Numbers.h"

// Plain bytes, no UTF-16 conversion: names and values are kept as the file has them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION // this is the one translation unit that holds SimpleIni's code
#include <SimpleIni.h>

#include <algorithm>
#include <fstream>
#include <sstream>

struct TIniFile::TImpl
{
    CSimpleIniA Ini{false, true, false}; // names without regard to case; multi-key; no multi-line
};

TIniFile::TIniFile(std::string FileName_) : Impl(std::make_unique<TImpl>()), FileName(std::move(FileName_))
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        return;
    std::ostringstream data;
    data << in.rdbuf();
    const std::string text = data.str();
    Found = true;
    Impl->Ini.LoadData(text.data(), text.size());
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
    return Impl->Ini.SaveFile(FileName.c_str(), false) == SI_OK;
}
