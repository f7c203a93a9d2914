#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A painted world: one red value per pixel, row by row from the top. Only the
// red value matters to a map; the colours of a saved picture derive from it.
struct TWorldPicture
{
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Reds;

    size_t Index(int x, int y) const { return size_t(y) * size_t(Width) + size_t(x); }
    uint8_t RedAt(int x, int y) const { return Reds[Index(x, y)]; }
    void SetRed(int x, int y, uint8_t red) { Reds[Index(x, y)] = red; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
};

// The largest side a map picture may have: its grid counts cells in 16 bits.
constexpr int MaxWorldSide = 65535;

// Paints a world of width x height pixels from a seed: continents and islands
// in a sea, inland lakes, mountain ranges, climates from polar snow to tropical
// jungle, rivers one pixel wide, dirt trails, single pixels of another terrain
// and a few pixels whose red value names no terrain. The same arguments give
// the same picture on every platform. Throws std::invalid_argument when a side
// is below 1 or above MaxWorldSide.
TWorldPicture PaintWorld(int width, int height, uint64_t seed);
