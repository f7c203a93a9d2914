#pragma once

#include "MapFormat.h"

#include <string>

// The window's settings file: the two file names, the start-up option and the
// map's size and statics choice, carried from one run to the next in the
// section "Main".
struct TSettings
{
    std::string BMPFileName = "map.bmp";
    std::string MAPFileName = "map0.mul";
    bool LoadBMPOnStartup = false;
    TMapSize MapSize = MapSizes::Classic; // "MapWidth", "MapHeight"; no map size gives the default
    bool WriteStatics = false;            // "WriteStatics"
};

// The settings file of the running program: its own path with the extension
// ".ini" (<bindir>/morvane.ini).
std::string DefaultSettingsPath();

// The tile configuration the program reads: Tiles.ini next to the executable.
std::string DefaultTilesPath();

// A missing file, section or key gives the defaults above.
TSettings ReadSettings(const std::string &Path);

// Writes the keys, keeping whatever else the file holds; false when the file
// cannot be written.
bool WriteSettings(const std::string &Path, const TSettings &Settings);
