#pragma once

#include "DecorationConfig.h"
#include "MapFormat.h"
#include "Random.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TTerrainImage;

// The statics files of a map: staidx<N>.mul holds one 12-byte entry per block
// in the map's block order (block-column after block-column): the offset of
// the block's records in statics<N>.mul, their length (7 per static) and an
// unused 0; a block without statics is (-1, 0, 0). statics<N>.mul holds 7-byte
// records: id (u16), x and y in the block (0..7), z (s8), hue (u16, 0). It
// starts with one record that no block uses, since a client takes a block
// whose records start at offset 0 for an empty one.
namespace StaticsFile {
constexpr int IndexEntryBytes = 12;
constexpr int RecordBytes = 7;
// The most statics a client reads in one block; a block here holds at most
// 64 cells x (TDecorationConfig::MaxParts + 1 wave).
constexpr int MaxPerBlock = 1024;
// Readers take offsets and lengths as signed 32-bit numbers.
constexpr uint64_t MaxDataBytes = 0x7FFFFFFF;
} // namespace StaticsFile

struct TStaticsFiles
{
    std::vector<uint8_t> Index; // staidx<N>.mul
    std::vector<uint8_t> Data;  // statics<N>.mul
};

// What a decoration put where, for the report.
struct TStaticsCounts
{
    // By land terrain code: the plain cells that could be decorated (a cell
    // with a wave or the void tile cannot) and the cells that got a group.
    std::array<uint64_t, 9> PlainCells{};
    std::array<uint64_t, 9> Decorated{};
    uint64_t Waves = 0;
    uint64_t Records = 0; // statics written, waves included
};

// The statics of a decorated map, from the model's final grid, for a map of
// Size (map cell (x, y) is grid cell (x + 1, y + 1), as the map writer has it):
//  - each plain cell of a land terrain with decoration draws random(10000),
//    row by row from the top, each row from the left; below the
//    terrain's density, and with no item placed within Spacing - 1 cells, it
//    gets a group drawn by weight (random(total weight)) and, for every part
//    with more than one id, an id (random(count)). Transition, coastline,
//    water and void cells get no decoration; nor does a cell with a wave.
//  - each land, transition or coastline cell with water among its eight
//    neighbours gets the wave that ShoreWaves gives, at the highest altitude
//    of those water cells. Waves draw nothing.
// A decoration item stands at StaticAltitude. Generator is the decoration's
// own stream (Random::NewStream(TSeedSite::Decoration)); the map's generator
// is not touched. Throws EMapWriteError when the statics file would pass
// StaticsFile::MaxDataBytes.
//
// Walk chooses the code: Straightforward tests every cell on its own, as said
// above; Fast (what the runs use) gives the same files and counts, byte for byte.
enum class TStaticsWalk { Fast, Straightforward };
TStaticsFiles BuildStatics(const TTerrainImage &Model, const TMapSize &Size, const TDecorationConfig &Config,
                           TPcg32 Generator, TStaticsCounts *Counts = nullptr,
                           TStaticsWalk Walk = TStaticsWalk::Fast);

// The statics files of a map without statics: every block (-1, 0, 0) and the
// statics file just the one unused record.
TStaticsFiles BuildEmptyStatics(const TMapSize &Size);

// The altitude at which a static on map cell (X, Y) stands clear of the land:
// the higher of the cell's altitude and the client's average altitude of the
// cell. The client draws a cell as a quad over the altitudes of the cell and
// its E, S and SE neighbours and averages the diagonal whose two ends differ
// less (the cell and SE on a tie), rounding down. A neighbour outside the map
// counts with the cell's own altitude; inside the map but outside the grid
// with 0, as the map file has it.
int8_t StaticAltitude(const TTerrainImage &Model, const TMapSize &Size, int X, int Y);

// The report's lines on decorated statics: per land terrain that has plain
// cells or asks for decoration, the share of its plain cells decorated against
// the share asked (the spacing may keep it below), then the shore waves.
std::vector<std::string> FormatStaticsReport(const TStaticsCounts &Counts, const TDecorationConfig &Config);
