// Fast forms of stages 6 and 7: the coast rings and the random seed heights.
#include "FastGrid.h"
#include "FastStages.h"
#include "HeightConstants.h"
#include "PaintedHeights.h"
#include "StageCommon.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace FastStages {

namespace {

using namespace HeightConstants;

// 1 where the flag of the row's cell x, or of its west or east neighbour, is
// FLAG_FIXED (the frame counts as not fixed).
void FixedAcross(const uint8_t *flags, int width, uint8_t *out)
{
    static_assert(FLAG_FIXED == 1);
    for (int x = 1; x <= width; ++x)
        out[x] = uint8_t((flags[x - 1] == FLAG_FIXED) | (flags[x] == FLAG_FIXED) | (flags[x + 1] == FLAG_FIXED));
}

// The profile's levelling of water and coastline (see the reference form).
void LevelCoast(const TFastGrid &grid, const THeightProfile &profile)
{
    const int8_t water = int8_t(profile.Water);
    for (int y = 1; y <= grid.Height; ++y) {
        TCell *row = grid.Cells + grid.Index(0, y);
        for (int x = 1; x <= grid.Width; ++x) {
            TCell &cell = row[x];
            if (cell.Code == WATER) {
                if (profile.LevelWater)
                    cell.Altitude = water;
            } else if (cell.Code == COASTLINE) {
                int altitude = profile.LevelCoastline ? profile.Coastline : cell.Altitude;
                if (profile.CoastTable) {
                    unsigned mask = 0;
                    for (size_t d = 0; d < grid.Offsets.size(); ++d)
                        mask |= unsigned((&cell)[grid.Offsets[d]].Code == WATER) << d;
                    altitude = CoastTableAltitude(mask, profile.Water, altitude);
                }
                cell.Altitude = int8_t(altitude);
            }
        }
    }
}

} // namespace

// A ring cell is marked FLAG_RING, which is not FLAG_FIXED, so it never pulls
// another cell into the same ring: each ring step is a dilation of the fixed
// cells as they stood before the step. The three-row window of "fixed across"
// rows is taken from the flags before a row is changed, so a new ring cell can
// be made fixed at once instead of in a second scan. The byte loops are plain
// enough for the compiler to do many cells at a time.
void CoastHeights(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    const THeightProfile &profile = Model.GetHeightProfile();
    if (profile.LevelWater || profile.LevelCoastline || profile.CoastTable)
        LevelCoast(grid, profile);
    const size_t width = size_t(grid.Width);
    for (int y = 1; y <= grid.Height; ++y) {
        const TCell *cell = grid.Cells + grid.Index(1, y);
        uint8_t *flag = grid.Flags + grid.Index(1, y);
        for (size_t x = 0; x < width; ++x)
            if (cell[x].Code == WATER || cell[x].Code == COASTLINE)
                flag[x] = FLAG_FIXED;
    }

    const size_t rowBytes = size_t(grid.Stride);
    std::vector<uint8_t> above(rowBytes, 0), here(rowBytes, 0), below(rowBytes, 0), ring(rowBytes, 0);
    for (const int ringAltitude : profile.Rings) {
        std::fill(above.begin(), above.end(), 0);
        FixedAcross(grid.Flags + grid.Index(0, 1), grid.Width, here.data());
        for (int y = 1; y <= grid.Height; ++y) {
            if (y < grid.Height)
                FixedAcross(grid.Flags + grid.Index(0, y + 1), grid.Width, below.data());
            else
                std::fill(below.begin(), below.end(), 0);
            uint8_t *flag = grid.Flags + grid.Index(1, y);
            const uint8_t *a = above.data() + 1, *h = here.data() + 1, *b = below.data() + 1;
            uint8_t *r = ring.data();
            unsigned any = 0;
            for (size_t x = 0; x < width; ++x) {
                r[x] = uint8_t((flag[x] == FLAG_NONE) & (a[x] | h[x] | b[x]));
                any |= r[x];
            }
            if (any) {
                // New ring cells are few: look at eight at a time.
                TCell *cell = grid.Cells + grid.Index(1, y);
                for (size_t x0 = 0; x0 < width; x0 += 8) {
                    uint64_t eight = 0;
                    std::memcpy(&eight, r + x0, std::min<size_t>(8, width - x0));
                    if (eight == 0)
                        continue;
                    for (size_t x = x0; x < std::min(x0 + 8, width); ++x)
                        if (r[x]) {
                            flag[x] = FLAG_FIXED;
                            cell[x].Altitude = int8_t(ringAltitude);
                        }
                }
            }
            above.swap(here);
            here.swap(below);
        }
    }
    PaintedHeights::MarkPaintedCells(Model);
}

void RandomHeights(TTerrainImage &Model)
{
    const uint8_t *flags = Model.FlagData();
    RandomHeights(Model, [flags, &Model](int X, int Y) { return flags[Model.Index(X, Y)] == FLAG_FIXED; });
}

void RandomHeights(TTerrainImage &Model, const std::function<bool(int X, int Y)> &IsFixed)
{
    Random::Reseed(TSeedSite::RandomHeights);
    TFastGrid grid(Model);
    const TAltitudeRange mountainSeed = Model.GetHeightProfile().MountainSeed;
    const TAltitudeRange otherSeed = Model.GetHeightProfile().OtherSeed;
    const int pointRows = grid.Height / SeedSpacing + 1;
    const int pointColumns = grid.Width / SeedSpacing + 1;
    for (int r = 0; r < pointRows; ++r) {
        for (int c = 0; c < pointColumns; ++c) {
            const int x = SeedSpacing * c - SeedJitterBack + int(Random::Draw(SeedJitter));
            const int y = SeedSpacing * r - SeedJitterBack + int(Random::Draw(SeedJitter));
            const bool inside = Model.IsInside(x, y);
            if (!inside) {
                Random::Draw(otherSeed.Count()); // an empty cell: drawn for, written nowhere
                continue;
            }
            uint8_t &flag = grid.Flags[grid.Index(x, y)];
            TCell &cell = grid.Cells[grid.Index(x, y)];
            if (IsFixed(x, y))
                continue;
            const bool painted = flag == FLAG_PAINTED; // draws, and keeps its altitude
            if (cell.Code == MOUNTAIN) {
                // The window's part left of or above the grid is not tested; a part
                // right of or below it holds no mountain.
                bool insideMountains = x + MountainWindowTo <= grid.Width && y + MountainWindowTo <= grid.Height;
                for (int dy = std::max(MountainWindowFrom, 1 - y); insideMountains && dy <= MountainWindowTo; ++dy) {
                    const TCell *row = grid.Cells + grid.Index(x, y + dy);
                    for (int dx = std::max(MountainWindowFrom, 1 - x); dx <= MountainWindowTo; ++dx)
                        if (row[dx].Code != MOUNTAIN) {
                            insideMountains = false;
                            break;
                        }
                }
                if (!insideMountains)
                    continue;
                const int8_t altitude = int8_t(mountainSeed.Low + int(Random::Draw(mountainSeed.Count())));
                if (painted)
                    continue;
                flag = FLAG_SEED;
                cell.Altitude = altitude;
            } else {
                const int8_t altitude = int8_t(otherSeed.Low + int(Random::Draw(otherSeed.Count())));
                if (painted)
                    continue;
                flag = FLAG_SEED;
                cell.Altitude = altitude;
            }
        }
    }
    PaintedHeights::LowerPaintedMountains(Model);
}

} // namespace FastStages
