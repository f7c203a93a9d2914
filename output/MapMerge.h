#pragma once

#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "MapFormat.h"
#include "MapImport.h"
#include "StaticsMerge.h"

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

class TTerrainImage;

// Regenerating only what was repainted: a map that exists, a picture of it
// that was changed in places (made from the map with the import, then
// painted on), and the blocks of the map that the changes need made anew.

// The existing map, read whole into memory, its file closed again, so that
// the merge may replace it.
struct TExistingMap
{
    std::string FileName;
    TMapSize Size;
    std::vector<uint8_t> Blocks; // as the MUL form stores them, headers included
    TMapCells Cells;
};
// What a merge needs per cell besides the picture's grid (TLoadOptions::
// BytesPerCell): the existing map's blocks (3.06) and cells (3), its
// terrains and the border stage's marks (2) and the remade cells (1),
// rounded up.
inline constexpr uint64_t MergeBytesPerCell = 10;
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
    // By block index (block-column * block-rows + block-row): 1 for a block
    // made anew: one within MergeMargin cells of a changed cell.
    std::vector<uint8_t> Blocks;
    uint64_t RemadeBlocks = 0;
    // By cell, row after row: 1 for a cell made anew, one in a remade block
    // whose tile the configuration knows (a road or cave floor of a
    // hand-made map, unknown to it, is always kept).
    std::vector<uint8_t> Cells;
};

// The codes of the picture loaded into Picture, row after row, as the load
// gave them (the stages then rewrite the grid): terrains, water and no
// terrain, all below 256.
std::vector<uint8_t> PaintedCodes(const TTerrainImage &Picture);
// Compares the painted codes with the terrains the import read from the
// existing map (Painted's memory then holds the remade cells).
TMergeRegion FindMergeRegion(std::vector<uint8_t> Painted, const TTerrainImport &Existing,
                             const TMapCells &Cells, const TTileClasses &Classes);

// The existing map read whole and imported on a thread of its own, while the
// picture is loaded and the first stages run over it: the two are
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

    // Wait for the cells and their import (the blocks are copied after
    // them); they throw what the reading threw (EMapReadError).
    const TMapCells &Cells();
    const TTerrainImport &Import();
    // Waits for the whole reading, the blocks too.
    const TExistingMap &Map();
    // The map as it will be once read (for hooks that run after Map()).
    const TExistingMap &MapWhenRead() const { return Existing; }

private:
    void Wait();
    TExistingMap Existing;
    TTerrainImport Imported;
    std::promise<void> ImportPromise;
    std::shared_future<void> ImportReady;
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
// kept, byte for byte, from the existing map; the statics are merged (when
// the output has statics). Report is filled while the statics are made. All
// referenced objects must outlive the run.
TPartialRun MakeMergeRun(const TExistingMap &Existing, const TMergeRegion &Region, const TMergeStatics &Statics,
                         TStaticsMergeReport &Report, TMergeStages Stages = TMergeStages::OnRemadePart);
// The same with the existing map still being read: just before the height
// stages it waits for the reading and fills Region from the painted codes
// (PaintedCodes, taken when the picture was loaded).
TPartialRun MakeMergeRun(TExistingMapReading &Reading, std::vector<uint8_t> Painted, const TTileClasses &Classes,
                         TMergeRegion &Region, const TMergeStatics &Statics, TStaticsMergeReport &Report,
                         TMergeStages Stages = TMergeStages::OnRemadePart);
