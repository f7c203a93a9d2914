// The band layout of the fast smoothing stages and the scheduler that runs
// their passes on several threads (see SmoothingBands.h).
#include "SmoothingBands.h"

#include "ClassTerrainImage.h"
#include "Platform.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Smoothing {

namespace {

// Bytes the compact rows of FillBand keep on each side of a row, so that step
// t of every lane reads column t - 3i without a range test.
constexpr int RowPad = Margin + Reach;
// Two ranges of active steps closer than this are computed as one: restarting
// costs about as much as computing a step.
constexpr int JoinGap = 3;

#ifdef __SSE2__
constexpr int TransposeSize = 16;

// Bytes t..t+15 of 16 rows to 16 steps of 16 lanes (to[0..15] of entries
// t..t+15). Each round interleaves row r with row r + 8, which moves the
// bits of a byte's (row, column) position one place round; four rounds swap
// row and column.
void Transpose16(const uint8_t *const *rows, int t, uint8_t *to)
{
    __m128i x[TransposeSize];
    for (int r = 0; r < TransposeSize; ++r)
        x[r] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[r] + t));
    for (int round = 0; round < 4; ++round) {
        __m128i y[TransposeSize];
        for (int i = 0; i < TransposeSize / 2; ++i) {
            y[2 * i] = _mm_unpacklo_epi8(x[i], x[i + TransposeSize / 2]);
            y[2 * i + 1] = _mm_unpackhi_epi8(x[i], x[i + TransposeSize / 2]);
        }
        for (int r = 0; r < TransposeSize; ++r)
            x[r] = y[r];
    }
    for (int c = 0; c < TransposeSize; ++c)
        _mm_store_si128(reinterpret_cast<__m128i *>(to + ptrdiff_t(c) * EntryBytes), x[c]);
}
#endif

} // namespace

void TFreeBands::operator()(uint8_t *p) const
{
    Platform::FreeLarge(p, Bytes);
}

namespace {

thread_local TRunMemory *CurrentRunMemory = nullptr;

} // namespace

TRunMemory::TRunMemory() : Outer(CurrentRunMemory)
{
    CurrentRunMemory = this;
}

TRunMemory::~TRunMemory()
{
    CurrentRunMemory = Outer;
}

TRunMemory *TRunMemory::Current()
{
    return CurrentRunMemory;
}

void TRunMemory::Hold(TBandMemory Memory, size_t MemoryBytes)
{
    Held = std::move(Memory);
    Bytes = Held ? MemoryBytes : 0;
}

TBandMemory TRunMemory::Take(size_t MemoryBytes)
{
    TBandMemory taken = std::move(Held);
    if (Bytes != MemoryBytes)
        taken.reset();
    Bytes = 0;
    return taken;
}

size_t KeptBandBytes()
{
    const TRunMemory *run = TRunMemory::Current();
    return run ? run->HeldBytes() : 0;
}

TBandGrid::TBandGrid(int Width, int Height, uint8_t Frame)
    : GridWidth(Width), GridHeight(Height), BandCount((Height + Lanes - 1) / Lanes),
      StepCount(Width + 2 + RowSkew * (Lanes - 1)), BandEntries(size_t(StepCount) + 2 * Margin), FrameClass(Frame)
{
    DataBytes = (size_t(BandCount) + 1) * BandEntries * EntryBytes;
    if (TRunMemory *run = TRunMemory::Current())
        Data = run->Take(DataBytes);
    if (!Data) {
        void *data = Platform::AllocateLarge(DataBytes);
        if (!data)
            throw std::bad_alloc();
        Data = TBandMemory(static_cast<uint8_t *>(data), TFreeBands{DataBytes});
    }
    FrameBand = Data.get() + (size_t(BandCount) * BandEntries + Margin) * EntryBytes;
    for (int t = -Margin; t < StepCount + Margin; ++t) {
        uint8_t *e = FrameBand + ptrdiff_t(t) * EntryBytes;
        std::memset(e, FrameAltitude, ClassOffset);
        std::memset(e + ClassOffset, FrameClass, EntryBytes - ClassOffset);
    }
    for (auto &ranges : StepRanges)
        ranges.resize(size_t(BandCount));
}

TBandGrid::~TBandGrid()
{
    if (KeepMemory)
        if (TRunMemory *run = TRunMemory::Current())
            run->Hold(std::move(Data), DataBytes);
}

int TBandGrid::LanesIn(int b) const
{
    return std::min(Lanes, GridHeight - b * Lanes);
}

void TBandGrid::FillBand(int b, const TCompactRow &CompactRow, const uint8_t (&Activity)[256], std::vector<uint8_t> &Scratch)
{
    // First every row of the band as compact bytes with a wide frame, then the
    // skewed transposition into the steps.
    const size_t rowLength = size_t(GridWidth) + 2 + 2 * RowPad;
    Scratch.resize(ScratchBytes());
    uint8_t *frameAltitudes = Scratch.data();
    uint8_t *frameClasses = frameAltitudes + rowLength;
    uint8_t *active = frameClasses + rowLength * (2 * size_t(Lanes) + 1); // per step: bit k, kind k active
    std::memset(frameAltitudes, FrameAltitude, rowLength);
    std::memset(frameClasses, FrameClass, rowLength);
    std::memset(active, 0, size_t(StepCount));

    const uint8_t *altitudes[Lanes];
    const uint8_t *classes[Lanes];
    const int lanes = LanesIn(b);
    for (int i = 0; i < Lanes; ++i) {
        if (i >= lanes) {
            altitudes[i] = frameAltitudes + RowPad - RowSkew * i;
            classes[i] = frameClasses + RowPad - RowSkew * i;
            continue;
        }
        uint8_t *a = frameClasses + rowLength * (2 * size_t(i) + 1);
        uint8_t *k = a + rowLength;
        // Only the frame around the row: CompactRow writes the rest.
        const size_t rowEnd = RowPad + size_t(GridWidth) + 1;
        std::memset(a, FrameAltitude, RowPad + 1);
        std::memset(k, FrameClass, RowPad + 1);
        std::memset(a + rowEnd, FrameAltitude, rowLength - rowEnd);
        std::memset(k + rowEnd, FrameClass, rowLength - rowEnd);
        CompactRow(b * Lanes + i + 1, a + RowPad, k + RowPad);
        altitudes[i] = a + RowPad - RowSkew * i;
        classes[i] = k + RowPad - RowSkew * i;
        // Runs of equal class bytes along the row, eight bytes at a time,
        // marked on their steps.
        const uint8_t *rowClasses = k + RowPad;
        const int width = GridWidth;
        const int skew = RowSkew * i;
        for (int x = 1; x <= width;) {
            const uint8_t runClass = rowClasses[x];
            const uint64_t pattern = uint64_t(runClass) * 0x0101010101010101u;
            int end = x + 1;
            for (uint64_t word; end + 8 <= width + 1; end += 8) {
                std::memcpy(&word, rowClasses + end, sizeof word);
                if (word != pattern)
                    break;
            }
            while (end <= width && rowClasses[end] == runClass)
                ++end;
            const uint8_t bits = Activity[runClass];
            if (bits != 0)
                for (int t = x + skew; t < end + skew; ++t)
                    active[t] |= bits;
            x = end;
        }
    }
    int t = -Margin;
#ifdef __SSE2__
    for (; t + TransposeSize <= StepCount + Margin; t += TransposeSize)
        for (int half = 0; half < Lanes; half += TransposeSize) {
            Transpose16(altitudes + half, t, Entry(b, t) + half);
            Transpose16(classes + half, t, Entry(b, t) + ClassOffset + half);
        }
#endif
    for (; t < StepCount + Margin; ++t) {
        uint8_t *e = Entry(b, t);
        for (int i = 0; i < Lanes; ++i) {
            e[i] = altitudes[i][t];
            e[ClassOffset + i] = classes[i][t];
        }
    }
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<TStepRange> &ranges = Ranges(kind, b);
        ranges.clear();
        for (int t = 0; t < StepCount; ++t) {
            if ((active[t] & (1u << kind)) == 0)
                continue;
            if (!ranges.empty() && t - ranges.back().Last <= JoinGap)
                ranges.back().Last = t;
            else
                ranges.push_back({t, t});
        }
    }
}

size_t TBandGrid::ScratchBytes() const
{
    return 2 * (size_t(Lanes) + 1) * (size_t(GridWidth) + 2 + 2 * RowPad) + size_t(StepCount);
}

void TBandGrid::StoreBand(int b, TTerrainImage &Model)
{
    // Only cells of active steps can have changed; the late passes' steps
    // include the early ones. Blocks of steps small enough to stay in the
    // first-level cache are written row by row.
    constexpr int BlockSteps = 64;
    TCell *rows[Lanes];
    const int lanes = LanesIn(b);
    for (int i = 0; i < lanes; ++i)
        rows[i] = Model.CellData() + Model.Index(0, b * Lanes + i + 1) - RowSkew * i;
    for (const TStepRange &range : Ranges(1, b)) {
        for (int first = range.First; first <= range.Last; first += BlockSteps) {
            const int last = std::min(range.Last, first + BlockSteps - 1);
            for (int i = 0; i < lanes; ++i) {
                const int from = std::max(first, 1 + RowSkew * i);
                const int to = std::min(last, GridWidth + RowSkew * i);
                for (int t = from; t <= to; ++t)
                    rows[i][t].Altitude = int8_t(Entry(b, t)[i] ^ FrameAltitude);
            }
        }
    }
}

void RunOnThreads(int Threads, const std::function<void(int)> &Work)
{
    // The work is handed out item by item, so fewer threads than asked for
    // (when the system cannot start more) only take longer. An exception of
    // a helper is passed on to the caller once all have ended.
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto guarded = [&](int thread) {
        try {
            Work(thread);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < Threads; ++i) {
        try {
            helpers.emplace_back(guarded, i);
        } catch (const std::system_error &) {
            break;
        }
    }
    guarded(0);
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

int ThreadsFor(int Bands, int Requested)
{
    int threads = Requested > 0 ? Requested : int(std::thread::hardware_concurrency());
    return std::max(1, std::min(threads, Bands));
}

namespace {

// Progress of a band: (pass << 32) | (first step not yet computed + StepBias);
// a finished pass is (pass << 32) | PassDone. So the values only grow.
constexpr int64_t StepBias = Margin + 1;
constexpr uint64_t PassDone = 0xFFFFFFFFu;

uint64_t Progress(int pass, int stepsBefore)
{
    return (uint64_t(pass) << 32) | uint64_t(std::max<int64_t>(stepsBefore + StepBias, 0));
}

// Steps computed between two looks at the neighbouring bands.
constexpr int ChunkSteps = 96;
// Polls of a progress value before the waiting thread gives up its core.
constexpr int SpinsBeforeYield = 64;

void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until band 'on' has published at least value; band, on and thread
// only tell the probe who waits for whom.
void WaitFor(const std::vector<std::atomic<uint64_t>> &progress, int on, uint64_t value, TScheduleProbe *probe,
             int thread, int band)
{
    int spins = 0;
    for (uint64_t seen; (seen = progress[size_t(on)].load(std::memory_order_acquire)) < value;) {
        if (probe)
            probe->Waiting(thread, band, on, seen);
        if (++spins < SpinsBeforeYield) {
            Pause();
        } else {
            std::this_thread::yield();
        }
    }
}

} // namespace

void RunPasses(TBandGrid &Grid, int FirstPass, int LastPass, int Threads, TPassWork &Work, TScheduleProbe *Probe)
{
    const int bands = Grid.Bands();
    if (bands == 0 || LastPass < FirstPass)
        return;
    const int64_t items = int64_t(LastPass - FirstPass + 1) * bands;
    std::vector<std::atomic<uint64_t>> progress(static_cast<size_t>(bands));
    for (auto &p : progress)
        p.store((uint64_t(FirstPass - 1) << 32) | PassDone, std::memory_order_relaxed);
    std::atomic<int64_t> next{0};

    // The items (band, pass) in the order of the diagonals band + pass, and
    // on a diagonal from its first pass (its lowest band) up to its last pass
    // (its highest band): each item waits only for items before it (the band
    // above in the same pass is on the diagonal before, the band below in the
    // pass before earlier on the same diagonal), and
    // the bands of one diagonal, about one per pass, are the ones the next
    // diagonal works on again, so they stay in the cache instead of every
    // pass streaming the whole grid from memory.
    const int passes = LastPass - FirstPass + 1;
    std::vector<std::pair<int, int>> order;
    order.reserve(size_t(items));
    for (int diagonal = 0; diagonal < bands + passes - 1; ++diagonal)
        for (int p = std::max(0, diagonal - bands + 1); p <= std::min(passes - 1, diagonal); ++p)
            order.emplace_back(diagonal - p, FirstPass + p);

    RunOnThreads(Threads, [&](int thread) {
        for (;;) {
            const int64_t item = next.fetch_add(1, std::memory_order_relaxed);
            if (item >= items)
                break;
            const int b = order[size_t(item)].first;
            const int pass = order[size_t(item)].second;
            WaitFor(progress, b, (uint64_t(pass - 1) << 32) | PassDone, Probe, thread, b);
            for (const TStepRange &range : Work.StepsOf(b, pass)) {
                for (int first = range.First; first <= range.Last; first += ChunkSteps) {
                    const int last = std::min(range.Last, first + ChunkSteps - 1);
                    const uint64_t own = Progress(pass, first);
                    progress[size_t(b)].store(own, std::memory_order_release);
                    if (b > 0)
                        WaitFor(progress, b - 1, Progress(pass, last + Reach), Probe, thread, b);
                    if (b + 1 < bands)
                        WaitFor(progress, b + 1, Progress(pass - 1, last + 6 - Reach), Probe, thread, b);
                    if (Probe)
                        Probe->Starting(thread, b, pass, first, last, own);
                    Work.Compute(thread, b, pass, first, last);
                    progress[size_t(b)].store(Progress(pass, last + 1), std::memory_order_release);
                }
            }
            progress[size_t(b)].store((uint64_t(pass) << 32) | PassDone, std::memory_order_release);
        }
        if (Probe)
            Probe->Finished(thread);
    });
}

} // namespace Smoothing
