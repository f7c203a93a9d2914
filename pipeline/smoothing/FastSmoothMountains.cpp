// Stage 9 in fast form. Codes and flags do not change during the stage, so
// which cells are processed, which count as neighbours and each cell's step
// (the smallest limit towards a counting neighbour) are decided once, into
// the class bytes of the banded copy (SmoothingBands.h).
//
// A cell changes only once the flag is set, by its own neighbours or by a
// cell before it. Before the first cell of pass 1 that sets it nothing has
// changed, so that cell is found on the unchanged grid. If there is none, the
// stage changes nothing; else pass 1 updates that cell and every processed
// cell after it, and passes 2 to 41 update every processed cell.
//
// A mountain cell without counting neighbours (all eight empty or outside
// the grid) is read by no processed cell and reads none: it follows its own
// sequence, worked out apart from the bands.
#include "ClassTerrainImage.h"
#include "FastSmoothing.h"
#include "HeightConstants.h"
#include "SmoothingStage.h"
#include "StageCommon.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FastSmoothing {

namespace {

using namespace Smoothing;

// As in the straightforward SmoothMountains: 41 passes when the flag is set,
// seeds processed from pass 39 on, the limits by direction N .. NW, the step
// of a cell without counting neighbours.
constexpr int LastPass = HeightConstants::MountainLastPassToContinue + 1;
constexpr int SeedsFromPass = HeightConstants::MountainSeedsFromPass;
constexpr const std::array<int, 8> &SlopeLimits = HeightConstants::MountainSlopeLimits;
constexpr int NoStep = HeightConstants::NoMountainStep;

constexpr int64_t NoCell = std::numeric_limits<int64_t>::max();
// Cells of a row tested at once for mountain before any is looked at singly.
constexpr int MountainScanChunk = 16;

// Whether one of the MountainScanChunk cells from 'cells' on is mountain.
bool AnyMountain(const TCell *cells)
{
    static_assert(sizeof(TCell) == 4 && offsetof(TCell, Code) == 0);
#ifdef __SSE2__
    // Four cells a register: the code is the low half of each 32-bit word.
    const __m128i codeBits = _mm_set1_epi32(0xFFFF);
    const __m128i mountain = _mm_set1_epi32(MOUNTAIN);
    __m128i found = _mm_setzero_si128();
    for (int j = 0; j < MountainScanChunk; j += 4) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + j));
        found = _mm_or_si128(found, _mm_cmpeq_epi32(_mm_and_si128(words, codeBits), mountain));
    }
    return _mm_movemask_epi8(found) != 0;
#else
    bool found = false;
    for (int j = 0; j < MountainScanChunk; ++j)
        found |= cells[j].Code == MOUNTAIN;
    return found;
#endif
}

// A mountain cell without counting neighbours.
struct TLoneCell
{
    int X;
    int Y;
    bool Seed;
};

// What filling a band finds besides the class bytes.
struct TBandFindings
{
    int64_t FirstSetter = NoCell; // row-major position (y * stride + x)
    std::vector<TLoneCell> Lone;
};

class TMountainPasses : public TPassWork
{
public:
    TMountainPasses(TBandGrid &grid, const TKernelSet &kernels, int firstBand)
        : Grid(grid), Kernels(kernels), FirstBand(firstBand) {}

    const std::vector<TStepRange> &StepsOf(int band, int pass) override
    {
        if (pass == 1 && band < FirstBand)
            return NoSteps;
        return Grid.Ranges(pass < SeedsFromPass ? 0 : 1, band);
    }
    void Compute(int, int band, int pass, int first, int last) override
    {
        const TBandView view{Grid.Band(band), Grid.Band(band - 1), Grid.Band(band + 1)};
        Kernels.Mountains(view, first, last, pass < SeedsFromPass ? MountainEarlyLimit : MountainLateLimit);
    }

private:
    TBandGrid &Grid;
    const TKernelSet &Kernels;
    int FirstBand;
    const std::vector<TStepRange> NoSteps;
};

// The new altitude of a processed cell without counting neighbours: highest
// -127 and lowest 127 give the middle 0, and the step stays 255.
int LoneCellAltitude(int a)
{
    int n = 0;
    if (0 < a && a < NoStep)
        n = HeightConstants::RoundHalf(a - NoStep);
    else if (0 < -a && -a < NoStep)
        n = HeightConstants::RoundHalf(a + NoStep);
    return std::clamp(n, -128, 127);
}

// Fills the bands: the biased altitudes, and the class byte of each cell
// (its step, and whether it is a seed, for a processed mountain cell). Finds
// per band the first cell whose neighbours set the flag in pass 1 and the
// mountain cells without counting neighbours.
std::vector<TBandFindings> FillMountainBands(TBandGrid &grid, const TTerrainImage &model, int threads)
{
    std::vector<TBandFindings> findings(static_cast<size_t>(grid.Bands()));
    uint8_t activity[256];
    for (int k = 0; k < 256; ++k)
        activity[k] = uint8_t((k <= MountainEarlyLimit ? 1 : 0) | (k <= MountainLateLimit ? 2 : 0));
    const int width = grid.Width();
    const int stride = model.Stride();
    FillBands(grid, threads, [&](int y, uint8_t *altitudes, uint8_t *classes) {
        TBandFindings &found = findings[size_t((y - 1) / Lanes)];
        const TCell *cells = model.CellData();
        const uint8_t *flags = model.FlagData();
        const TCell *row = cells + model.Index(0, y);
        // Local copies: stores through the byte pointers could change
        // anything the lambda reaches by reference, which keeps the compiler
        // from vector code.
        const int columns = width;
        for (int x = 1; x <= columns; ++x) {
            altitudes[x] = uint8_t(row[x].Altitude) ^ FrameAltitude;
            classes[x] = row[x].Code == NO_TERRAIN ? MountainNotCounted : MountainKept;
        }
        for (int x = 1; x <= columns; ++x) {
            // Most of a map is not mountain: skip whole chunks with a test
            // the compiler turns into vector code.
            if ((x - 1) % MountainScanChunk == 0 && x + MountainScanChunk - 1 <= columns) {
                if (!AnyMountain(row + x)) {
                    x += MountainScanChunk - 1;
                    continue;
                }
            }
            // A painted cell stays kept: never reshaped, never the first setter.
            if (row[x].Code != MOUNTAIN || flags[model.Index(x, y)] == FLAG_PAINTED)
                continue;
            // The frame around the grid reads as empty cells, as outside it.
            const size_t i = model.Index(x, y);
            const int a = row[x].Altitude;
            int step = NoStep;
            bool steep = false;
            for (size_t d = 0; d < Neighbours.size(); ++d) {
                const TCell n = cells[ptrdiff_t(i) + Neighbours[d].Dy * stride + Neighbours[d].Dx];
                const bool counted = n.Code != NO_TERRAIN;
                step = counted ? std::min(step, SlopeLimits[d]) : step;
                steep |= counted & (a - n.Altitude > SlopeLimits[d]);
            }
            const bool seed = flags[i] == FLAG_SEED;
            if (step == NoStep) {
                found.Lone.push_back({x, y, seed});
                continue;
            }
            classes[x] = uint8_t(step | (seed ? MountainSeedBit : 0));
            if (steep && !seed)
                found.FirstSetter = std::min(found.FirstSetter, int64_t(i));
        }
    }, activity);
    return findings;
}

// The first cell of pass 1 whose neighbours set the flag, NoCell if none.
int64_t FirstSetter(const std::vector<TBandFindings> &findings)
{
    int64_t first = NoCell;
    for (const TBandFindings &found : findings)
        first = std::min(first, found.FirstSetter);
    return first;
}

// Pass 1 leaves the cells before the first setter as they are: for as long
// as this object lives, the processed cells of the setter's band that come
// before it are marked kept (the bands before it are skipped whole).
class TKeptBeforeSetter
{
public:
    TKeptBeforeSetter(TBandGrid &grid, int setterX, int setterY)
    {
        const int band = (setterY - 1) / Lanes;
        for (int i = 0; i < grid.LanesIn(band); ++i) {
            const int y = band * Lanes + i + 1;
            const int endX = y < setterY ? grid.Width() + 1 : y == setterY ? setterX : 0;
            for (int x = 1; x < endX; ++x) {
                uint8_t *k = grid.Entry(band, x + RowSkew * i) + ClassOffset + i;
                if (*k <= MountainEarlyLimit) {
                    Patches.push_back({k, *k});
                    *k = MountainKept;
                }
            }
        }
    }
    ~TKeptBeforeSetter()
    {
        for (const TPatch &patch : Patches)
            *patch.Class = patch.Was;
    }
    TKeptBeforeSetter(const TKeptBeforeSetter &) = delete;
    TKeptBeforeSetter &operator=(const TKeptBeforeSetter &) = delete;

private:
    struct TPatch
    {
        uint8_t *Class;
        uint8_t Was;
    };
    std::vector<TPatch> Patches;
};

// The mountain cells without counting neighbours, each on its own: the
// passes that process it (pass 1 only from the first setter on, seeds only
// from their pass on) each move it by the lone cell's rule.
void SmoothLoneCells(TTerrainImage &model, const std::vector<TBandFindings> &findings, int64_t firstSetter)
{
    for (const TBandFindings &found : findings)
        for (const TLoneCell &cell : found.Lone) {
            int a = model.GetCell(cell.X, cell.Y).Altitude;
            for (int pass = 1; pass <= LastPass; ++pass) {
                if (cell.Seed && pass < SeedsFromPass)
                    continue;
                if (pass == 1 && int64_t(model.Index(cell.X, cell.Y)) < firstSetter)
                    continue;
                a = LoneCellAltitude(a);
            }
            model.SetCell(cell.X, cell.Y, KeepCode, a);
        }
}

} // namespace

void SmoothMountains(TTerrainImage &Model, const TOptions &Options)
{
    Random::Reseed(TSeedSite::MountainSmoothing); // nothing is drawn; the map writer draws on from here

    if (Model.GetWidth() == 0 || Model.GetHeight() == 0)
        return;
    TBandGrid grid(Model.GetWidth(), Model.GetHeight(), MountainNotCounted);
    const int threads = ThreadsFor(grid.Bands(), Options.Threads);

    const std::vector<TBandFindings> findings = FillMountainBands(grid, Model, threads);
    const int64_t firstSetter = FirstSetter(findings);
    if (firstSetter == NoCell)
        return; // no slope too steep: pass 1 changes nothing and is the last

    const int setterX = int(firstSetter % Model.Stride());
    const int setterY = int(firstSetter / Model.Stride());
    TMountainPasses passes(grid, KernelsFor(Options), (setterY - 1) / Lanes);
    {
        const TKeptBeforeSetter kept(grid, setterX, setterY);
        RunPasses(grid, 1, 1, threads, passes);
    }
    RunPasses(grid, 2, LastPass, threads, passes);
    StoreBands(grid, threads, Model);

    SmoothLoneCells(Model, findings, firstSetter);
}

} // namespace FastSmoothing
