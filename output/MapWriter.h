#pragma once

#include "MapFormat.h"
#include "Random.h"
#include "Statics.h"

#include <cstdint>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TTerrainImage;
struct TCell;
class TAtomicSave;
class TMapWriteAhead;

// A map file that could not be written; the message names the file and the cause.
class EMapWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The writer's draws, as TMapFiller::CountDraws counts them.
struct TMapDraws
{
    std::vector<uint64_t> Columns; // by block-column
    std::vector<uint8_t> Blocks;   // by block index (block-column * block-rows + block-row)
};

// What the writer tells its caller while it works.
struct TMapWriterHooks
{
    // Called once the output is open, before the first block-column.
    std::function<void()> Opened;
    // Called after each block-column has been written; true stops the writing.
    std::function<bool(int BlockColumn)> AfterColumn;
    // Called once decorated statics are made, before the files are saved: what
    // they hold, for the report.
    std::function<void(const TStaticsCounts &)> StaticsBuilt;
    // Called once every file is complete, before the save waits for them to
    // reach the disk and puts them in place (the benchmark times that apart).
    std::function<void()> Complete;

    // For a map made only in part: block-columns for which KeepColumn is true
    // are not filled from the model. KeptColumn gives the bytes of a
    // block-column kept whole, written as they are (nullptr for the others);
    // PatchBand puts what is kept into the other block-columns of the Count
    // from First on, one after the other in Band, before they are written
    // (on the thread that fills them). The draws of the map are those of the
    // whole map all the same.
    std::function<bool(int BlockColumn)> KeepColumn;
    std::function<const uint8_t *(int BlockColumn)> KeptColumn;
    std::function<void(int First, int Count, uint8_t *Band)> PatchBand;
    // The draws (TMapFiller::CountDraws), when counted before the writing
    // begins; else the writer counts them.
    std::function<TMapDraws()> Draws;
    // By block index, 1 for the blocks to fill from the model; the others
    // are left for PatchBand to put in (they draw all the same).
    std::function<const uint8_t *()> FillBlocks;
    // Called once the map file's bytes are all written, before the statics:
    // what KeptColumn and PatchBand read from may be closed.
    std::function<void()> MapWritten;
    // Makes the statics files instead of the decoration or the empty files.
    std::function<TStaticsFiles(const TTerrainImage &Model)> Statics;
    // The bytes of every block-column of the map that a run made only in
    // part starts from (as KeptColumn gives those kept whole), for
    // TMapWriteAhead to write from the start of the run, before the kept
    // ones are known; the writer then writes over those not kept whole. It
    // gets a scratch of its own for a block-column that must be copied.
    std::function<const uint8_t *(int BlockColumn, std::vector<uint8_t> &Scratch)> StartColumn;
    // The output opened already, with the kept block-columns written.
    TMapWriteAhead *Ahead = nullptr;
};

// The part of a MUL map file that a run making only part of a map keeps
// whole, written while the run still works on the rest: a thread of its own
// opens the output (the atomic save) and writes every block-column that
// Hooks.StartColumn gives (the whole map the run starts from, so that it can
// start before the kept block-columns are known), else every one that
// Hooks.KeptColumn gives, at its place in the map file. WriteMapFile, given
// it in its hooks, then writes the block-columns not kept whole (in place,
// over what was written ahead). Until WriteMapFile commits, the files are
// discarded with the object, as after any failure; the object's end stops
// the thread at the next block-column.
class TMapWriteAhead
{
public:
    // A UOP file is written in order, as a whole: only a MUL file is written ahead.
    static bool Applies(const TMapOutput &Output) { return Output.Format == TMapFormat::Mul; }
    // Output and Hooks must outlive the object. The thread runs where a
    // processor is idle; what it has not written when the writer asks for the
    // save, the writer writes itself.
    TMapWriteAhead(const TMapOutput &Output, const TMapWriterHooks &Hooks);
    ~TMapWriteAhead();
    TMapWriteAhead(const TMapWriteAhead &) = delete;
    TMapWriteAhead &operator=(const TMapWriteAhead &) = delete;

    // Writes what is left beside the thread, waits for it and gives the save;
    // throws what the thread threw (EFileWriteError, or what checking the
    // output threw).
    TAtomicSave &Save();
    // Whether block-column BlockColumn was written (once Save has returned).
    bool Wrote(int BlockColumn) const { return Written[size_t(BlockColumn)] != 0; }

private:
    // Takes bands of block-columns until none is left (on both threads).
    void WriteBands(std::vector<uint8_t> &Scratch);

    const TMapOutput &Output;
    const TMapWriterHooks &Hooks;
    std::unique_ptr<TAtomicSave> Saving;
    std::atomic<bool> Opened{false}; // Saving is made
    std::vector<uint8_t> Written;    // by block-column
    std::atomic<int> NextBand{0};
    std::atomic<bool> Stop{false};
    std::future<void> Done;
};

enum class TMapWriteResult { Written, Aborted };

// Fills buffer (Size.ColumnBytes()) with block-column bx of the model, asking
// TileForCode once per cell in file order. The straightforward form, kept as
// the reference for the faster filler that the writer uses. Block headers are 0.
void FillBlockColumn(TTerrainImage &Model, const TMapSize &Size, int BlockColumn, uint8_t *Buffer);
// The same for the classic 6144 x 4096 map.
void FillBlockColumn(TTerrainImage &Model, int BlockColumn, uint8_t *Buffer);

// The same bytes as FillBlockColumn, with the same draws, filled faster: the
// grid is read row by row across a band of block-columns instead of down one
// block-column at a time, and a tile table per code replaces the call per cell.
// Within a block-column the file order is the grid's row order, so each
// block-column draws from its own copy of the generator, moved on to the point
// where that block-column's draws begin (counted once beforehand).
class TMapFiller
{
public:
    // Start is the generator's state before the first draw of the file.
    // Draws, when given, are the draws as CountDraws counts them, counted
    // beforehand.
    TMapFiller(const TTerrainImage &Model, const TPcg32 &Start, const TMapSize &Size = MapSizes::Classic,
               TMapDraws Draws = {});
    // The draws of each block and block-column of the model's map of that
    // size: one per cell whose code has a tile list that is not empty (on
    // both cores). Row, when given, is called with each row of the grid
    // counted (0-based Y, the row's first cell), on the thread that counts it.
    static TMapDraws CountDraws(const TTerrainImage &Model, const TMapSize &Size,
                                const std::function<void(int Y, const TCell *Cells)> &Row = {});
    // Fills Count block-columns from First on into Out, one after the other
    // (Count * Size.ColumnBytes()). Safe to call from several threads at once.
    // With Blocks (by block index), only the blocks marked 1 are filled; the
    // bytes of the others are left as they were.
    void FillBand(int First, int Count, uint8_t *Out, const uint8_t *Blocks = nullptr) const;
    // The generator as it stands after the draws of the block-columns before bx.
    const TPcg32 &StateBefore(int BlockColumn) const { return Starts[size_t(BlockColumn)]; }

private:
    const TTerrainImage &Model;
    const TMapSize Size;
    std::vector<uint16_t> FixedTiles; // by code: the tile of a code that draws nothing
    std::vector<uint8_t> ListOfCode;  // by code: 1 + its tile list's slot, 0 for none
    struct TList
    {
        uint32_t Count = 0;
        const uint16_t *Tiles = nullptr; // the model's own list
    };
    std::vector<TList> Lists;
    std::vector<TPcg32> Starts; // Size.BlockColumns() + 1 states
    std::vector<uint8_t> BlockDraws; // by block index
};

// Writes the whole map file block-column by block-column in the output's size
// and format, then the statics files when asked for (empty ones, or the
// decoration and waves of the final grid, drawn from the decoration's own
// stream so that the map file is the same either way, and built on a thread
// of their own while the map file is written), then the heights picture when
// the output names one (HeightsPicture.h), and saves all of
// them atomically (TAtomicSave): the files change only when all of them are
// written. After an abort or a failure the old files are untouched and no
// temporary file is left. Throws EMapWriteError when a file cannot be
// written, std::invalid_argument for a size that is no map size.
TMapWriteResult WriteMapFile(TTerrainImage &Model, const TMapOutput &Output, const TMapWriterHooks &Hooks = {});
// The classic 6144 x 4096 map at FileName, in the format its name asks for.
TMapWriteResult WriteMapFile(TTerrainImage &Model, const std::string &FileName, const TMapWriterHooks &Hooks = {});
