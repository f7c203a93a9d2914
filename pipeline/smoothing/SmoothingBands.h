#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TTerrainImage;

// The working layout of the fast smoothing stages: the grid cut into bands of
// 32 rows, each band stored as a run of "steps". Step t of a band holds, for
// every row i of the band (its lane), the cell in column t - 3i:
//
//     row y0+0:  columns  t         (lane 0)
//     row y0+1:  columns  t - 3     (lane 1)
//     row y0+2:  columns  t - 6     (lane 2)   ...
//
// so every lane of a step can be computed at the same time with the cells
// around it already in the state that the row-by-row in-place scan gives:
// the west neighbour is the step before, the three cells above lie 2 to 4
// steps back, the cell to the east and the three cells below 1 to 4 steps on.
// The lanes of one step are 32 bytes, one vector of the kernels.
//
// Each step is an entry of 64 bytes: the altitudes of the 32 cells, biased by
// 128 so that signed altitudes compare as unsigned bytes (altitude ^ 0x80),
// then a class byte per cell (whether it counts as a neighbour, whether and
// from which pass on it is smoothed); the stage decides the class bytes.
namespace Smoothing {

constexpr int Lanes = 32;
constexpr int RowSkew = 3;                 // steps between a row and the row below it
constexpr int Reach = RowSkew * Lanes;     // steps from lane 0 of a band to the cell above it, lane 31 of the band before
constexpr int EntryBytes = 64;
constexpr int ClassOffset = 32;            // the class bytes follow the altitudes in an entry
constexpr int Margin = Reach + 8;          // extra frame steps before and after a band, for the kernels' reads
constexpr uint8_t FrameAltitude = 0x80;    // altitude 0, biased

// Steps First..Last of a band, both included, in which some lane is smoothed.
struct TStepRange
{
    int First;
    int Last;
};

// The memory of a grid's bands, in whole large pages (Platform::
// AllocateLarge: aligned to at least a 4 KB page, so to an entry too).
struct TFreeBands
{
    size_t Bytes = 0;
    void operator()(uint8_t *p) const;
};
using TBandMemory = std::unique_ptr<uint8_t[], TFreeBands>;

// The banded copy of one grid's altitudes, with the class bytes of one stage.
class TBandGrid
{
public:
    // Allocates the bands of a Width x Height grid; Frame is the class byte of
    // cells outside the grid (neither counted nor smoothed).
    TBandGrid(int Width, int Height, uint8_t Frame);
    ~TBandGrid();
    TBandGrid(const TBandGrid &) = delete;
    TBandGrid &operator=(const TBandGrid &) = delete;

    // Leaves the memory of the bands, when this grid goes, to the run's
    // TRunMemory for the next grid of the same size (stage 8 hands it to
    // stage 9). Without a TRunMemory the memory is freed as usual.
    void KeepMemoryForNextGrid() { KeepMemory = true; }

    int Width() const { return GridWidth; }
    int Height() const { return GridHeight; }
    int Bands() const { return BandCount; }
    // Steps 0 .. Steps()-1 cover every cell of a band, the frame columns included.
    int Steps() const { return StepCount; }
    // Rows of band b that lie in the grid.
    int LanesIn(int b) const;

    // Entry 0 of band b; the bands before the first and after the last are one
    // shared band of frame cells.
    uint8_t *Band(int b) { return (b < 0 || b >= BandCount) ? FrameBand : Data.get() + (size_t(b) * BandEntries + Margin) * EntryBytes; }
    uint8_t *Entry(int b, int t) { return Band(b) + ptrdiff_t(t) * EntryBytes; }

    // Fills band b from the model and finds its active steps. CompactRow
    // writes the biased altitudes and the class bytes of grid row y to
    // Altitudes[1..Width] and Classes[1..Width] (the frame around them is
    // already set). Activity gives per class byte bit 0 when the cell is
    // smoothed in the early passes and bit 1 when in the late ones (from the
    // pass on which seeds are smoothed too; a superset of the early ones).
    // Scratch is the caller's buffer, grown to ScratchBytes().
    using TCompactRow = std::function<void(int y, uint8_t *Altitudes, uint8_t *Classes)>;
    void FillBand(int b, const TCompactRow &CompactRow, const uint8_t (&Activity)[256], std::vector<uint8_t> &Scratch);
    size_t ScratchBytes() const;
    // Writes the altitudes of band b back into the model's grid (those of the
    // active steps of the late passes: no other cell can have changed).
    void StoreBand(int b, TTerrainImage &Model);

    // The steps of band b to compute in the early (kind 0) and in the late
    // (kind 1) passes.
    std::vector<TStepRange> &Ranges(int kind, int b) { return StepRanges[kind][size_t(b)]; }

private:
    int GridWidth;
    int GridHeight;
    int BandCount;
    int StepCount;
    size_t BandEntries;
    uint8_t FrameClass;
    size_t DataBytes;
    bool KeepMemory = false;
    TBandMemory Data;
    uint8_t *FrameBand = nullptr;
    std::vector<std::vector<TStepRange>> StepRanges[2];
};

// The band memory of one run of the pipeline. Stage 8 leaves the memory of
// its bands here and stage 9 takes it over: touching fresh memory for the
// first time costs about as much as filling it. Whatever is still held goes
// with this object, so a run that stops or fails after stage 8 keeps
// nothing. Generate holds one for each run; it serves the grids made on the
// run's own thread (the stages make theirs there).
class TRunMemory
{
public:
    TRunMemory();  // the run memory of this thread from now on
    ~TRunMemory(); // frees what it holds; the one before it serves again
    TRunMemory(const TRunMemory &) = delete;
    TRunMemory &operator=(const TRunMemory &) = delete;

    // The run memory of the calling thread, or nullptr outside a run.
    static TRunMemory *Current();
    size_t HeldBytes() const { return Bytes; }
    // Holds Memory of Bytes for the next grid, instead of what it held.
    void Hold(TBandMemory Memory, size_t Bytes);
    // The memory held when it has Bytes, else none; holds nothing afterwards.
    TBandMemory Take(size_t Bytes);

private:
    TRunMemory *Outer; // the run memory this one stands in for, if any
    TBandMemory Held;
    size_t Bytes = 0;
};

// Bytes of band memory the calling thread's run holds for a grid to come
// (tests): 0 outside a run.
size_t KeptBandBytes();

// Runs Work(threadIndex) on Threads threads (the caller's included) and waits.
void RunOnThreads(int Threads, const std::function<void(int)> &Work);

// Worker count for the stages: one per core, at most one per band.
int ThreadsFor(int Bands, int Requested);

// What a run of passes does: which steps of a band it computes in a pass and
// the computation itself (steps First..Last of band b, all lanes at once).
class TPassWork
{
public:
    virtual ~TPassWork() = default;
    virtual const std::vector<TStepRange> &StepsOf(int Band, int Pass) = 0;
    virtual void Compute(int Thread, int Band, int Pass, int First, int Last) = 0;
};

// What the scheduler tells a test about its threads, so that the test can
// hold a band back and check what the others may do meanwhile. Called on the
// worker threads; Progress values only grow while a pass runs.
class TScheduleProbe
{
public:
    virtual ~TScheduleProbe() = default;
    // Band is about to compute steps First..Last of Pass, its waits over; its
    // own published progress is OwnProgress.
    virtual void Starting(int Thread, int Band, int Pass, int First, int Last, uint64_t OwnProgress) = 0;
    // Band cannot go on yet: band On has only published Seen. Called on every
    // look at On until it has come far enough.
    virtual void Waiting(int Thread, int Band, int On, uint64_t Seen) = 0;
    // Thread has no more work.
    virtual void Finished(int Thread) = 0;
};

// Runs passes FirstPass..LastPass over all bands on Threads threads. A band
// may run ahead of the band below it and passes overlap, as far as the
// row-by-row in-place order allows: band b computes step t of a pass once
// band b-1 has finished the steps up to t + Reach - 1 of the same pass (the
// cells above are new) and band b+1 the steps up to t + 5 - Reach of the pass
// before (the cells below are old and not yet overwritten). Probe, when
// given, watches the threads (tests only).
void RunPasses(TBandGrid &Grid, int FirstPass, int LastPass, int Threads, TPassWork &Work,
               TScheduleProbe *Probe = nullptr);

} // namespace Smoothing
