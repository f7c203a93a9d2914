#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Tiles that a map may hold besides those the map generation places: the
// roads, cave floors and cliffs of a hand-made world. The optional section
// [ImportTiles] of the tile configuration names them per terrain, for reading
// a map back into a picture only; generation never places them.
//
//     [ImportTiles]
//     GRASS=0x0071-0x0078, 0x03E2
//     DIRT=0x0071-0x0078
//
// Keys are the terrain names of [ColorTileCodeMatch] (DIRT ... SWAMP, WATER);
// values are tile numbers and ranges low-high, decimal or hex, separated by
// commas. A key may be given on several lines.
struct TImportTile
{
    uint16_t Tile = 0;
    uint16_t Code = 0; // the terrain code
};

inline constexpr const char *ImportTilesSection = "ImportTiles";

// Reads [ImportTiles] of the tile configuration at TilesPath, in file order;
// empty without the section. An unknown terrain name, a value that is no tile
// number or range, or a range whose low end is above its high end throws
// EConvertError naming the file, the section and the key.
std::vector<TImportTile> ReadImportTiles(const std::string &TilesPath);
