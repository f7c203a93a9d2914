#pragma once

#include <array>
#include <cstdint>
#include <string>

class TIniFile;

// The altitudes that the image load and the height stages give: read from the
// optional [Heights] section of the tile configuration. Every key left out
// keeps the value below, so a configuration without the section makes the
// same maps as before the section existed.

// An altitude range low..high, both ends included; a draw takes
// Low + random(Count()), one number of the generator as before.
struct TAltitudeRange
{
    int Low;
    int High;
    uint32_t Count() const { return uint32_t(High - Low + 1); }
    bool operator==(const TAltitudeRange &) const = default;
};

struct THeightProfile
{
    // Start altitudes at image load.
    int Water = -75;
    TAltitudeRange MountainStart{20, 74};
    TAltitudeRange OtherStart{0, 9};
    // The altitude the coastline stage gives the coast it makes.
    int Coastline = -15;
    // The three rings grown inland from water and coastline.
    std::array<int, 3> Rings{-15, -12, -1};
    // Seed altitudes of the random heights.
    TAltitudeRange MountainSeed{110, 124};
    TAltitudeRange OtherSeed{-2, 59};

    // Set when the section names the water or the coastline altitude: the
    // coast heights then set every water (coastline) cell to it, also the
    // cells that the border and coast stages turned into water or coastline
    // after the load gave them another altitude.
    bool LevelWater = false;
    bool LevelCoastline = false;
    // CoastTable=1: a coastline cell next to water is lowered by where its
    // water lies, as the game's coastline tool does (see CoastTableAltitude).
    bool CoastTable = false;

    bool operator==(const THeightProfile &) const = default;
};

inline constexpr const char *HeightSection = "Heights";

// Reads [Heights]; a value that is no number or range, lies outside
// -128..127, or a range whose low end is above its high end throws
// EConvertError naming the file, the section and the key.
THeightProfile ReadHeightProfile(const TIniFile &Ini);

// The altitude of a coastline cell next to water, by the water among its
// neighbours: bit d - 1 set when the neighbour in direction d (1 N, 2 NE, ...
// 8 NW, the shared neighbour order) is water. Unchanged gives Keep.
int CoastTableAltitude(unsigned WaterMask, int Water, int Keep);
