#include "MapMerge.h"

#include "ClassTerrainImage.h"
#include "FastStages.h"
#include "InTwoHalves.h"
#include "MapReader.h"
#include "MergeHeights.h"
#include "Stages.h"
#include "Random.h"
#include "ShoreWaves.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

void OpenExistingMap(TExistingMap &Map, std::optional<TMapSize> Size, uint64_t MemoryBudget)
{
    Map.Reader = std::make_shared<TMapReader>(Map.FileName, Size);
    CheckNothingBeyondTheMap(*Map.Reader);
    CheckImportMemory(*Map.Reader, MergeBytesPerCell + TLoadOptions::BytesPerCell, MemoryBudget);
    Map.Size = Map.Reader->Size();
}

} // namespace

void CheckNothingBeyondTheMap(const TMapReader &Map)
{
    if (Map.Blocks() > Map.Size().Blocks())
        throw EMapReadError(Map.Path() + ": the file holds " + std::to_string(Map.Blocks() - Map.Size().Blocks()) +
                            " blocks more than a map of " + FormatMapSize(Map.Size()) +
                            " cells needs, which a merge would drop; give the map's own size (--size or --facet)");
}

const uint8_t *TExistingMap::Column(int BlockColumn, std::vector<uint8_t> &Scratch) const
{
    if (!Reader)
        throw std::logic_error(FileName + ": the existing map is closed");
    return Reader->BlockColumnBytes(BlockColumn, Scratch);
}

TExistingMap ReadExistingMap(const std::string &FileName, std::optional<TMapSize> Size, uint64_t MemoryBudget)
{
    TExistingMap map;
    map.FileName = FileName;
    OpenExistingMap(map, Size, MemoryBudget);
    map.Cells = ReadMapCells(*map.Reader);
    return map;
}

TExistingMapReading::TExistingMapReading(const std::string &FileName, std::optional<TMapSize> Size,
                                         uint64_t MemoryBudget, const TTileClasses &Classes)
    : OpenReady(OpenPromise.get_future().share()), ImportReady(ImportPromise.get_future().share()),
      RegionReady(RegionPromise.get_future())
{
    Done = std::async(std::launch::async, [this, FileName, Size, MemoryBudget, &Classes,
                                           picture = PicturePromise.get_future()]() mutable {
        bool opened = false, imported = false;
        try {
            Existing.FileName = FileName;
            OpenExistingMap(Existing, Size, MemoryBudget);
            opened = true;
            OpenPromise.set_value();
            Existing.Cells = ReadMapCells(*Existing.Reader);
            Imported = ImportTerrains(Existing.Cells, Classes);
            imported = true;
            ImportPromise.set_value();
        } catch (...) {
            if (!opened)
                OpenPromise.set_exception(std::current_exception());
            if (!imported)
                ImportPromise.set_exception(std::current_exception());
            RegionPromise.set_exception(std::current_exception());
            throw;
        }
        const std::optional<TPicture> painted = picture.get();
        if (!painted)
            return;
        try {
            RegionPromise.set_value(FindMergeRegion(painted->Codes, Imported, Existing.Cells, Classes, painted->Heights));
        } catch (...) {
            RegionPromise.set_exception(std::current_exception());
        }
    });
}

TExistingMapReading::~TExistingMapReading()
{
    // A reading still waiting for a picture gets none.
    if (!PictureGiven)
        PicturePromise.set_value(std::nullopt);
    if (Done.valid())
        Done.wait();
}

void TExistingMapReading::ComparePicture(std::span<const uint8_t> Painted, TPaintedAltitudes Heights)
{
    if (PictureGiven)
        throw std::logic_error("the picture of a merge is given once");
    PictureGiven = true;
    PicturePromise.set_value(TPicture{Painted, Heights});
}

TMergeRegion TExistingMapReading::TakeRegion()
{
    return RegionReady.get();
}

void TExistingMapReading::Wait()
{
    if (Done.valid())
        Done.get();
}

const TExistingMap &TExistingMapReading::Opened()
{
    OpenReady.get();
    return Existing;
}

const TMapCells &TExistingMapReading::Cells()
{
    ImportReady.get();
    return Existing.Cells;
}

const TTerrainImport &TExistingMapReading::Import()
{
    ImportReady.get();
    return Imported;
}

const TExistingMap &TExistingMapReading::Map()
{
    Wait();
    return Existing;
}

TMergeRegion FindMergeRegion(std::span<const uint8_t> Painted, const TTerrainImport &Existing,
                             const TMapCells &Cells, const TTileClasses &Classes, TPaintedAltitudes Heights)
{
    if (Painted.size() != Cells.Tiles.size() || Existing.Codes.size() != Cells.Tiles.size())
        throw std::invalid_argument("the picture, the map and its import differ in size");
    TMergeRegion region;
    region.Size = {Cells.Width, Cells.Height};
    const int rows = region.Size.BlockRows(), columns = region.Size.BlockColumns();
    // By row and block-column: a changed cell of that row lies within
    // MergeMargin columns of the block-column.
    TLargeVector<uint8_t> near(size_t(Cells.Height) * size_t(columns), 0);
    constexpr int Chunk = 32;
    // Each half of the rows marks its own rows and counts its own changes.
    uint64_t changed[2] = {0, 0}, repainted[2] = {0, 0};
    InTwoHalves(Cells.Height, [&](int First, int Last) {
        uint64_t &count = changed[First == 0 ? 0 : 1];
        uint64_t &heightCount = repainted[First == 0 ? 0 : 1];
        for (int y = First; y < Last; ++y) {
            const size_t row = size_t(y) * size_t(Cells.Width);
            const uint8_t *painted = Painted.data() + row;
            const uint8_t *read = Existing.Codes.data() + row;
            const int8_t *altitudes = Cells.Altitudes.data() + row;
            const int8_t *paintedAltitudes = Heights.First ? Heights.First + size_t(y) * Heights.Stride : nullptr;
            uint8_t *nearRow = near.data() + size_t(y) * size_t(columns);
            for (int x0 = 0; x0 < Cells.Width; x0 += Chunk) {
                const int end = std::min(Cells.Width, x0 + Chunk);
                // A tile of no terrain is imported with a red that names none,
                // which loads as no terrain. Most chunks hold no change: a test
                // without branches first.
                unsigned differ = 0;
                for (int x = x0; x < end; ++x)
                    differ |= unsigned(painted[x] != (read[x] == UnknownTerrain ? uint8_t(NO_TERRAIN) : read[x]));
                // Painted heights decide the land's altitudes (water, the
                // coastline and the coast rings follow their own rules).
                if (paintedAltitudes)
                    for (int x = x0; x < end; ++x)
                        differ |= unsigned(painted[x] >= 1 && painted[x] <= 8 && paintedAltitudes[x] != altitudes[x]);
                if (!differ)
                    continue;
                for (int x = x0; x < end; ++x) {
                    if (painted[x] != (read[x] == UnknownTerrain ? uint8_t(NO_TERRAIN) : read[x]))
                        ++count;
                    else if (paintedAltitudes && painted[x] >= 1 && painted[x] <= 8 &&
                             paintedAltitudes[x] != altitudes[x])
                        ++heightCount;
                    else
                        continue;
                    const int bx0 = std::max(0, x - MergeMargin) / 8,
                              bx1 = std::min(columns - 1, (x + MergeMargin) / 8);
                    for (int bx = bx0; bx <= bx1; ++bx)
                        nearRow[bx] = 1;
                }
            }
        }
    });
    region.ChangedCells = changed[0] + changed[1];
    region.RepaintedHeights = repainted[0] + repainted[1];
    // The rows within MergeMargin of a block-row, then in the block order.
    std::vector<uint8_t> byRow(size_t(rows) * size_t(columns), 0);
    for (int by = 0; by < rows; ++by) {
        uint8_t *blocks = byRow.data() + size_t(by) * size_t(columns);
        const int y0 = std::max(0, by * 8 - MergeMargin), y1 = std::min(Cells.Height - 1, by * 8 + 7 + MergeMargin);
        for (int y = y0; y <= y1; ++y) {
            const uint8_t *nearRow = near.data() + size_t(y) * size_t(columns);
            for (int bx = 0; bx < columns; ++bx)
                blocks[bx] |= nearRow[bx];
        }
    }
    region.Blocks.assign(size_t(region.Size.Blocks()), 0);
    for (int by = 0; by < rows; ++by)
        for (int bx = 0; bx < columns; ++bx)
            region.Blocks[size_t(bx) * size_t(rows) + size_t(by)] = byRow[size_t(by) * size_t(columns) + size_t(bx)];
    region.Cells.Reset(Cells.Tiles.size());
    for (int bx = 0; bx < columns; ++bx)
        for (int by = 0; by < rows; ++by) {
            uint8_t &block = region.Blocks[size_t(bx) * size_t(rows) + size_t(by)];
            if (!block)
                continue;
            bool remade = false;
            for (int y = by * 8; y < by * 8 + 8; ++y)
                for (int x = bx * 8; x < bx * 8 + 8; ++x) {
                    const size_t i = Cells.Index(x, y);
                    const TTileClass &c = Classes.Of(Cells.Tiles[i]);
                    region.Cells[i] = c.Kind != TTileKind::Unknown && !c.ImportOnly;
                    remade = remade || region.Cells[i];
                }
            // A block of kept cells only (all roads, say) is not remade at
            // all: its statics stay as they are too.
            block = remade ? 1 : 0;
            region.RemadeBlocks += remade;
        }
    return region;
}

namespace {

// The indexes of the height stages. Kept cells are fixed just before the
// terrain smoothing, after the random heights have drawn as over the whole map.
constexpr size_t CoastHeightsStage = 5;
constexpr size_t RandomHeightsStage = 6;
constexpr size_t TerrainSmoothingStage = 7;
constexpr size_t MountainSmoothingStage = 8;

// Every kept cell takes its altitude from the existing map and stands fixed.
// The rows of block-rows without a remade block are kept whole.
void KeepExistingCells(TTerrainImage &Model, const TExistingMap &Existing, const TMergeRegion &Region)
{
    const TMapCells &cells = Existing.Cells;
    const int width = std::min(cells.Width, Model.GetWidth()), height = std::min(cells.Height, Model.GetHeight());
    const int blockRows = Region.Size.BlockRows(), blockColumns = Region.Size.BlockColumns();
    std::vector<uint8_t> rowRemade(size_t(blockRows), 0);
    for (int bx = 0; bx < blockColumns; ++bx)
        for (int by = 0; by < blockRows; ++by)
            rowRemade[size_t(by)] |= Region.Blocks[size_t(bx) * size_t(blockRows) + size_t(by)];
    InTwoHalves(height, [&](int First, int Last) {
        for (int y = First; y < Last; ++y) {
            TCell *row = Model.CellData() + Model.Index(1, y + 1);
            uint8_t *flags = Model.FlagData() + Model.Index(1, y + 1);
            const int8_t *altitudes = cells.Altitudes.data() + cells.Index(0, y);
            if (!rowRemade[size_t(y / 8)]) {
                for (int x = 0; x < width; ++x)
                    row[x].Altitude = altitudes[x];
                std::memset(flags, FLAG_PAINTED, size_t(width));
                continue;
            }
            const uint8_t *remade = Region.Cells.data() + cells.Index(0, y);
            for (int x = 0; x < width; ++x)
                if (!remade[x]) {
                    row[x].Altitude = altitudes[x];
                    flags[x] = FLAG_PAINTED;
                }
        }
    });
}

// The height stages on the part of the grid around the remade blocks. Kept
// cells cannot change in them, so that part is all that changes: the coast
// rings are needed three cells around the remade blocks (the rest of the
// map's rings only as the random heights ask: Rings), the smoothing one cell
// around them, where it reads kept neighbours. With painted heights the
// rings and the random heights run over the whole grid (painted cells are
// marked there).
bool RunHeightStageOnPart(size_t Stage, TTerrainImage &Model, const TMergeRegion &Region, const TCoastRings *Rings)
{
    const int width = Model.GetWidth(), height = Model.GetHeight();
    switch (Stage) {
    case CoastHeightsStage: {
        if (Model.HasPaintedHeights())
            return false;
        // Only the cells of the part need their start altitudes; every kept
        // cell takes the existing map's.
        const TGridBox part = RemadeBox(Region).Grown(3, width, height);
        Model.DrawDeferredStartAltitudes(part.Y0, part.Y1, part.X0, part.X1);
        RunOnPart(Model, part, Pipeline::Stages[Stage].Fast);
        return true;
    }
    case RandomHeightsStage:
        if (Model.HasPaintedHeights() || !Rings)
            return false;
        FastStages::RandomHeights(Model, [Rings](int X, int Y) { return Rings->Fixed(X, Y); });
        return true;
    case TerrainSmoothingStage:
    case MountainSmoothingStage:
        RunOnPart(Model, RemadeBox(Region).Grown(1, width, height), Pipeline::Stages[Stage].Fast);
        return true;
    default:
        return false;
    }
}

bool RemadeColumn(const TMergeRegion &Region, int BlockColumn)
{
    const size_t rows = size_t(Region.Size.BlockRows());
    const auto first = Region.Blocks.begin() + std::ptrdiff_t(size_t(BlockColumn) * rows);
    return std::find(first, first + std::ptrdiff_t(rows), 1) != first + std::ptrdiff_t(rows);
}

// What a merge whose existing map is still being read adds to the run.
struct TReadingHooks
{
    // Before the first stage: the picture as loaded.
    std::function<void(const TTerrainImage &Model)> PictureLoaded;
    // Fills the region once the terrain codes are final, before the height
    // stages (after the work that needs no region).
    std::function<void()> FindRegion;
    std::function<void()> WaitForMap, WaitForOpen;
};

TPartialRun MakeRun(TExistingMap &Existing, const TMergeRegion &Region, const TMergeStatics &Statics,
                    TStaticsMergeReport &Report, TMergeStages Stages, const TReadingHooks &Reading)
{
    TPartialRun run;
    // What needs only the final terrain codes is done before the region is
    // waited for: the rings the random heights ask for, the writer's draws.
    const auto rings = std::make_shared<std::optional<TCoastRings>>();
    const auto draws = std::make_shared<TMapDraws>();
    run.BeforeStage = [&Existing, &Region, Stages, rings, draws, Reading](size_t Stage, TTerrainImage &Model) {
        const bool onPart = Stages == TMergeStages::OnRemadePart && !Model.HasPaintedHeights();
        if (Stage == 0 && Reading.PictureLoaded)
            Reading.PictureLoaded(Model);
        if (Stage == CoastHeightsStage) {
            // The map's size is the picture's (whole blocks, as checked
            // before; rounded out all the same).
            const TMapSize size{(Model.GetWidth() + 7) / 8 * 8, (Model.GetHeight() + 7) / 8 * 8};
            if (onPart)
                rings->emplace(Model, size, *draws);
            else
                *draws = TMapFiller::CountDraws(Model, size);
            if (Reading.FindRegion)
                Reading.FindRegion();
        }
        if (Stage == TerrainSmoothingStage) {
            KeepExistingCells(Model, Existing, Region);
            StartRemadeLandNearKept(Model, Region);
        }
        if (Stages == TMergeStages::OnRemadePart && RunHeightStageOnPart(Stage, Model, Region, *rings ? &**rings : nullptr))
            return true;
        // A stage over the whole grid: every start altitude first.
        if (Stage == CoastHeightsStage)
            Model.DrawDeferredStartAltitudes(1, Model.GetHeight());
        return false;
    };
    run.Writer.Draws = [draws, WaitForMap = Reading.WaitForMap] {
        // The writer starts: the reading is over by now (the region needed
        // it); its end is waited for all the same.
        if (WaitForMap)
            WaitForMap();
        return std::move(*draws);
    };
    // The whole existing map is written from the first stage on, beside the
    // stages (they need no region), so that little is left to write and to
    // wait for at the end: the block-columns with remade blocks are written
    // over it then.
    run.WriteAheadAtStage = 0;
    run.Writer.StartColumn = [&Existing, WaitForOpen = Reading.WaitForOpen](int BlockColumn, std::vector<uint8_t> &Scratch) {
        if (WaitForOpen)
            WaitForOpen();
        return Existing.Column(BlockColumn, Scratch);
    };
    // The map's file must be closed before the new one takes its place.
    run.Writer.MapWritten = [&Existing] { Existing.Close(); };
    run.KeepWarning = [&Region](const TErrorItem &Warning) { return Region.Remade(Warning.X, Warning.Y); };
    run.Writer.KeepColumn = [&Region](int BlockColumn) { return !RemadeColumn(Region, BlockColumn); };
    // Only the remade blocks are filled; PatchBand puts in the others.
    run.Writer.FillBlocks = [&Region] { return Region.Blocks.data(); };
    // On the writing thread: a scratch of its own.
    const auto scratch = std::make_shared<std::vector<uint8_t>>();
    run.Writer.KeptColumn = [&Existing, &Region, scratch](int BlockColumn) -> const uint8_t * {
        if (RemadeColumn(Region, BlockColumn))
            return nullptr;
        return Existing.Column(BlockColumn, *scratch);
    };
    run.Writer.PatchBand = [&Existing, &Region](int First, int Count, uint8_t *Band) {
        using namespace MapFile;
        const size_t rows = size_t(Region.Size.BlockRows()), columnBytes = Region.Size.ColumnBytes();
        std::vector<uint8_t> scratch;
        for (int j = 0; j < Count; ++j) {
            const int bx = First + j;
            if (!RemadeColumn(Region, bx))
                continue; // written as it is
            uint8_t *column = Band + size_t(j) * columnBytes;
            const uint8_t *old = Existing.Column(bx, scratch);
            for (size_t by = 0; by < rows; ++by) {
                const size_t at = by * BlockBytes;
                if (!Region.Blocks[size_t(bx) * rows + by]) {
                    std::memcpy(column + at, old + at, BlockBytes);
                    continue;
                }
                // A remade block keeps its header and every cell that is not remade.
                std::memcpy(column + at, old + at, BlockHeaderBytes);
                for (int c = 0; c < 64; ++c) {
                    const int x = bx * BlockSide + c % BlockSide, y = int(by) * BlockSide + c / BlockSide;
                    if (Region.Cells[Existing.Cells.Index(x, y)])
                        continue;
                    const size_t cell = at + BlockHeaderBytes + size_t(c) * CellBytes;
                    std::memcpy(column + cell, old + cell, CellBytes);
                }
            }
        }
    };
    run.Writer.Statics = [&Existing, &Region, &Statics, &Report](const TTerrainImage &Model) {
        std::optional<TStaticsFiles> made;
        if (Statics.Decorate)
            made = BuildStatics(Model, Region.Size, Statics.Decoration, Random::NewStream(TSeedSite::Decoration));
        const auto check = [&](int X, int Y) -> std::string {
            if (!Region.Cells[Existing.Cells.Index(X, Y)])
                return {}; // a kept cell: its tile and altitude are the map's
            const TCell cell = Model.GetCell(X + 1, Y + 1);
            if (cell.Code == WATER)
                return "now on water";
            if (cell.Altitude != Existing.Cells.Altitudes[Existing.Cells.Index(X, Y)])
                return "the altitude of its cell changed from " +
                       std::to_string(int(Existing.Cells.Altitudes[Existing.Cells.Index(X, Y)])) + " to " +
                       std::to_string(int(cell.Altitude));
            return {};
        };
        return MergeStatics(Region.Size, Region.Blocks, Statics.Existing ? &*Statics.Existing : nullptr,
                            made ? &*made : nullptr, Statics.Ours, check, Report);
    };
    return run;
}

} // namespace

TPartialRun MakeMergeRun(TExistingMap &Existing, const TMergeRegion &Region, const TMergeStatics &Statics,
                         TStaticsMergeReport &Report, TMergeStages Stages)
{
    return MakeRun(Existing, Region, Statics, Report, Stages, {});
}

TPartialRun MakeMergeRun(TExistingMapReading &Reading, TMergeRegion &Region, const TMergeStatics &Statics,
                         TStaticsMergeReport &Report, TMergeStages Stages)
{
    // The hooks of the run with the map read refer to the map and the region
    // that are filled here, before any of them runs.
    TReadingHooks hooks;
    hooks.PictureLoaded = [&Reading](const TTerrainImage &Model) {
        if (!Model.LoadedCodes())
            throw std::logic_error("the picture of a merge is loaded with its start altitudes deferred");
        TPaintedAltitudes heights;
        if (Model.HasPaintedHeights())
            heights = {Model.PaintedData() + Model.Index(1, 1), size_t(Model.Stride())};
        Reading.ComparePicture({Model.LoadedCodes(), size_t(Model.GetWidth()) * size_t(Model.GetHeight())}, heights);
    };
    hooks.FindRegion = [&Reading, &Region] { Region = Reading.TakeRegion(); };
    hooks.WaitForMap = [&Reading] { Reading.Map(); };
    hooks.WaitForOpen = [&Reading] { Reading.Opened(); };
    return MakeRun(Reading.MapWhenRead(), Region, Statics, Report, Stages, hooks);
}
