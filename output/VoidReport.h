#pragma once

#include "MapFormat.h"

#include <cstdint>
#include <string>
#include <vector>

class TTerrainImage;

// Which codes have no tile of their own and so get the void tile in the map
// file. It asks the model the same questions that TileForCode is built from: a
// code with a tile list (HasTileList) is void when that list is empty; any other
// code is void when it has no transition tile (what FixedTile falls back on).
// A tile list or transition that names the void tile's own number is a tile of
// its own and does not count. Nothing here draws a random number.
class TVoidCodes
{
public:
    explicit TVoidCodes(const TTerrainImage &Model);
    bool IsVoid(uint16_t Code) const { return Void[Code] != 0; }
    static bool IsVoid(const TTerrainImage &Model, uint16_t Code);

private:
    std::vector<uint8_t> Void; // by code, 65536 entries
};

// How many map cells get the void tile, and why. Counts cover the cells of the
// map (its size, not the picture's) only; they add up to Total.
struct TVoidReport
{
    // A transition (A*256 + B*16 + D) whose tile is not configured.
    struct TMissingTransition
    {
        uint16_t Code = 0;
        std::string Section; // "TRANS_" + name of A + "_" + name of B
        std::string Key;     // "N" .. "NW"
        uint64_t Cells = 0;
    };
    // A terrain (or water, coastline) whose tile list is empty.
    struct TEmptyList
    {
        uint16_t Code = 0;
        std::string Name;
        uint64_t Cells = 0; // may be 0: the list is empty all the same
    };
    // A code that has no tile and none of the causes above.
    struct TOtherCode
    {
        uint16_t Code = 0;
        uint64_t Cells = 0;
    };

    uint64_t Total = 0;
    uint64_t NoTerrain = 0;         // pixels whose red value names no terrain (code 0)
    uint64_t BorderMarks = 0;       // border cells left without a transition (BORDER_MARK)
    uint64_t TransitionCells = 0;   // the sum over MissingTransitions
    std::vector<TMissingTransition> MissingTransitions; // largest first, ties in code order
    std::vector<TEmptyList> EmptyLists;                 // in code order
    uint64_t OtherCells = 0;        // the sum over Others
    std::vector<TOtherCode> Others; // in code order, e.g. leftover coast marks
    uint64_t OutsidePicture = 0;    // map cells right of or below the picture
};

// True for a transition code A*256 + B*16 + D: two different land terrains
// A and B and a direction D of 1 (N) to 8 (NW).
bool IsTransitionCode(uint16_t Code);

// How the report names a code: "GRASS", "TRANS_SNOW_JUNGLE E", "no terrain",
// "BORDER_MARK", or "code 9" for a code without a name.
std::string CodeName(uint16_t Code);

// Counts the void cells of a map of the given size made from the model's grid
// as it stands (after Generate): grid cells beyond the map are not counted,
// map cells beyond the grid are outside the picture.
TVoidReport MakeVoidReport(const TTerrainImage &Model, const TMapSize &Size);

// The report as a few plain lines: "Void tiles: N cells", then the causes indented.
std::vector<std::string> FormatVoidReport(const TVoidReport &Report);
