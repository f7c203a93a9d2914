#include "Settings.h"

#include "ExecutablePath.h"
#include "IniFile.h"

#include <filesystem>

namespace {

const char *const Section = "Main";
const char *const KeyBMPFileName = "BMPFileName";
const char *const KeyMAPFileName = "MAPFileName";
const char *const KeyLoadBMPOnStartup = "LoadBMPOnStartup";
const char *const KeyMapWidth = "MapWidth";
const char *const KeyMapHeight = "MapHeight";
const char *const KeyWriteStatics = "WriteStatics";

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
    const TMapSize size{ini.ReadInteger(Section, KeyMapWidth, defaults.MapSize.Width),
                        ini.ReadInteger(Section, KeyMapHeight, defaults.MapSize.Height)};
    settings.MapSize = IsValidMapSize(size) ? size : defaults.MapSize;
    settings.WriteStatics = ini.ReadBool(Section, KeyWriteStatics, defaults.WriteStatics);
    return settings;
}

bool WriteSettings(const std::string &Path, const TSettings &Settings)
{
    TIniFile ini(Path);
    ini.WriteString(Section, KeyBMPFileName, Settings.BMPFileName);
    ini.WriteString(Section, KeyMAPFileName, Settings.MAPFileName);
    ini.WriteBool(Section, KeyLoadBMPOnStartup, Settings.LoadBMPOnStartup);
    ini.WriteString(Section, KeyMapWidth, std::to_string(Settings.MapSize.Width));
    ini.WriteString(Section, KeyMapHeight, std::to_string(Settings.MapSize.Height));
    ini.WriteBool(Section, KeyWriteStatics, Settings.WriteStatics);
    return ini.UpdateFile();
}
