#pragma once

#include "CliProcess.h"
#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

// Pictures and file comparisons for the command-line tests.
namespace CliTestData {

// Red values of the bundled Tiles.ini.
constexpr uint8_t DirtRed = 100;
constexpr uint8_t GrassRed = 40;
constexpr uint8_t DesertRed = 230;
constexpr uint8_t WaterRed = 30;

// A picture of 2 x 2 patches of dirt, grass and desert in a fixed random
// order, with a lake: many places where three terrains meet, so the run has
// many warnings, and a coastline.
void SaveTerrainPatches(const std::string &Path, int Width, int Height);

// Byte-for-byte comparison; Difference tells where the files part.
bool SameBytes(const std::string &A, const std::string &B, std::string *Difference = nullptr);

// Runs the command line in the folder Dir.
CliProcess::TResult RunIn(const std::string &Dir, const std::vector<std::string> &Arguments);
inline CliProcess::TResult RunIn(const TestSupport::TTempDir &Dir, const std::vector<std::string> &Arguments)
{
    return RunIn(Dir.Path(), Arguments);
}

// The lines joined with a newline after each, as the command line prints them.
std::string Lines(const std::vector<std::string> &Lines);

} // namespace CliTestData
