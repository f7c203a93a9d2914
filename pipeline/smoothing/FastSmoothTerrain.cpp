// Stage 8 in fast form. Codes and flags do not change during the stage, so
// which cells are smoothed and which count as neighbours is decided once,
// into the class bytes of the banded copy (SmoothingBands.h). The flag that
// asks for more passes is cleared only at the start, so the first pass
// alone decides: if it sets it, 51 passes run, else one; only the first pass
// needs to test it.
#include "ClassTerrainImage.h"
#include "FastSmoothing.h"
#include "HeightConstants.h"
#include "SmoothingStage.h"

#include <vector>

namespace FastSmoothing {

namespace {

using namespace Smoothing;

// The passes of the stage: 51 when the first does not converge, seeds
// smoothed from pass 30 on (as in the straightforward SmoothTerrain).
constexpr int LastPass = HeightConstants::TerrainLastPassToContinue + 1;
constexpr int SeedsFromPass = HeightConstants::TerrainSeedsFromPass;

// Without branches, so that the compiler can fill a row with vector code.
uint8_t ClassOf(uint16_t code, uint8_t flag)
{
    const bool counted = (code != NO_TERRAIN) & (code != MOUNTAIN);
    const bool never = (code == MOUNTAIN) | (flag == FLAG_FIXED) | (flag == FLAG_PAINTED);
    const bool seed = flag == FLAG_SEED;
    return uint8_t((counted ? 0 : TerrainNotCounted) | (never ? TerrainNever : seed ? TerrainSeed : TerrainAlways));
}

class TTerrainPasses : public TPassWork
{
public:
    TTerrainPasses(TBandGrid &grid, const TKernelSet &kernels, int threads)
        : Grid(grid), Kernels(kernels), Unconverged(size_t(threads), 0) {}

    const std::vector<TStepRange> &StepsOf(int band, int pass) override
    {
        return Grid.Ranges(pass < SeedsFromPass ? 0 : 1, band);
    }
    void Compute(int thread, int band, int pass, int first, int last) override
    {
        const TBandView view{Grid.Band(band), Grid.Band(band - 1), Grid.Band(band + 1)};
        const uint8_t mask = pass < SeedsFromPass ? TerrainEarlyMask : TerrainLateMask;
        if (pass == 1) {
            if (Kernels.TerrainChecked(view, first, last, mask))
                Unconverged[size_t(thread)] = 1;
        } else {
            Kernels.Terrain(view, first, last, mask);
        }
    }
    bool AnyUnconverged() const
    {
        for (const char u : Unconverged)
            if (u)
                return true;
        return false;
    }

private:
    TBandGrid &Grid;
    const TKernelSet &Kernels;
    std::vector<char> Unconverged; // per thread
};

} // namespace

void SmoothTerrain(TTerrainImage &Model, const TOptions &Options)
{
    Random::Reseed(TSeedSite::TerrainSmoothing); // nothing is drawn; the stream starts here

    const int width = Model.GetWidth();
    const int height = Model.GetHeight();
    if (width == 0 || height == 0)
        return;

    TBandGrid grid(width, height, TerrainNotCounted | TerrainNever);
    grid.KeepMemoryForNextGrid(); // for stage 9, which follows
    const int threads = ThreadsFor(grid.Bands(), Options.Threads);

    uint8_t activity[256];
    for (int k = 0; k < 256; ++k)
        activity[k] = uint8_t(((k & TerrainEarlyMask) == 0 ? 1 : 0) | ((k & TerrainLateMask) == 0 ? 2 : 0));
    FillBands(grid, threads, [&](int y, uint8_t *altitudes, uint8_t *classes) {
        const TCell *cells = Model.CellData() + Model.Index(0, y);
        const uint8_t *flags = Model.FlagData() + Model.Index(0, y);
        // A local copy: stores through the byte pointers could change anything
        // the lambda reaches by reference, which keeps the compiler from
        // vector code.
        const int columns = width;
        for (int x = 1; x <= columns; ++x) {
            altitudes[x] = uint8_t(cells[x].Altitude) ^ FrameAltitude;
            classes[x] = ClassOf(cells[x].Code, flags[x]);
        }
    }, activity);

    TTerrainPasses passes(grid, KernelsFor(Options), threads);
    RunPasses(grid, 1, 1, threads, passes);
    if (passes.AnyUnconverged())
        RunPasses(grid, 2, LastPass, threads, passes);

    StoreBands(grid, threads, Model);
}

} // namespace FastSmoothing
