#include "MapWriter.h"

#include "Platform.h"

#include "ClassTerrainImage.h"

#include "AtomicSave.h"
#include "OutputTarget.h"
#include "HeightsPicture.h"
#include "InTwoHalves.h"
#include "LargeVector.h"
#include "Statics.h"
#include "UopFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <future>
#include <vector>

void FillBlockColumn(TTerrainImage &Model, const TMapSize &Size, int BlockColumn, uint8_t *Buffer)
{
    using namespace MapFile;
    for (int by = 0; by < Size.BlockRows(); ++by) {
        uint8_t *block = Buffer + by * BlockBytes;
        for (int row = 0; row < BlockSide; ++row) {
            for (int column = 0; column < BlockSide; ++column) {
                const TCell cell = Model.GetCell(BlockColumn * BlockSide + column + 1, by * BlockSide + row + 1);
                const uint16_t tile = Model.TileForCode(cell.Code);
                uint8_t *out = block + BlockHeaderBytes + (row * BlockSide + column) * CellBytes;
                out[0] = uint8_t(tile & 0xFF);
                out[1] = uint8_t(tile >> 8);
                out[2] = uint8_t(cell.Altitude);
            }
        }
        block[0] = block[1] = block[2] = block[3] = 0;
    }
}

void FillBlockColumn(TTerrainImage &Model, int BlockColumn, uint8_t *Buffer)
{
    FillBlockColumn(Model, MapSizes::Classic, BlockColumn, Buffer);
}

TMapFiller::TMapFiller(const TTerrainImage &Model_, const TPcg32 &Start, const TMapSize &Size_, TMapDraws Draws)
    : Model(Model_), Size(Size_), FixedTiles(65536), ListOfCode(65536, 0),
      Starts(size_t(Size_.BlockColumns()) + 1, Start)
{
    for (uint32_t code = 0; code < 65536; ++code) {
        const auto c = uint16_t(code);
        if (TTerrainImage::HasTileList(c) && !Model.GetTileList(uint8_t(c)).empty()) {
            const std::vector<uint16_t> &tiles = Model.GetTileList(uint8_t(c));
            Lists.push_back({uint32_t(tiles.size()), tiles.data()});
            ListOfCode[code] = uint8_t(Lists.size());
        } else {
            // An empty list draws nothing and gives the void tile, as FixedTile
            // does for every code without a transition tile.
            FixedTiles[code] = TTerrainImage::HasTileList(c) ? Model.GetVoidTile() : Model.FixedTile(c);
        }
    }
    if (Draws.Columns.size() != size_t(Size.BlockColumns()) || Draws.Blocks.size() != size_t(Size.Blocks()))
        Draws = CountDraws(Model, Size);
    for (int bx = 0; bx < Size.BlockColumns(); ++bx) {
        Starts[size_t(bx) + 1] = Starts[size_t(bx)];
        Starts[size_t(bx) + 1].Advance(Draws.Columns[size_t(bx)]);
    }
    BlockDraws = std::move(Draws.Blocks);
}

TMapDraws TMapFiller::CountDraws(const TTerrainImage &Model, const TMapSize &Size,
                                 const std::function<void(int Y, const TCell *Cells)> &Row)
{
    using namespace MapFile;
    std::vector<uint8_t> draws(65536, 0);
    for (uint32_t code = 0; code < 65536; ++code)
        draws[code] = TTerrainImage::HasTileList(uint16_t(code)) && !Model.GetTileList(uint8_t(code)).empty();
    const size_t columns = size_t(std::max(Size.BlockColumns(), 0)), rows = size_t(std::max(Size.BlockRows(), 0));
    // Whole blocks of the map only.
    const int width = std::min(Model.GetWidth(), int(columns) * BlockSide);
    const int height = std::min(Model.GetHeight(), int(rows) * BlockSide);
    // The rows in two halves, each counting into its own blocks, block-row
    // after block-row (a block-row may be shared by the two).
    std::vector<uint8_t> halves[2] = {std::vector<uint8_t>(rows * columns, 0), std::vector<uint8_t>(rows * columns, 0)};
    InTwoHalves(height, [&](int First, int Last) {
        std::vector<uint8_t> &counts = halves[First == 0 ? 0 : 1];
        for (int y = First + 1; y <= Last; ++y) {
            const TCell *cells = Model.CellData() + Model.Index(1, y);
            uint8_t *blocks = counts.data() + size_t((y - 1) / BlockSide) * columns;
            for (int x0 = 0; x0 < width; x0 += BlockSide) {
                unsigned count = 0;
                const int end = std::min(x0 + BlockSide, width);
                for (int x = x0; x < end; ++x)
                    count += draws[cells[x].Code];
                blocks[x0 / BlockSide] = uint8_t(blocks[x0 / BlockSide] + count);
            }
            if (Row)
                Row(y - 1, cells);
        }
    });
    TMapDraws result{std::vector<uint64_t>(columns, 0), std::vector<uint8_t>(rows * columns, 0)};
    for (size_t by = 0; by < rows; ++by)
        for (size_t bx = 0; bx < columns; ++bx) {
            const uint8_t count = uint8_t(halves[0][by * columns + bx] + halves[1][by * columns + bx]);
            result.Blocks[bx * rows + by] = count;
            result.Columns[bx] += count;
        }
    return result;
}

void TMapFiller::FillBand(int First, int Count, uint8_t *Out, const uint8_t *Blocks) const
{
    using namespace MapFile;
    const int width = Model.GetWidth();
    const int height = Model.GetHeight();
    const uint16_t voidTile = FixedTiles[NO_TERRAIN];
    const size_t columnBytes = Size.ColumnBytes();
    const size_t rows = size_t(Size.BlockRows());
    // Blocks are skipped only with their draws known.
    if (BlockDraws.size() != size_t(Size.Blocks()))
        Blocks = nullptr;
    std::vector<TPcg32> generators(Starts.begin() + First, Starts.begin() + First + Count);
    for (int y = 1; y <= Size.Height; ++y) {
        const int by = (y - 1) / BlockSide, row = (y - 1) % BlockSide;
        const TCell *cells = y <= height ? Model.CellData() + Model.Index(1, y) : nullptr;
        for (int j = 0; j < Count; ++j) {
            if (Blocks) {
                // A block not filled moves its block-column's generator past its draws.
                const size_t index = size_t(First + j) * rows + size_t(by);
                if (!Blocks[index]) {
                    if (row == 0)
                        generators[size_t(j)].Advance(BlockDraws[index]);
                    continue;
                }
            }
            uint8_t *block = Out + size_t(j) * columnBytes + size_t(by) * BlockBytes;
            if (row == 0)
                block[0] = block[1] = block[2] = block[3] = 0;
            uint8_t *out = block + BlockHeaderBytes + row * BlockSide * CellBytes;
            const int firstX = (First + j) * BlockSide + 1;
            // Columns of this block-column that lie inside the grid; the rest
            // read as empty cells.
            const int inside = cells ? std::clamp(width - firstX + 1, 0, BlockSide) : 0;
            // A local copy: the byte stores could alias a generator in memory.
            TPcg32 generator = generators[size_t(j)];
            int column = 0;
            for (; column < inside; ++column, out += CellBytes) {
                const TCell cell = cells[firstX - 1 + column];
                const uint8_t list = ListOfCode[cell.Code];
                uint16_t tile;
                if (list) {
                    const TList &tiles = Lists[list - 1u];
                    tile = tiles.Tiles[generator.Random(tiles.Count)];
                } else {
                    tile = FixedTiles[cell.Code];
                }
                out[0] = uint8_t(tile & 0xFF);
                out[1] = uint8_t(tile >> 8);
                out[2] = uint8_t(cell.Altitude);
            }
            for (; column < BlockSide; ++column, out += CellBytes) {
                out[0] = uint8_t(voidTile & 0xFF);
                out[1] = uint8_t(voidTile >> 8);
                out[2] = 0;
            }
            generators[size_t(j)] = generator;
        }
    }
}

namespace {

// Block-columns filled at a time: wide enough that reading the grid row by row
// pays, small enough that the two bands in flight stay a few megabytes.
constexpr int BandColumns = 16;
// Where the block-columns go: straight into a MUL file, or into a UOP file
// with its tables and entry headers.
class TMapSink
{
public:
    // Ahead: the MUL file is written in place, around what was written ahead.
    TMapSink(TAtomicSave &Save, const TMapOutput &Output, bool Ahead) : Save(Save), Output(Output), Ahead(Ahead)
    {
        if (Output.Format == TMapFormat::Uop)
            Uop = std::make_unique<TUopMapWriter>(Save, 0, Output.Size, Output.MapNumber);
    }

    // Block-column BlockColumn (Size.ColumnBytes()); the buffer may be changed.
    void Column(int BlockColumn, uint8_t *Column)
    {
        const uint64_t bytes = Output.Size.ColumnBytes();
        if (Uop) {
            Uop->AddBlocks(Column, uint64_t(Output.Size.BlockRows()));
        } else if (Ahead) {
            Save.WriteAt(0, uint64_t(BlockColumn) * bytes, Column, bytes);
            Save.StartWriteback(0, uint64_t(BlockColumn) * bytes, bytes);
        } else {
            Save.Write(0, Column, bytes);
        }
    }

    // A block-column kept as it stands in an existing map.
    void KeptColumn(int BlockColumn, const uint8_t *Column)
    {
        if (!Uop) {
            if (Ahead)
                Save.WriteAt(0, uint64_t(BlockColumn) * Output.Size.ColumnBytes(), Column, Output.Size.ColumnBytes());
            else
                Save.Write(0, Column, Output.Size.ColumnBytes());
            return;
        }
        // The container numbers the blocks in their headers.
        Scratch.assign(Column, Column + Output.Size.ColumnBytes());
        Uop->AddBlocks(Scratch.data(), uint64_t(Output.Size.BlockRows()));
    }

    // The writing of what is written so far may start.
    void StartWriteback()
    {
        if (Ahead)
            return; // each block-column starts its own
        const uint64_t written = Uop ? Uop->Position() : Mul;
        if (written > Flushed)
            Save.StartWriteback(0, Flushed, written - Flushed);
        Flushed = written;
    }
    void CountColumn() { Mul += Output.Size.ColumnBytes(); }

    void Finish()
    {
        if (Uop)
            Uop->Finish();
    }

private:
    TAtomicSave &Save;
    const TMapOutput &Output;
    const bool Ahead;
    std::unique_ptr<TUopMapWriter> Uop;
    uint64_t Mul = 0;     // bytes of a MUL file written
    uint64_t Flushed = 0; // bytes whose writing has been started
    std::vector<uint8_t> Scratch;
};

// Decorated statics need only the final grid, which nothing changes while the
// map is written, and a stream of their own: they are built on a thread of
// their own while the map file is filled and written. No future for other
// choices. The stream is taken here, on the caller's thread.
std::future<TStaticsFiles> StartDecoration(const TTerrainImage &Model, const TMapOutput &Output,
                                           TStaticsCounts &Counts)
{
    if (Output.Statics != TStaticsChoice::Decorated)
        return {};
    const TPcg32 stream = Random::NewStream(TSeedSite::Decoration);
    return std::async(std::launch::async, [&Model, &Output, &Counts, stream] {
        return BuildStatics(Model, Output.Size, Output.Decoration, stream, &Counts);
    });
}

// The statics files of the output: those the hooks make, else the
// decoration when it is being built (waiting for it), else empty ones.
void WriteStatics(TAtomicSave &Save, const TTerrainImage &Model, const TMapOutput &Output,
                  std::future<TStaticsFiles> &Decoration, const TStaticsCounts &Counts, const TMapWriterHooks &Hooks)
{
    TStaticsFiles files;
    if (Hooks.Statics) {
        files = Hooks.Statics(Model);
    } else if (Decoration.valid()) {
        files = Decoration.get();
        if (Hooks.StaticsBuilt)
            Hooks.StaticsBuilt(Counts);
    } else {
        files = BuildEmptyStatics(Output.Size);
    }
    Save.Write(1, files.Index.data(), files.Index.size());
    Save.Write(2, files.Data.data(), files.Data.size());
}

void CheckOutput(const TMapOutput &Output)
{
    if (!IsValidMapSize(Output.Size))
        throw std::invalid_argument(FormatMapSize(Output.Size) + " is not a map size (sides multiples of 8, from 8 to " +
                                    std::to_string(MapSizes::MaxSide) + ")");
    const std::vector<std::string> paths = MapOutputPaths(Output);
    for (size_t i = 1; i < paths.size(); ++i) {
        if (IsSameFile(paths[i], paths[0]))
            throw EMapWriteError(Output.FileName + ": the map file cannot also be the " +
                                 (paths[i] == Output.HeightsPicture ? "heights picture " : "statics file ") + paths[i]);
    }
}

} // namespace

TMapWriteAhead::TMapWriteAhead(const TMapOutput &Output_, const TMapWriterHooks &Hooks_)
    : Output(Output_), Hooks(Hooks_), Written(size_t(std::max(Output_.Size.BlockColumns(), 0)), 0)
{
    Done = std::async(std::launch::async, [this] {
        // What this thread writes, the writer would otherwise write at the
        // end: it takes no processor from the stages.
        Platform::RunThreadWhenIdle();
        CheckOutput(Output);
        Saving = std::make_unique<TAtomicSave>(MapOutputPaths(Output));
        Opened = true;
        std::vector<uint8_t> scratch;
        WriteBands(scratch);
    });
}

void TMapWriteAhead::WriteBands(std::vector<uint8_t> &Scratch)
{
    const uint64_t bytes = Output.Size.ColumnBytes();
    const int columns = Output.Size.BlockColumns();
    for (int band = NextBand++; band * BandColumns < columns && !Stop; band = NextBand++) {
        const int first = band * BandColumns, end = std::min(columns, first + BandColumns);
        for (int bx = first; bx < end; ++bx) {
            const uint8_t *kept = Hooks.StartColumn ? Hooks.StartColumn(bx, Scratch)
                                  : Hooks.KeptColumn ? Hooks.KeptColumn(bx)
                                                     : nullptr;
            if (!kept)
                continue;
            Saving->WriteAt(0, uint64_t(bx) * bytes, kept, bytes);
            Written[size_t(bx)] = 1;
        }
        Saving->StartWriteback(0, uint64_t(first) * bytes, uint64_t(end - first) * bytes);
    }
}

TMapWriteAhead::~TMapWriteAhead()
{
    Stop = true;
    if (Done.valid())
        Done.wait();
}

TAtomicSave &TMapWriteAhead::Save()
{
    if (Opened) {
        // Only bands the thread has not taken; an error here is the same
        // as the thread's.
        std::vector<uint8_t> scratch;
        try {
            WriteBands(scratch);
        } catch (...) {
            Stop = true;
            Done.wait();
            throw;
        }
    }
    if (Done.valid())
        Done.get();
    if (!Saving)
        throw std::logic_error("the map written ahead failed");
    return *Saving;
}

TMapWriteResult WriteMapFile(TTerrainImage &Model, const TMapOutput &Output, const TMapWriterHooks &Hooks)
{
    CheckOutput(Output);
    const TMapSize &size = Output.Size;
    try {
        // Discarded, temporary files and all, unless committed.
        std::unique_ptr<TAtomicSave> own;
        TAtomicSave &save =
            Hooks.Ahead ? Hooks.Ahead->Save() : *(own = std::make_unique<TAtomicSave>(MapOutputPaths(Output)));
        if (Hooks.Opened)
            Hooks.Opened();
        TMapSink sink(save, Output, Hooks.Ahead != nullptr);
        // The counts before the future: however the writing ends, the
        // future's end waits for the thread, which writes them.
        TStaticsCounts decorationCounts;
        // A merge makes its statics itself (Hooks.Statics).
        std::future<TStaticsFiles> decoration =
            Hooks.Statics ? std::future<TStaticsFiles>() : StartDecoration(Model, Output, decorationCounts);

        // Bands of block-columns are filled on a second thread while the one
        // before is written; each block-column is written and reported on its own.
        const TMapFiller filler(Model, Random::Generator(), size, Hooks.Draws ? Hooks.Draws() : TMapDraws());
        const uint8_t *fillBlocks = Hooks.FillBlocks ? Hooks.FillBlocks() : nullptr;
        const int columns = size.BlockColumns();
        const int bandCount = (columns + BandColumns - 1) / BandColumns;
        std::array<TLargeVector<uint8_t>, 2> bands;
        for (auto &band : bands)
            band.resize(size_t(BandColumns) * size.ColumnBytes());
        const auto bandWidth = [&](int band) { return std::min(BandColumns, columns - band * BandColumns); };
        const auto fill = [&](int band) {
            // A band whose block-columns are all kept is not filled; what is
            // kept is put in on this thread too.
            bool kept = bool(Hooks.KeepColumn);
            for (int j = 0; kept && j < bandWidth(band); ++j)
                kept = Hooks.KeepColumn(band * BandColumns + j);
            uint8_t *out = bands[size_t(band % 2)].data();
            if (!kept)
                filler.FillBand(band * BandColumns, bandWidth(band), out, fillBlocks);
            if (Hooks.PatchBand)
                Hooks.PatchBand(band * BandColumns, bandWidth(band), out);
        };
        std::future<void> next = std::async(std::launch::async, fill, 0);
        for (int band = 0; band < bandCount; ++band) {
            next.get();
            // The atomic save ends by waiting until the files are on the disk:
            // start the writing of each band already written while the next one
            // is filled, so that little is left to wait for at the end.
            sink.StartWriteback();
            if (band + 1 < bandCount)
                next = std::async(std::launch::async, fill, band + 1);
            for (int j = 0; j < bandWidth(band); ++j) {
                const int bx = band * BandColumns + j;
                uint8_t *column = bands[size_t(band % 2)].data() + size_t(j) * size.ColumnBytes();
                if (Hooks.Ahead && Hooks.Ahead->Wrote(bx) && (!Hooks.KeepColumn || Hooks.KeepColumn(bx))) {
                    // In its place already.
                } else if (const uint8_t *kept = Hooks.KeptColumn ? Hooks.KeptColumn(bx) : nullptr) {
                    sink.KeptColumn(bx, kept);
                } else {
                    sink.Column(bx, column);
                }
                sink.CountColumn();
                if (Hooks.AfterColumn && Hooks.AfterColumn(bx)) {
                    if (next.valid())
                        next.get(); // the band being filled uses the buffers
                    save.Cancel();
                    Random::Generator() = filler.StateBefore(bx + 1);
                    return TMapWriteResult::Aborted;
                }
            }
        }
        Random::Generator() = filler.StateBefore(columns);
        if (Hooks.MapWritten)
            Hooks.MapWritten();
        sink.Finish();
        if (Output.Statics != TStaticsChoice::None)
            WriteStatics(save, Model, Output, decoration, decorationCounts, Hooks);
        if (!Output.HeightsPicture.empty()) {
            const size_t file = MapOutputPaths(Output).size() - 1;
            WriteMapHeightsPng(Model, size, [&](const uint8_t *Data, size_t Bytes) { save.Write(file, Data, Bytes); });
        }
        if (Hooks.Complete)
            Hooks.Complete();
        save.Commit();
    } catch (const EFileWriteError &error) {
        throw EMapWriteError(error.what());
    }
    return TMapWriteResult::Written;
}

TMapWriteResult WriteMapFile(TTerrainImage &Model, const std::string &FileName, const TMapWriterHooks &Hooks)
{
    return WriteMapFile(Model, TMapOutput::ForFile(FileName), Hooks);
}
