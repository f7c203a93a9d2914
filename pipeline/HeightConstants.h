#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The constants of the four height stages, shared by their straightforward
// and their fast forms.
namespace HeightConstants {

// Start values of the highest and the lowest neighbour altitude: one inside the
// signed byte range at either end (-127, not -128).
inline constexpr int NoHighest = -127;
inline constexpr int NoLowest = 127;

// The altitudes of the rings and the seeds are those of the height profile
// (model/HeightProfile.h), read at run time.

// Stage 7.
// Seed points lie on a grid this many cells apart ...
inline constexpr int SeedSpacing = 14;
// ... each moved by random(15) - 6, i.e. 6 cells back to 8 cells on, so two
// neighbouring points may land on the same cell.
inline constexpr uint32_t SeedJitter = 15;
inline constexpr int SeedJitterBack = 6;
// A mountain point becomes a high seed only when every cell of the window from
// 6 before to 2 after it, on both axes, is mountain (9 x 9, not centred).
inline constexpr int MountainWindowFrom = -6;
inline constexpr int MountainWindowTo = 2;

// Stage 8.
// A cell moves at most this much per pass towards its neighbours ...
inline constexpr int TerrainStep = 6;
// ... and the terrain counts as smooth once no cell lies further than this
// from its highest and lowest neighbour (the step plus 2).
inline constexpr int TerrainTolerance = TerrainStep + 2;
// Another pass follows only while the pass number is at most this: 51 passes at most.
inline constexpr int TerrainLastPassToContinue = 50;
// Seeds keep their altitude until this pass, so that they can pull their
// surroundings first.
inline constexpr int TerrainSeedsFromPass = 30;

// Stage 9.
// How much lower than a mountain cell each neighbour may lie, by the direction
// from the cell to the neighbour (N, NE, E, SE, S, SW, W, NW): steep towards
// the south and east, gentle towards the north and west.
inline constexpr std::array<int, 8> MountainSlopeLimits = {
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
inline constexpr int NoMountainStep = 255;
// Another pass follows only while the pass number is at most this: 41 passes at most.
inline constexpr int MountainLastPassToContinue = 40;
// Mountain seeds keep their altitude until this pass.
inline constexpr int MountainSeedsFromPass = 39;
// The range of an altitude.
inline constexpr int LowestAltitude = -128;
inline constexpr int HighestAltitude = 127;
// The largest limit, which the fast form's class bytes must be able to hold.
inline constexpr int SteepestMountainLimit = *std::max_element(MountainSlopeLimits.begin(), MountainSlopeLimits.end());

// round(s / 2) for an integer sum s, a half to the even neighbour (3 -> 2,
// 5 -> 2, -1 -> 0, -3 -> -2): stages 8 and 9 take the middle of two altitudes
// this way. Integer arithmetic, so that every build rounds alike.
inline constexpr int RoundHalf(int s)
{
    const int floorHalf = (s - (s & 1)) / 2; // s - (s & 1) is even, so this divides exactly
    const bool isHalf = (s & 1) != 0;
    return isHalf && (floorHalf & 1) != 0 ? floorHalf + 1 : floorHalf;
}
static_assert(RoundHalf(3) == 2 && RoundHalf(5) == 2 && RoundHalf(-1) == 0 && RoundHalf(-3) == -2 && RoundHalf(4) == 2);

} // namespace HeightConstants
