// Stages 6 to 9: the altitudes. They change altitudes and flags only, never a
// terrain code.
//
// The altitudes named below are those of the default height profile
// (model/HeightProfile.h); the tile configuration may give others.
//
// CoastHeights fixes water and coastline and grows three rings of fixed low
// altitudes inland, one cell wide each (king distance 1, 2, 3 from the water):
//
//     W G G G G      W -15 -12 -1 G
//     W G G G G  ->  W -15 -12 -1 G     (W and the rings FLAG_FIXED)
//
// RandomHeights scatters seed altitudes on a jittered grid of points 14 cells
// apart: high ones where the point lies deep enough inside a mountain area,
// low ones elsewhere.
//
// SmoothTerrain pulls every free non-mountain cell towards its neighbours,
// at most 6 per pass, pass after pass. Each new altitude is stored at once,
// so the cells after it in the same pass see it. One row, the outer two cells
// fixed, after the first pass:
//
//     30* 0  0  0*  ->  30* 6  3  0*   The first free cell sees 30 and 0 and
//                                      rises by the step to 6; the second then
//                                      sees 6 and 0 and takes the middle, 3
//                                      (on the old values it would stay 0).
//
// SmoothMountains limits the slopes of mountain cells with limits that depend
// on the direction to the lower neighbour, pass after pass, again in place.
//
// With painted heights (PaintedHeights.h) the cells that the coast leaves
// free are FLAG_PAINTED: no seeds there, and neither smoothing moves them.
//
// Halves are rounded to the even neighbour with integer arithmetic only, so
// the result is the same in every build.
#include "ClassTerrainImage.h"
#include "HeightConstants.h"
#include "PaintedHeights.h"
#include "Pipeline.h"
#include "StageCommon.h"

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace HeightConstants;

// --- Stage 6 -----------------------------------------------------------------

void CoastHeights(TTerrainImage &Model)
{
    const THeightProfile &profile = Model.GetHeightProfile();
    // Only when the profile asks: every water and coastline cell to its
    // altitude, the ones that the earlier stages turned into water or coast
    // included, and coastline next to water lowered by where the water lies.
    if (profile.LevelWater || profile.LevelCoastline || profile.CoastTable)
        for (int y = 1; y <= Model.GetHeight(); ++y)
            for (int x = 1; x <= Model.GetWidth(); ++x) {
                const uint16_t code = Model.GetCell(x, y).Code;
                if (code == WATER && profile.LevelWater)
                    Model.SetCell(x, y, KeepCode, profile.Water);
                if (code != COASTLINE)
                    continue;
                int altitude = profile.LevelCoastline ? profile.Coastline : Model.GetCell(x, y).Altitude;
                if (profile.CoastTable) {
                    unsigned water = 0;
                    for (size_t d = 0; d < Neighbours.size(); ++d)
                        if (Model.GetCell(x + Neighbours[d].Dx, y + Neighbours[d].Dy).Code == WATER)
                            water |= 1u << d;
                    altitude = CoastTableAltitude(water, profile.Water, altitude);
                }
                Model.SetCell(x, y, KeepCode, altitude);
            }

    for (int y = 1; y <= Model.GetHeight(); ++y)
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            const uint16_t code = Model.GetCell(x, y).Code;
            if (code == WATER || code == COASTLINE)
                Model.SetFlag(x, y, FLAG_FIXED);
        }

    for (const int ringAltitude : profile.Rings) {
        // A new ring cell is FLAG_RING, not yet fixed, so it does not pull a
        // later cell of the same scan into this ring: each ring is one cell wide.
        for (int y = 1; y <= Model.GetHeight(); ++y)
            for (int x = 1; x <= Model.GetWidth(); ++x) {
                if (Model.GetFlag(x, y) != FLAG_NONE)
                    continue;
                bool nextToFixed = false;
                for (const TOffset &n : Neighbours)
                    if (Model.GetFlag(x + n.Dx, y + n.Dy) == FLAG_FIXED)
                        nextToFixed = true;
                if (nextToFixed) {
                    Model.SetFlag(x, y, FLAG_RING);
                    Model.SetCell(x, y, KeepCode, ringAltitude);
                }
            }
        for (int y = 1; y <= Model.GetHeight(); ++y)
            for (int x = 1; x <= Model.GetWidth(); ++x)
                if (Model.GetFlag(x, y) == FLAG_RING)
                    Model.SetFlag(x, y, FLAG_FIXED);
    }
    PaintedHeights::MarkPaintedCells(Model);
}

// --- Stage 7 -----------------------------------------------------------------

void RandomHeights(TTerrainImage &Model)
{
    const TAltitudeRange mountainSeed = Model.GetHeightProfile().MountainSeed;
    const TAltitudeRange otherSeed = Model.GetHeightProfile().OtherSeed;
    Random::Reseed(TSeedSite::RandomHeights);

    const int pointRows = Model.GetHeight() / SeedSpacing + 1;
    const int pointColumns = Model.GetWidth() / SeedSpacing + 1;
    for (int r = 0; r < pointRows; ++r) {
        for (int c = 0; c < pointColumns; ++c) {
            // x is drawn first. The point may lie outside the grid; it still
            // draws its numbers, and its writes are dropped.
            const int x = SeedSpacing * c - SeedJitterBack + int(Random::Draw(SeedJitter));
            const int y = SeedSpacing * r - SeedJitterBack + int(Random::Draw(SeedJitter));

            if (Model.GetFlag(x, y) == FLAG_FIXED)
                continue;
            // A painted cell draws as it would without painted heights, and
            // keeps its altitude.
            const bool painted = Model.GetFlag(x, y) == FLAG_PAINTED;

            if (Model.GetCell(x, y).Code == MOUNTAIN) {
                // Positions left of or above the grid are not tested; positions
                // right of or below it read as empty and fail.
                bool insideMountains = true;
                for (int dy = MountainWindowFrom; dy <= MountainWindowTo; ++dy)
                    for (int dx = MountainWindowFrom; dx <= MountainWindowTo; ++dx) {
                        if (x + dx < 1 || y + dy < 1)
                            continue;
                        if (Model.GetCell(x + dx, y + dy).Code != MOUNTAIN)
                            insideMountains = false;
                    }
                if (!insideMountains)
                    continue;
                const int altitude = mountainSeed.Low + int(Random::Draw(mountainSeed.Count()));
                if (painted)
                    continue;
                Model.SetFlag(x, y, FLAG_SEED);
                Model.SetCell(x, y, KeepCode, altitude);
            } else {
                const int altitude = otherSeed.Low + int(Random::Draw(otherSeed.Count()));
                if (painted)
                    continue;
                Model.SetFlag(x, y, FLAG_SEED);
                Model.SetCell(x, y, KeepCode, altitude);
            }
        }
    }
    PaintedHeights::LowerPaintedMountains(Model);
}

// --- Stage 8 -----------------------------------------------------------------

void SmoothTerrain(TTerrainImage &Model)
{
    Random::Reseed(TSeedSite::TerrainSmoothing); // nothing is drawn; the stream starts here

    // Cleared only here: once a cell of any pass sets it, all passes run.
    bool notConverged = false;
    int pass = 0;
    do {
        ++pass;
        for (int y = 1; y <= Model.GetHeight(); ++y) {
            for (int x = 1; x <= Model.GetWidth(); ++x) {
                const TCell cell = Model.GetCell(x, y);
                const uint8_t flag = Model.GetFlag(x, y);
                if (cell.Code == MOUNTAIN || flag == FLAG_FIXED || flag == FLAG_PAINTED)
                    continue;
                if (flag == FLAG_SEED && pass < TerrainSeedsFromPass)
                    continue;

                const int a = cell.Altitude;
                int highest = NoHighest;
                int lowest = NoLowest;
                for (const TOffset &o : Neighbours) {
                    const TCell neighbour = Model.GetCell(x + o.Dx, y + o.Dy);
                    if (neighbour.Code == NO_TERRAIN || neighbour.Code == MOUNTAIN)
                        continue;
                    highest = std::max(highest, int(neighbour.Altitude));
                    lowest = std::min(lowest, int(neighbour.Altitude));
                }

                int n;
                if (a + TerrainStep < highest)
                    n = a + TerrainStep;
                else if (a - TerrainStep > lowest)
                    n = a - TerrainStep;
                else
                    n = RoundHalf(highest + lowest);

                if (std::abs(highest - n) > TerrainTolerance || std::abs(lowest - n) > TerrainTolerance)
                    notConverged = true;
                Model.SetCell(x, y, KeepCode, n);
            }
        }
    } while (pass <= TerrainLastPassToContinue && notConverged);
}

// --- Stage 9 -----------------------------------------------------------------

void SmoothMountains(TTerrainImage &Model)
{
    Random::Reseed(TSeedSite::MountainSmoothing); // nothing is drawn; the map writer draws on from here

    // Cleared only here, never between passes or cells: once one cell has a
    // slope too steep, every mountain cell after it is reshaped.
    bool notConverged = false;
    int pass = 0;
    do {
        ++pass;
        for (int y = 1; y <= Model.GetHeight(); ++y) {
            for (int x = 1; x <= Model.GetWidth(); ++x) {
                const TCell cell = Model.GetCell(x, y);
                if (cell.Code != MOUNTAIN || Model.GetFlag(x, y) == FLAG_PAINTED)
                    continue;
                if (Model.GetFlag(x, y) == FLAG_SEED && pass < MountainSeedsFromPass)
                    continue;

                const int a = cell.Altitude;
                int highest = NoHighest;
                int lowest = NoLowest;
                int step = NoMountainStep;
                for (size_t d = 0; d < Neighbours.size(); ++d) {
                    const TCell neighbour = Model.GetCell(x + Neighbours[d].Dx, y + Neighbours[d].Dy);
                    if (neighbour.Code == NO_TERRAIN)
                        continue;
                    const int b = neighbour.Altitude;
                    const int limit = MountainSlopeLimits[d];
                    highest = std::max(highest, b);
                    lowest = std::min(lowest, b);
                    if (a - b > limit)
                        notConverged = true;
                    step = std::min(step, limit);
                }
                if (!notConverged)
                    continue;

                const int m = RoundHalf(highest + lowest);
                int n;
                if (0 < a - m && a - m < step)
                    n = RoundHalf(a - step + m);
                else if (0 < m - a && m - a < step)
                    n = RoundHalf(a + step + m);
                else
                    n = m;
                n = std::clamp(n, LowestAltitude, HighestAltitude);
                Model.SetCell(x, y, KeepCode, n);
            }
        }
    } while (pass <= MountainLastPassToContinue && notConverged);
}
