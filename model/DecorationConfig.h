#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TIniFile;

// The decoration of the map with statics (trees, plants, rocks), one section
// [DECORATION_<TERRAIN>] of the tile configuration per land terrain:
//
//   [DECORATION_FOREST]
//   Density=30          ; percent of the terrain's plain cells that get an item
//   Spacing=2           ; no two items closer than this (cells, Chebyshev)
//   oak=8: 0xCDA + 0xCDB,0xCDC
//   log=1: 0xCF3..0xCF7
//
// Every other key is a group: a weight, a colon, and parts joined by '+'. The
// parts of a group stand together on one cell at one altitude (a tree's trunk
// and leaves); each part is one id drawn from its choices, which are tile
// numbers and ranges a..b separated by commas or blanks. Above, an oak is
// trunk 0xCDA with leaves 0xCDB or 0xCDC, and it is chosen 8 times as often
// as a log, which is one of 0xCF3 to 0xCF7.
//
// Density is a target: Spacing can keep a terrain from reaching it (at most
// one cell in Spacing x Spacing can hold an item).

// One choice of ids: First to Last, both included.
struct TIdRange
{
    uint16_t First = 0;
    uint16_t Last = 0;
};

// One static of a group: an id drawn from its ranges, all ids equally likely.
struct TDecorationPart
{
    std::vector<TIdRange> Ranges;
    uint32_t Count = 0; // ids in all ranges together
    // The id with number Index (0 .. Count - 1) over the ranges in order.
    uint16_t Id(uint32_t Index) const;
};

struct TDecorationGroup
{
    std::string Name; // the key
    uint32_t Weight = 0;
    std::vector<TDecorationPart> Parts;
};

struct TTerrainDecoration
{
    // Share of plain cells, in hundredths of a percent (DensityScale is 100 %).
    uint32_t Density = 0;
    uint32_t Spacing = 1;
    uint32_t TotalWeight = 0;
    std::vector<TDecorationGroup> Groups;

    bool Places() const { return Density > 0 && !Groups.empty(); }
};

struct TDecorationConfig
{
    static constexpr uint32_t DensityScale = 10000; // 100.00 %
    static constexpr uint32_t MaxSpacing = 16;
    // A group stands on one cell; with at most this many parts and one wave,
    // a block of 64 cells never holds more statics than a client reads.
    static constexpr size_t MaxParts = 8;
    static constexpr uint32_t MaxWeight = 1000000;

    // By terrain code; only the land terrains (DIRT .. SWAMP) are used.
    std::array<TTerrainDecoration, 9> Terrains;

    // True when at least one terrain places items.
    bool HasDecoration() const;
};

// The section of a terrain's decoration: "DECORATION_" and its name.
std::string DecorationSection(uint16_t Code);

// Reads the decoration sections. A configuration without them decorates
// nothing. A section that cannot be used throws EConvertError naming the file,
// the section and the key.
TDecorationConfig ReadDecorationConfig(const TIniFile &Ini);
// The same from the tile configuration at TilesPath.
TDecorationConfig ReadDecorationConfig(const std::string &TilesPath);
