#include "WorldFeatures.h"

#include "WorldRed.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr uint64_t TrailStream = 701;
constexpr uint64_t SpeckStream = 702;
constexpr uint64_t UnmatchedStream = 703;

constexpr int64_t PixelsPerTrail = 1000000; // one trail per this many pixels, plus BaseTrails
constexpr int64_t BaseTrails = 2;
constexpr int MinTrailSide = 64;            // smaller pictures get no trails
constexpr int TrailLengthPermille = 60;     // of the longer side, up to twice that
constexpr int TrailTries = 32;

constexpr int64_t PixelsPerSpeck = 4096;    // one single pixel per 64 x 64 pixels
constexpr int64_t PixelsPerUnmatched = 250000;
constexpr int64_t MinUnmatched = 3;
constexpr int64_t MinUnmatchedArea = 1024;  // smaller pictures stay all terrain

// Sixteen compass directions as integer vectors of length about 64.
constexpr int DirectionX[16] = {64, 59, 45, 24, 0, -24, -45, -59, -64, -59, -45, -24, 0, 24, 45, 59};
constexpr int DirectionY[16] = {0, 24, 45, 59, 64, 59, 45, 24, 0, -24, -45, -59, -64, -59, -45, -24};
constexpr int DirectionLength = 64;

// Terrains a trail may cross; it leaves water and mountains alone.
bool IsOpenLand(uint8_t red)
{
    return red == WorldRed::Grass || red == WorldRed::Forest || red == WorldRed::Jungle ||
           red == WorldRed::Swamp || red == WorldRed::Desert || red == WorldRed::Snow;
}

// Whether all eight neighbours of an inner pixel have its own red value.
bool IsInsideArea(const TWorldPicture &picture, int x, int y)
{
    const uint8_t red = picture.RedAt(x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (picture.RedAt(x + dx, y + dy) != red)
                return false;
    return true;
}

// What a single pixel may turn into, by what surrounds it.
constexpr uint8_t SpecksInWater[] = {WorldRed::Grass, WorldRed::Desert, WorldRed::Forest, WorldRed::Mountain};
constexpr uint8_t SpecksOnLand[] = {WorldRed::Water,  WorldRed::Forest, WorldRed::Grass,
                                    WorldRed::Dirt,   WorldRed::Mountain, WorldRed::Desert,
                                    WorldRed::Swamp,  WorldRed::Jungle, WorldRed::Snow};

} // namespace

void AddTrails(TWorldPicture &picture, uint64_t seed)
{
    if (picture.Width < MinTrailSide || picture.Height < MinTrailSide)
        return;
    TPcg32 rng;
    rng.Seed(seed, TrailStream);
    const int scale = std::max(picture.Width, picture.Height);
    const int baseLength = std::max(8, scale * TrailLengthPermille / 1000);
    const int64_t trails = int64_t(picture.Width) * picture.Height / PixelsPerTrail + BaseTrails;
    auto paint = [&](int x, int y) {
        if (IsOpenLand(picture.RedAt(x, y)))
            picture.SetRed(x, y, WorldRed::Dirt);
    };
    for (int64_t t = 0; t < trails; ++t) {
        for (int attempt = 0; attempt < TrailTries; ++attempt) {
            const int x0 = int(rng.Random(uint32_t(picture.Width)));
            const int y0 = int(rng.Random(uint32_t(picture.Height)));
            const int direction = int(rng.Random(16));
            const int length = baseLength + int(rng.Random(uint32_t(baseLength)));
            const int bend = int(rng.Random(uint32_t(length / 3 + 1))) - length / 6;
            if (!IsOpenLand(picture.RedAt(x0, y0)))
                continue;
            const int x2 = x0 + DirectionX[direction] * length / DirectionLength;
            const int y2 = y0 + DirectionY[direction] * length / DirectionLength;
            // The middle point moves sideways, across the direction, so the trail bends.
            const int x1 = (x0 + x2) / 2 - DirectionY[direction] * bend / DirectionLength;
            const int y1 = (y0 + y2) / 2 + DirectionX[direction] * bend / DirectionLength;
            DrawLine(picture, x0, y0, x1, y1, paint);
            DrawLine(picture, x1, y1, x2, y2, paint);
            break;
        }
    }
}

void AddSpecks(TWorldPicture &picture, uint64_t seed)
{
    if (picture.Width < 3 || picture.Height < 3)
        return;
    TPcg32 rng;
    rng.Seed(seed, SpeckStream);
    const int64_t specks = int64_t(picture.Width) * picture.Height / PixelsPerSpeck;
    for (int64_t s = 0; s < specks; ++s) {
        const int x = 1 + int(rng.Random(uint32_t(picture.Width - 2)));
        const int y = 1 + int(rng.Random(uint32_t(picture.Height - 2)));
        const uint32_t pick = rng.Random(64);
        // Only inside a uniform area: so the speck differs from all eight
        // neighbours, and no later speck can touch it.
        if (!IsInsideArea(picture, x, y))
            continue;
        const uint8_t red = picture.RedAt(x, y);
        if (WorldRed::IsWater(red)) {
            picture.SetRed(x, y, SpecksInWater[pick % std::size(SpecksInWater)]);
        } else {
            uint8_t speck = SpecksOnLand[pick % std::size(SpecksOnLand)];
            if (speck == red)
                speck = SpecksOnLand[(pick + 1) % std::size(SpecksOnLand)];
            picture.SetRed(x, y, speck);
        }
    }
}

void AddUnmatchedPixels(TWorldPicture &picture, uint64_t seed)
{
    const int64_t area = int64_t(picture.Width) * picture.Height;
    if (area < MinUnmatchedArea)
        return;
    TPcg32 rng;
    rng.Seed(seed, UnmatchedStream);
    const int64_t count = std::max(MinUnmatched, area / PixelsPerUnmatched);
    for (int64_t k = 0; k < count; ++k) {
        const int x = int(rng.Random(uint32_t(picture.Width)));
        const int y = int(rng.Random(uint32_t(picture.Height)));
        picture.SetRed(x, y, k % 2 == 0 ? WorldRed::Unmatched : WorldRed::UnmatchedOther);
    }
}
