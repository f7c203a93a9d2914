#include "Settings.h"

#include "ExecutablePath.h"
#include "IniFile.h"

#include <filesystem>

namespace {

const char *const Section = "Main";
const char *const KeyBMPFileName = "BMPFileName";
const char *const KeyMAPFileName = "MAPFileName";
const char *const KeyLoadBMPOnStartup = "LoadBMPOnStartup";

} // namespace

std::string DefaultSettingsPath()
{
    return std::filesystem::path(ExecutablePath()).replace_extension(".ini").string();
}

std::string DefaultTilesPath()
{
    return FileNextToExecutable("Tiles.ini");
}

TSettings ReadSettings(const std::string &Path)
{
    const TIniFile ini(Path);
    const TSettings defaults;
    TSettings settings;
    settings.BMPFileName = ini.ReadString(Section, KeyBMPFileName, defaults.BMPFileName);
    settings.MAPFileName = ini.ReadString(Section, KeyMAPFileName, defaults.MAPFileName);
    settings.LoadBMPOnStartup = ini.ReadBool(Section, KeyLoadBMPOnStartup, defaults.LoadBMPOnStartup);
    return settings;
}

bool WriteSettings(const std::string &Path, const TSettings &Settings)
{
    TIniFile ini(Path);
    ini.WriteString(Section, KeyBMPFileName, Settings.BMPFileName);
    ini.WriteString(Section, KeyMAPFileName, Settings.MAPFileName);
    ini.WriteBool(Section, KeyLoadBMPOnStartup, Settings.LoadBMPOnStartup);
    return ini.UpdateFile();
}
