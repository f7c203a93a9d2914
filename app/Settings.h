#pragma once

#include "MapFormat.h"

#include <optional>
#include <string>
#include <vector>

// The window's settings file: the file names (picture, map, heights picture), the start-up option and the
// map's size and statics choice, carried from one run to the next in the
// section "Main".
struct TSettings
{
    std::string BMPFileName = "map.bmp";
    std::string MAPFileName = "map0.mul";
    bool LoadBMPOnStartup = false;
    TMapSize MapSize = MapSizes::Classic; // "MapWidth", "MapHeight"; no map size gives the default
    // "Statics": none, empty or decorated. A file from before, without it,
    // gives empty when its "WriteStatics" is on.
    TStaticsChoice Statics = TStaticsChoice::None;
    std::string HeightsFileName = ""; // "HeightsFileName": empty, no painted heights
};

// The settings file of the running program: its own path with the extension
// ".ini" (<bindir>/morvane.ini).
std::string DefaultSettingsPath();

// The tile configuration the program reads: Tiles.ini next to the executable.
std::string DefaultTilesPath();

// The settings file in the user's configuration folder (Qt's standard place),
// for when the program's own folder cannot be written.
std::string DefaultUserSettingsPath();

// Where the settings are kept, and what had to be done to keep them there.
struct TSettingsPlace
{
    std::string Path;
    std::vector<std::string> Notes; // to be said once, at start-up
};

// ProgramPath when the file there (or its folder) can be written, else
// UserPath, whose folder is made and which starts as a copy of ProgramPath. A
// file that cannot be read as settings (a NUL byte after a crash, say) is
// kept beside as "<file>.bad" and a fresh one written in its place.
TSettingsPlace PrepareSettingsFile(const std::string &ProgramPath, const std::string &UserPath);

// A missing file, section or key gives the defaults above.
TSettings ReadSettings(const std::string &Path);

// Writes the keys, keeping whatever else the file holds; false when the file
// cannot be written.
bool WriteSettings(const std::string &Path, const TSettings &Settings);

// "none", "empty", "decorated": the settings file's words for the statics choice.
const char *StaticsChoiceName(TStaticsChoice Choice);
std::optional<TStaticsChoice> StaticsChoiceOfName(const std::string &Name);
