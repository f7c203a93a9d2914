#pragma once

#include "ClassTerrainImage.h"
#include "MapFormat.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The lowest and highest altitude of the cells of one terrain, and how many there are.
struct TTerrainAltitudes
{
    uint64_t Cells = 0;
    int Lowest = 0;  // meaningful only when Cells > 0
    int Highest = 0;
};

// The altitudes of a map per terrain, for the report and the preview's legend:
// the eight land terrains, water and coastline by code, and every transition
// (whatever its two terrains and direction) in one group. Other codes (no
// terrain, marks left by the stages) belong to no group: the void-tile report
// counts them.
struct TAltitudeRanges
{
    std::array<TTerrainAltitudes, COASTLINE + 1> Terrains{}; // by code: DIRT..SWAMP, WATER, COASTLINE
    TTerrainAltitudes Transitions;

    // The range of a terrain code (DIRT..SWAMP, WATER, COASTLINE).
    const TTerrainAltitudes &Of(uint16_t Code) const { return Terrains[Code]; }
};

// The codes that have a range of their own, in the order the report lists them.
constexpr std::array<uint16_t, 10> AltitudeRangeCodes = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS,
                                                         FOREST, JUNGLE, SWAMP, WATER, COASTLINE};

// One pass over the cells of the grid that lie inside a map of this size
// (after Generate, as the map writer reads them). Draws no random number.
TAltitudeRanges MakeAltitudeRanges(const TTerrainImage &Model, const TMapSize &Size);

// "-5 to 12, 340 cells" (or "1 cell"); "no cells" for an empty range.
std::string FormatTerrainAltitudes(const TTerrainAltitudes &Range);

// The report's lines: "Altitudes per terrain (lowest to highest):", then one
// indented line per terrain present ("  GRASS: 0 to 12, 340 cells") in
// AltitudeRangeCodes order and "  transition: ..." last.
std::vector<std::string> FormatAltitudeRanges(const TAltitudeRanges &Ranges);
