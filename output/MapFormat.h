#pragma once

#include "DecorationConfig.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The map file: block-columns of blocks, each block 8 x 8 cells after a
// four-byte header, each cell a little-endian tile number and a signed altitude.
// The numbers of blocks here are those of the classic 6144 x 4096 map; a map of
// another size (TMapSize) has Width / 8 block-columns of Height / 8 blocks.
namespace MapFile {
constexpr int BlockColumns = 768;
constexpr int BlockRows = 512;
constexpr int BlockSide = 8;                  // cells per block edge
constexpr int CellBytes = 3;                  // tile low, tile high, altitude
constexpr int BlockHeaderBytes = 4;           // always zero
constexpr int BlockBytes = BlockHeaderBytes + BlockSide * BlockSide * CellBytes; // 196
constexpr int ColumnBytes = BlockRows * BlockBytes;                              // 100352
constexpr int64_t FileBytes = int64_t(BlockColumns) * ColumnBytes;              // 77070336
} // namespace MapFile

// The size of a map in cells. The map is stored in blocks of 8 x 8 cells,
// block-column after block-column (block index = bx * BlockRows() + by), so
// both sides are multiples of 8.
struct TMapSize
{
    int Width = 6144;
    int Height = 4096;

    int BlockColumns() const { return Width / 8; }
    int BlockRows() const { return Height / 8; }
    uint64_t Blocks() const { return uint64_t(BlockColumns()) * uint64_t(BlockRows()); }
    uint64_t Cells() const { return uint64_t(Width) * uint64_t(Height); }
    // One block-column of blocks, MapFile::BlockBytes each.
    size_t ColumnBytes() const;
    // The blocks of the whole map one after the other: the whole of a MUL file.
    uint64_t BlockBytes() const;

    bool operator==(const TMapSize &) const = default;
};

namespace MapSizes {
// The size of map0.mul before the fourth expansion; the default.
constexpr TMapSize Classic{6144, 4096};
// The largest side the model's grid (16-bit sizes) can cover, a multiple of 8.
constexpr int MaxSide = 65528;
} // namespace MapSizes

// Sides that are multiples of 8 from 8 to MapSizes::MaxSide.
bool IsValidMapSize(const TMapSize &Size);
// "7168x4096" (an 'x' or 'X', plain decimal numbers); nullopt unless valid.
std::optional<TMapSize> ParseMapSize(const std::string &Text);
std::string FormatMapSize(const TMapSize &Size); // "7168 x 4096"

// The size of facet N (map<N>) as the current clients have it: map0 and map1
// 7168 x 4096, map2 2304 x 1600, map3 2560 x 2048, map4 1448 x 1448,
// map5 1280 x 4096. nullopt for any other number.
std::optional<TMapSize> FacetSize(int Facet);
constexpr int FacetCount = 6;

// The facets whose current size this is (map0 and map1 share one); empty for
// any other size.
std::vector<int> FacetsOfSize(const TMapSize &Size);

// How the map file is stored: plain blocks (map<N>.mul) or the MYP container
// that current clients read (map<N>LegacyMUL.uop).
enum class TMapFormat { Mul, Uop };

// The format a file name asks for: Uop for a name ending in ".uop" (any case).
TMapFormat FormatForName(const std::string &FileName);
const char *FormatName(TMapFormat Format); // "MUL", "UOP"

// The facet number a map file's name carries: "map2LegacyMUL.uop" and
// "MAP2.mul" give 2, "map0123.mul" 123 (all the digits, leading zeros
// dropped); nullopt when the name does not start with "map" and digits. A
// number beyond the range of int gives INT_MAX; numbers above MaxMapNumber
// name no map (MapNumberProblem).
std::optional<int> MapNumberOfName(const std::string &FileName);
// Servers and clients number their maps with one byte.
constexpr int MaxMapNumber = 255;
// Why the map number in the file's name cannot be used ("The map file
// map256.mul names map 256; map numbers go from 0 to 255."), or empty.
std::string MapNumberProblem(const std::string &FileName);

// Which statics files a run writes beside the map: none (files already there,
// which may hold a user's buildings, stay as they are), empty ones (every
// block without statics, so that the old world's statics do not stand on the
// new terrain), or the decoration and shore waves of the new map.
enum class TStaticsChoice { None, Empty, Decorated };

// Everything a run writes: the map file in its size and format and, when asked
// for, statics files of the same size next to it.
struct TMapOutput
{
    std::string FileName = "map0.mul";
    TMapSize Size = MapSizes::Classic;
    TMapFormat Format = TMapFormat::Mul;
    TStaticsChoice Statics = TStaticsChoice::None;
    // What Decorated places; read with the tile configuration.
    TDecorationConfig Decoration;
    int MapNumber = 0; // N of the statics files and of the UOP entry names
    // When not empty, the map's altitudes are also saved there as a heights
    // picture (HeightsPicture.h), in the same all-or-nothing save.
    std::string HeightsPicture;

    // Size from the settings, format and facet number from the name.
    static TMapOutput ForFile(const std::string &FileName, const TMapSize &Size = MapSizes::Classic,
                              TStaticsChoice Statics = TStaticsChoice::None);
};

// Name in the folder of FileName, written with the folder part of FileName.
std::string Beside(const std::string &FileName, const std::string &Name);

// The statics files of a map output: staidx<N>.mul and statics<N>.mul in the
// folder of the map file.
std::string StaticsIndexPath(const TMapOutput &Output);
std::string StaticsDataPath(const TMapOutput &Output);

// Every file that a run with this output writes, the map file first, the
// heights picture (if any) last.
std::vector<std::string> MapOutputPaths(const TMapOutput &Output);
