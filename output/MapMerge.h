#pragma once

#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "MapFormat.h"
#include "MapImport.h"
#include "MapReader.h"
#include "StaticsMerge.h"
#include "ZeroedArray.h"

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TTerrainImage;

// Regenerating only what was repainted: a map that exists, a picture of it
// that was changed in places (made from the map with the import, then
// painted on), and the blocks of the map that the changes need made anew.

// The existing map: its cells read into memory, its file kept open while the
// merge writes (what is kept is copied from the file as it lies there) and
// closed before the new files are put in place, so that the merge may
// replace it.
struct TExistingMap
{
    std::string FileName;
    TMapSize Size;
    TMapCells Cells;
    std::shared_ptr<TMapReader> Reader;

    // Block-column BlockColumn as the MUL form stores it, headers included
    // (Size.ColumnBytes()): where it lies in the file, else copied into
    // Scratch. May be called from several threads, each with its own Scratch.
    const uint8_t *Column(int BlockColumn, std::vector<uint8_t> &Scratch) const;
    // Closes the file; Column may no longer be called.
    void Close() { Reader.reset(); }
};
// Throws EMapReadError when the file holds more blocks than a map of its
// size needs (a size given too small): the merge writes a map of that size
// and would drop them.
void CheckNothingBeyondTheMap(const TMapReader &Map);

// What a merge needs per cell besides the picture's grid (TLoadOptions::
// BytesPerCell): the existing map's cells (3), its terrains (1) and then the
// border stage's marks or the wide low sand of the import (up to 5, see
// ImportBytesPerCell), the codes as loaded (1) and the remade cells (1).
inline constexpr uint64_t MergeBytesPerCell = 11;
// Throws EMapReadError, also when the map and the picture's grid of its size
// would need more than MemoryBudget bytes together.
TExistingMap ReadExistingMap(const std::string &FileName, std::optional<TMapSize> Size,
                             uint64_t MemoryBudget = TLoadOptions::DefaultMemoryBudget);

// How far around a changed cell the map is made anew: the border line and
// its transitions reach one cell beyond a change, the coastline's 3 x 3
// pieces two, and the three coast rings three more; 6 cells, rounded out to
// whole blocks of 8, so that every stage joins the kept map in the margin.
inline constexpr int MergeMargin = 6;

// Which blocks and cells of the map are made anew.
struct TMergeRegion
{
    TMapSize Size;
    // Cells whose terrain in the picture differs from the one the import
    // reads from the map.
    uint64_t ChangedCells = 0;
    // Land cells of the same terrain whose painted altitude (with painted
    // heights) differs from the map's: made anew as well.
    uint64_t RepaintedHeights = 0;
    // By block index (block-column * block-rows + block-row): 1 for a block
    // made anew: one within MergeMargin cells of a changed cell.
    std::vector<uint8_t> Blocks;
    uint64_t RemadeBlocks = 0;
    // By cell, row after row: 1 for a cell made anew, one in a remade block
    // whose tile the configuration knows (a road or cave floor of a
    // hand-made map, unknown to it, is always kept). Zero pages outside the
    // remade blocks cost nothing.
    TZeroedArray<uint8_t> Cells;

    // Whether cell (X, Y) of the map is made anew. The cells of a kept block
    // are not looked at: their pages are never touched.
    bool Remade(int X, int Y) const
    {
        return X >= 0 && Y >= 0 && X < Size.Width && Y < Size.Height &&
               Blocks[size_t(X / 8) * size_t(Size.BlockRows()) + size_t(Y / 8)] &&
               Cells[size_t(Y) * size_t(Size.Width) + size_t(X)];
    }
};

// Painted altitudes of the picture's cells: row after row, Stride cells from
// one row's first to the next's (the model's framed grid); none when First
// is null.
struct TPaintedAltitudes
{
    const int8_t *First = nullptr;
    size_t Stride = 0;
};

// Compares the painted codes (row after row, as the load gave them:
// TTerrainImage::LoadedCodes) with the terrains the import read from the
// existing map, and with Heights the painted altitudes of the land cells
// whose terrain stays with the map's altitudes: a cell differing in either
// is changed.
TMergeRegion FindMergeRegion(std::span<const uint8_t> Painted, const TTerrainImport &Existing,
                             const TMapCells &Cells, const TTileClasses &Classes, TPaintedAltitudes Heights = {});

// The existing map read whole and imported on a thread of its own, while the
// picture is loaded and the first stages run over it, and then, on the same
// thread, compared with the picture as loaded (FindMergeRegion): the two are
// independent until the region is needed, before the height stages.
class TExistingMapReading
{
public:
    // Classes must outlive the reading.
    TExistingMapReading(const std::string &FileName, std::optional<TMapSize> Size, uint64_t MemoryBudget,
                        const TTileClasses &Classes);
    ~TExistingMapReading();
    TExistingMapReading(const TExistingMapReading &) = delete;
    TExistingMapReading &operator=(const TExistingMapReading &) = delete;

    // Waits until the map's file is open (for TExistingMap::Column) and
    // throws what opening it threw (EMapReadError).
    const TExistingMap &Opened();
    // Wait for the cells and their import; they throw what the reading
    // threw (EMapReadError).
    const TMapCells &Cells();
    const TTerrainImport &Import();
    // The picture's codes as loaded (TTerrainImage::LoadedCodes, row after
    // row) and its painted altitudes, if any: once the map is imported, the
    // reading compares them with its terrains and altitudes. At most once;
    // both must live, unchanged, until the region is taken.
    void ComparePicture(std::span<const uint8_t> Painted, TPaintedAltitudes Heights = {});
    // Waits for that comparison, at most once; throws what the reading or
    // the comparison threw.
    TMergeRegion TakeRegion();
    // Waits for the whole reading.
    const TExistingMap &Map();
    // The map as it will be once read (for hooks that run after Map()).
    TExistingMap &MapWhenRead() { return Existing; }

private:
    void Wait();
    TExistingMap Existing;
    TTerrainImport Imported;
    std::promise<void> OpenPromise;
    std::shared_future<void> OpenReady;
    std::promise<void> ImportPromise;
    std::shared_future<void> ImportReady;
    // The picture to compare (none when the object ends without one) and the region.
    struct TPicture
    {
        std::span<const uint8_t> Codes;
        TPaintedAltitudes Heights;
    };
    std::promise<std::optional<TPicture>> PicturePromise;
    bool PictureGiven = false;
    std::promise<TMergeRegion> RegionPromise;
    std::future<TMergeRegion> RegionReady;
    std::future<void> Done;
};

// The statics of a merge.
struct TMergeStatics
{
    // The statics beside the existing map, read whole; none when there are none.
    std::optional<TStaticsFiles> Existing;
    // Ids of the decoration and the waves: removed from remade blocks.
    std::function<bool(uint16_t Id)> Ours;
    // Decoration and waves are made anew in remade blocks (else only removed).
    bool Decorate = false;
    TDecorationConfig Decoration;
};

// Where a merge runs the height stages: on the part of the grid around the
// remade blocks (what a merge does), or over the whole grid, the
// straightforward way that the part must agree with, cell for cell.
enum class TMergeStages { OnRemadePart, OverWholeGrid };

// The parts of a Generate command that make a map only in the remade region:
// before the terrain smoothing, every kept cell takes its altitude from the
// existing map and stands fixed, so that the remade altitudes join it (the
// height stages then run only around the remade blocks); the
// writer fills only block-columns with remade blocks and copies everything
// kept, byte for byte, from the existing map (a MUL output gets the whole
// existing map written from the first stage on, and the block-columns with
// remade blocks written over it at the end); the statics are merged (when
// the output has statics). Report is filled while the statics are made. All
// referenced objects must outlive the run.
TPartialRun MakeMergeRun(TExistingMap &Existing, const TMergeRegion &Region, const TMergeStatics &Statics,
                         TStaticsMergeReport &Report, TMergeStages Stages = TMergeStages::OnRemadePart);
// The same with the existing map still being read: before the first stage
// it gives the reading the codes as the picture was loaded, which it must
// have been with TLoadOptions::DeferStartAltitudes (else the run throws
// std::logic_error), and just before the height stages it takes the region
// that the reading found from them into Region.
TPartialRun MakeMergeRun(TExistingMapReading &Reading, TMergeRegion &Region, const TMergeStatics &Statics,
                         TStaticsMergeReport &Report, TMergeStages Stages = TMergeStages::OnRemadePart);
