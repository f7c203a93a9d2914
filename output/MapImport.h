#pragma once

#include "ImportTiles.h"
#include "LargeVector.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class TMapReader;
class TTerrainImage;

// A map's cells in memory, row after row from the top: what reading a map
// back needs, whatever its file format.
struct TMapCells
{
    int Width = 0;
    int Height = 0;
    TLargeVector<uint16_t> Tiles;
    TLargeVector<int8_t> Altitudes;

    size_t Index(int X, int Y) const { return size_t(Y) * size_t(Width) + size_t(X); }
};

// Reads every cell of the map (the map's size as the reader has it), on both cores.
TMapCells ReadMapCells(TMapReader &Map);

// What reading a map back needs per cell, in bytes: the tiles (2) and
// altitudes (1), the terrains found (1), and then where sand lies low over a
// wide area (1) with the cells still to visit there (up to 4, where the whole
// map is such sand); the coast cells take a bit each after that.
inline constexpr uint64_t ImportBytesPerCell = 9;
// Throws EMapReadError, naming the map's size and the memory it needs, when
// reading it back with BytesPerCell would need more than Budget bytes.
void CheckImportMemory(const TMapReader &Map, uint64_t BytesPerCell, uint64_t Budget);

// What a tile says about the terrain painted at its cell.
enum class TTileKind : uint8_t {
    Unknown,      // in no list of the configuration
    Plain,        // a tile of one terrain (or water): that terrain
    Coast,        // a coastline tile: land or water, by the cell's surroundings
    CoastOrPlain, // both a coastline tile and a tile of terrain Code (sand)
    Transition,   // a transition tile between the terrains of Candidates
    Void,         // the void tile: no terrain was painted there
};

struct TTileClass
{
    TTileKind Kind = TTileKind::Unknown;
    uint8_t Code = 0;        // Plain and CoastOrPlain: the terrain code
    // The transitions that show this tile (a plain tile too, where a pair
    // without edge tiles shows a plain tile of one of its terrains): bit c
    // set for each land terrain c (1..8) of their pairs, and in Middles for
    // each of their middle terrains, the one on the side the direction names.
    uint16_t Candidates = 0;
    uint16_t Middles = 0;
    // Named only by the import tiles (a road, a cave floor): read as its
    // terrain, but a merge keeps it like an unknown tile.
    bool ImportOnly = false;
};

// The class of every tile number under a tile configuration and its import
// tiles. The lists are taken in this order, the first one to name a tile
// deciding: the terrains' and water's tiles, the import tiles, then the
// coastline's (a coastline tile that is also a terrain's becomes
// CoastOrPlain), the transition tiles (one that is a terrain's plain tile,
// as the fallbacks of pairs without edge tiles are, stays plain and names the
// transitions' terrains too), the void tiles.
class TTileClasses
{
public:
    TTileClasses(const TTerrainImage &Config, const std::vector<TImportTile> &ImportTiles);
    const TTileClass &Of(uint16_t Tile) const { return Classes[Tile]; }
    // Whether the altitude tells a sand cell (a coastline tile that is also a
    // terrain's) that is coast from one that is not: so when the coast heights
    // give coastline cells altitudes that they give none of the three rings of
    // land beside the coast (the bundled [Heights] does: coast -15 to -3,
    // rings -1, 0 and 1). Then CoastAltitude tells which altitudes are coast.
    bool AltitudesTellCoast() const { return TellCoast; }
    bool CoastAltitude(int8_t Altitude) const { return CoastAltitudes[uint8_t(Altitude)] != 0; }

private:
    std::vector<TTileClass> Classes; // 65536
    std::array<uint8_t, 256> CoastAltitudes{};
    bool TellCoast = false;
};

// A cell whose tile is in no list: it names no terrain.
inline constexpr uint8_t UnknownTerrain = 255;

// The terrain painted at each cell, as generating the picture would have
// needed it: codes 1..8, WATER, NO_TERRAIN for void cells, UnknownTerrain.
struct TTerrainImport
{
    int Width = 0;
    int Height = 0;
    TLargeVector<uint8_t> Codes; // row after row
    uint64_t UnknownCells = 0;
    // Blocks the map file holds beyond its size (a size given too small):
    // not read.
    uint64_t BlocksBeyond = 0;
    // The tile numbers of the unknown cells with their counts, most common
    // first (ties: lower tile first).
    std::vector<std::pair<uint16_t, uint64_t>> UnknownTiles;

    uint8_t Code(int X, int Y) const { return Codes[size_t(Y) * size_t(Width) + size_t(X)]; }
};

// Reads the painted terrains back from a map's tiles:
// - a plain tile gives its terrain;
// - a coastline tile that is also a terrain's tile (sand) is coast by its
//   altitude where the configuration's coast altitudes are none of its
//   rings' (AltitudesTellCoast), else when water lies within CoastReach
//   cells (a coast strip is three cells wide and may stand one cell off the
//   water); otherwise that terrain;
// - a transition tile: the border stage put the cell on the line because a
//   neighbour before it in the scan (W, NW, N, NE), itself off the line, had
//   another terrain; so of the tile's terrains, those that put it on the line
//   again, following the border stage's scan over the picture being made;
//   of those the terrain of the line cell before it (a line keeps to its
//   side), else of the land after it (E, SE, S, SW), where a line lies;
// - a plain tile that transitions show too (a pair of terrains without edge
//   tiles shows a plain tile of one of them on its line, so a line across,
//   in the first row of the lower terrain, shows the upper one's tile): its
//   terrain, unless that leaves the cell off the line while a later
//   neighbour with a plain tile of another terrain shows a tile that the
//   transition the cell would put there cannot show. That transition pairs
//   the two terrains, and below (and south-west, the west cell being off
//   the line) it has the cell's terrain as its middle one. Then the cell is
//   on the line, with a terrain of its tile's transitions that puts it
//   there: the neighbour's where it can, else the lowest code;
// - a coastline cell takes the kind (water or its land terrain) of the
//   nearest cell with a plain tile, the later one in the scan where two are
//   as near: the middle of a coast strip lies on the line, on the later side
//   (decided before the transitions, which then see it); but a coast cell
//   whose only neighbour off the coast lies north-east takes the other
//   side's terrain (that neighbour put it on the line: the north-east corner
//   of a lake or an island, where the line turns down the east shore).
// Most cells come back as painted. Importing, generating and importing again
// gives nearly, not exactly, the same picture: where a line of a pair without
// edge tiles bends, a cell may show the same tile whichever of its two
// terrains was painted there, or a plain tile drawn for a cell beside the
// line may be one the line shows too, so only the random draws tell; and a
// coast strip is split by distance, not by where its line lay, which along a
// slanting shore may be a cell over. Such cells may come back one cell over.
TTerrainImport ImportTerrains(const TMapCells &Map, const TTileClasses &Classes);
inline constexpr int CoastReach = 3;
