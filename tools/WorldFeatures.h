#pragma once

#include "WorldClimate.h"
#include "WorldFields.h"
#include "WorldPainter.h"

#include <cstdint>

// The small features painted over the terrain of a world, in this order. Each
// draws from its own PCG32 stream of the world's seed.

// Rivers one pixel wide that run from the highlands down to the sea or a lake.
void AddRivers(TWorldPicture &picture, const TWorldFields &fields, const TWorldLevels &levels, uint64_t seed);

// Dirt trails one pixel wide across the open lands (not over water or mountains).
void AddTrails(TWorldPicture &picture, uint64_t seed);

// Single pixels of another terrain inside larger areas: islets, ponds, rocks, groves.
void AddSpecks(TWorldPicture &picture, uint64_t seed);

// A few single pixels whose red value names no terrain.
void AddUnmatchedPixels(TWorldPicture &picture, uint64_t seed);

// Draws an 8-connected line one pixel wide from (x0, y0) to (x1, y1), both
// included, calling plot(x, y) for every pixel inside the picture.
template <typename TPlot>
void DrawLine(const TWorldPicture &picture, int x0, int y0, int x1, int y1, TPlot plot)
{
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int dy = y1 > y0 ? y0 - y1 : y1 - y0; // negative
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        if (picture.Contains(x0, y0))
            plot(x0, y0);
        if (x0 == x1 && y0 == y1)
            return;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}
