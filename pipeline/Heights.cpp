// Stages 6 to 9: the altitudes. They change altitudes and flags only, never a
// terrain code.
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
// Halves are rounded to the even neighbour with integer arithmetic only, so
// the result is the same in every build.
#include "ClassTerrainImage.h"
#include "StageCommon.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// round(s / 2) for an integer sum s: a half goes to the even neighbour
// (3 -> 2, 5 -> 2, -1 -> 0, -3 -> -2).
int RoundHalf(int s)
{
    const int floorHalf = (s - (s & 1)) / 2; // s - (s & 1) is even, so this divides exactly
    const bool isHalf = (s & 1) != 0;
    if (isHalf && (floorHalf & 1) != 0)
        return floorHalf + 1;
    return floorHalf;
}

// Start values of the highest and the lowest neighbour altitude: one inside the
// signed byte range at either end (-127, not -128).
constexpr int NoHighest = -127;
constexpr int NoLowest = 127;

} // namespace

// --- Stage 6 -----------------------------------------------------------------

namespace {

// Altitudes of the three coast rings, from the water outwards.
constexpr std::array<int, 3> RingAltitudes = {-15, -12, -1};

} // namespace

void TTerrainImage::CoastHeights()
{
    for (int y = 1; y <= Height; ++y)
        for (int x = 1; x <= Width; ++x) {
            const uint16_t code = GetCell(x, y).Code;
            if (code == WATER || code == COASTLINE)
                SetFlag(x, y, FLAG_FIXED);
        }

    for (const int ringAltitude : RingAltitudes) {
        // A new ring cell is FLAG_RING, not yet fixed, so it does not pull a
        // later cell of the same scan into this ring: each ring is one cell wide.
        for (int y = 1; y <= Height; ++y)
            for (int x = 1; x <= Width; ++x) {
                if (GetFlag(x, y) != FLAG_NONE)
                    continue;
                bool nextToFixed = false;
                for (const TOffset &n : Neighbours)
                    if (GetFlag(x + n.Dx, y + n.Dy) == FLAG_FIXED)
                        nextToFixed = true;
                if (nextToFixed) {
                    SetFlag(x, y, FLAG_RING);
                    SetCell(x, y, KeepCode, ringAltitude);
                }
            }
        for (int y = 1; y <= Height; ++y)
            for (int x = 1; x <= Width; ++x)
                if (GetFlag(x, y) == FLAG_RING)
                    SetFlag(x, y, FLAG_FIXED);
    }
}

// --- Stage 7 -----------------------------------------------------------------

namespace {

// Seed points lie on a grid this many cells apart ...
constexpr int SeedSpacing = 14;
// ... each moved by random(15) - 6, i.e. 6 cells back to 8 cells on, so two
// neighbouring points may land on the same cell.
constexpr uint32_t SeedJitter = 15;
constexpr int SeedJitterBack = 6;
// A mountain point becomes a high seed only when every cell of the window from
// 6 before to 2 after it, on both axes, is mountain (9 x 9, not centred).
constexpr int MountainWindowFrom = -6;
constexpr int MountainWindowTo = 2;
// Mountain seeds: 110 + random(15), 110 to 124.
constexpr int MountainSeedBase = 110;
constexpr uint32_t MountainSeedRange = 15;
// Other seeds: random(62) - 2, -2 to 59.
constexpr int OtherSeedBase = -2;
constexpr uint32_t OtherSeedRange = 62;

} // namespace

void TTerrainImage::RandomHeights()
{
    Random::Reseed(TSeedSite::RandomHeights);

    const int pointRows = Height / SeedSpacing + 1;
    const int pointColumns = Width / SeedSpacing + 1;
    for (int r = 0; r < pointRows; ++r) {
        for (int c = 0; c < pointColumns; ++c) {
            // x is drawn first. The point may lie outside the grid; it still
            // draws its numbers, and its writes are dropped.
            const int x = SeedSpacing * c - SeedJitterBack + int(Random::Draw(SeedJitter));
            const int y = SeedSpacing * r - SeedJitterBack + int(Random::Draw(SeedJitter));

            if (GetFlag(x, y) == FLAG_FIXED)
                continue;

            if (GetCell(x, y).Code == MOUNTAIN) {
                // Positions left of or above the grid are not tested; positions
                // right of or below it read as empty and fail.
                bool insideMountains = true;
                for (int dy = MountainWindowFrom; dy <= MountainWindowTo; ++dy)
                    for (int dx = MountainWindowFrom; dx <= MountainWindowTo; ++dx) {
                        if (x + dx < 1 || y + dy < 1)
                            continue;
                        if (GetCell(x + dx, y + dy).Code != MOUNTAIN)
                            insideMountains = false;
                    }
                if (!insideMountains)
                    continue;
                const int altitude = MountainSeedBase + int(Random::Draw(MountainSeedRange));
                SetFlag(x, y, FLAG_SEED);
                SetCell(x, y, KeepCode, altitude);
            } else {
                const int altitude = OtherSeedBase + int(Random::Draw(OtherSeedRange));
                SetFlag(x, y, FLAG_SEED);
                SetCell(x, y, KeepCode, altitude);
            }
        }
    }
}

// --- Stage 8 -----------------------------------------------------------------

namespace {

// A cell moves at most this much per pass towards its neighbours ...
constexpr int TerrainStep = 6;
// ... and the terrain counts as smooth once no cell lies further than this
// from its highest and lowest neighbour (the step plus 2).
constexpr int TerrainTolerance = TerrainStep + 2;
// Another pass follows only while the pass number is at most this: 51 passes at most.
constexpr int TerrainLastPassToContinue = 50;
// Seeds keep their altitude until this pass, so that they can pull their
// surroundings first.
constexpr int TerrainSeedsFromPass = 30;

} // namespace

void TTerrainImage::SmoothTerrain()
{
    Random::Reseed(TSeedSite::TerrainSmoothing); // nothing is drawn; the stream starts here

    // Cleared only here: once a cell of any pass sets it, all passes run.
    bool notConverged = false;
    int pass = 0;
    do {
        ++pass;
        for (int y = 1; y <= Height; ++y) {
            for (int x = 1; x <= Width; ++x) {
                const TCell cell = GetCell(x, y);
                const uint8_t flag = GetFlag(x, y);
                if (cell.Code == MOUNTAIN || flag == FLAG_FIXED)
                    continue;
                if (flag == FLAG_SEED && pass < TerrainSeedsFromPass)
                    continue;

                const int a = cell.Altitude;
                int highest = NoHighest;
                int lowest = NoLowest;
                for (const TOffset &o : Neighbours) {
                    const TCell neighbour = GetCell(x + o.Dx, y + o.Dy);
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
                SetCell(x, y, KeepCode, n);
            }
        }
    } while (pass <= TerrainLastPassToContinue && notConverged);
}

// --- Stage 9 -----------------------------------------------------------------

namespace {

// How much lower than a mountain cell each neighbour may lie, by the direction
// from the cell to the neighbour (N, NE, E, SE, S, SW, W, NW): steep towards
// the south and east, gentle towards the north and west.
constexpr std::array<int, 8> MountainSlopeLimits = {
    7,  // N
    12, // NE
    30, // E
    30, // SE
    30, // S
    12, // SW
    7,  // W
    7,  // NW
};
// Start value of the step: above every limit.
constexpr int NoMountainStep = 255;
// Another pass follows only while the pass number is at most this: 41 passes at most.
constexpr int MountainLastPassToContinue = 40;
// Mountain seeds keep their altitude until this pass.
constexpr int MountainSeedsFromPass = 39;
// The range of an altitude.
constexpr int LowestAltitude = -128;
constexpr int HighestAltitude = 127;

} // namespace

void TTerrainImage::SmoothMountains()
{
    Random::Reseed(TSeedSite::MountainSmoothing); // nothing is drawn; the map writer draws on from here

    // Cleared only here, never between passes or cells: once one cell has a
    // slope too steep, every mountain cell after it is reshaped.
    bool notConverged = false;
    int pass = 0;
    do {
        ++pass;
        for (int y = 1; y <= Height; ++y) {
            for (int x = 1; x <= Width; ++x) {
                const TCell cell = GetCell(x, y);
                if (cell.Code != MOUNTAIN)
                    continue;
                if (GetFlag(x, y) == FLAG_SEED && pass < MountainSeedsFromPass)
                    continue;

                const int a = cell.Altitude;
                int highest = NoHighest;
                int lowest = NoLowest;
                int step = NoMountainStep;
                for (size_t d = 0; d < Neighbours.size(); ++d) {
                    const TCell neighbour = GetCell(x + Neighbours[d].Dx, y + Neighbours[d].Dy);
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
                SetCell(x, y, KeepCode, n);
            }
        }
    } while (pass <= MountainLastPassToContinue && notConverged);
}
