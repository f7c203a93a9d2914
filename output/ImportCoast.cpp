// Reading the coast back: the sand that coast shares with desert, then the
// coast cells, water or land.
#include "ClassTerrainImage.h"
#include "ImportSteps.h"
#include "InTwoHalves.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace ImportSteps {

namespace {

bool Decided(uint8_t Code)
{
    return Code == WATER || (Code >= 1 && Code <= 8);
}

// Whether none of the eight bytes from Eight is Code: the scans below pass
// over eight cells at a time where none is of the kind they look for.
bool NoneIs(const uint8_t *Eight, uint8_t Code)
{
    constexpr uint64_t Ones = 0x0101010101010101;
    uint64_t eight;
    std::memcpy(&eight, Eight, 8);
    const uint64_t other = eight ^ (Ones * Code); // a zero byte where Code
    return ((other - Ones) & ~other & (Ones * 0x80)) == 0;
}

// Sand at a coast altitude over an area that no coast strip covers is land
// painted that low (a beach at sea level, a salt flat, the sand of a
// hand-made map), not coast. A coast strip far from water (the strip of a
// river or a pond that the coast took whole) is at most eight cells across:
// the coast takes water up to two cells from the shore and land up to two
// beyond its line. So sand at coast altitudes that fills a square of
// LowSandSide x LowSandSide cells is land, and so is all such sand joined to
// it, but for the cells within CoastReach of water: by cell, the bit
// LowDesert for such a cell; empty where there is none. The squares are
// found by their middles: the cells in the middle of LowSandSide low cells
// along the row (a bit per cell), and of LowSandSide of those along the
// column. Most maps have none, and then nothing more is done.
constexpr int LowSandSide = 9;
constexpr uint8_t LowDesert = 32;

TLargeVector<uint8_t> WideLowSand(const TTerrainImport &Import, const TMapCells &Map, const TTileClasses &Classes)
{
    constexpr int Side = LowSandSide, Half = LowSandSide / 2;
    enum : uint8_t { Wide = 1, Desert = LowDesert };
    const int w = Import.Width, h = Import.Height;
    const size_t stride = size_t(w), words = (stride + 63) / 64;
    const auto low = [&](size_t I) {
        return Import.Codes[I] == PendingSand && Classes.CoastAltitude(Map.Altitudes[I]);
    };
    // By row, a bit for each cell in the middle of Side low cells along it
    // (without a branch per cell where there is sand: coast cells alternate
    // with others).
    std::array<uint8_t, 256> lowAltitude{};
    for (int a = -128; a < 128; ++a)
        lowAltitude[uint8_t(int8_t(a))] = Classes.CoastAltitude(int8_t(a)) ? 1 : 0;
    TLargeVector<uint64_t> rowMiddles(words * size_t(h), 0);
    InTwoHalves(h, [&](int First, int Last) {
        for (int y = First; y < Last; ++y) {
            const uint8_t *codes = Import.Codes.data() + size_t(y) * stride;
            const int8_t *altitudes = Map.Altitudes.data() + size_t(y) * stride;
            uint64_t *bits = rowMiddles.data() + size_t(y) * words;
            unsigned run = 0;
            for (int x = 0; x < w;) {
                // Eight cells at a time where none is sand (most are not).
                if (x + 8 <= w && NoneIs(codes + x, PendingSand)) {
                    run = 0;
                    x += 8;
                    continue;
                }
                for (const int end = std::min(w, x + 8); x < end; ++x) {
                    const unsigned isLow = unsigned(codes[x] == PendingSand) & lowAltitude[uint8_t(altitudes[x])];
                    run = (run + 1) * isLow;
                    if (run >= unsigned(Side))
                        bits[size_t(x - Half) / 64] |= uint64_t(1) << (size_t(x - Half) % 64);
                }
            }
        }
    });
    // Everything joined to a square through low sand (the eight neighbours)
    // is that land: the coast rings, at their own altitudes, stand between it
    // and every coast strip. What the search needs is made at the first
    // square: a byte per cell, whether a row holds water (rows without are
    // passed over at once), and a stack of cells (as 32-bit numbers: the
    // largest map has fewer than 2^32) with room for every low cell, so that
    // it never grows by copying.
    TLargeVector<uint8_t> flags;
    std::vector<uint8_t> rowWater;
    std::vector<uint32_t> stack;
    const auto nearWater = [&](int X, int Y) {
        for (int y = std::max(0, Y - CoastReach); y <= std::min(h - 1, Y + CoastReach); ++y)
            if (rowWater[size_t(y)])
                for (int x = std::max(0, X - CoastReach); x <= std::min(w - 1, X + CoastReach); ++x)
                    if (Import.Codes[size_t(y) * stride + size_t(x)] == WATER)
                        return true;
        return false;
    };
    const auto reach = [&](size_t I) {
        if (!(flags[I] & Wide) && low(I)) {
            flags[I] |= Wide;
            if (!nearWater(int(I % stride), int(I / stride)))
                flags[I] |= Desert;
            stack.push_back(uint32_t(I));
        }
    };
    const auto spread = [&](size_t Middle) {
        if (flags.empty()) {
            flags.resize(Import.Codes.size());
            rowWater.assign(size_t(h), 0);
            size_t lowCells = 0;
            for (int y = 0; y < h; ++y) {
                const size_t row = size_t(y) * stride;
                rowWater[size_t(y)] = std::memchr(Import.Codes.data() + row, WATER, stride) != nullptr;
                for (size_t x = 0; x < stride; ++x)
                    lowCells += low(row + x);
            }
            stack.reserve(lowCells);
        }
        reach(Middle);
        while (!stack.empty()) {
            const size_t i = stack.back();
            stack.pop_back();
            const int x = int(i % stride), y = int(i / stride);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h)
                        reach(size_t(y + dy) * stride + size_t(x + dx));
        }
    };
    // The middles of squares: such bits in Side rows one above the other.
    std::vector<uint64_t> all(words);
    for (int y = Side - 1; y < h; ++y) {
        std::fill(all.begin(), all.end(), ~uint64_t(0));
        for (int r = y - Side + 1; r <= y; ++r)
            for (size_t k = 0; k < words; ++k)
                all[k] &= rowMiddles[size_t(r) * words + k];
        for (size_t k = 0; k < words; ++k)
            for (uint64_t rest = all[k]; rest != 0; rest &= rest - 1) {
                const size_t middle = size_t(y - Half) * stride + k * 64 + size_t(std::countr_zero(rest));
                if (flags.empty() || !(flags[middle] & Wide))
                    spread(middle);
            }
    }
    return flags;
}

} // namespace

// Decides the sand cells (PendingSand): by their altitude where it tells
// (coast strips over narrow water leave no water tile near, and the first
// ring of a desert shore lies beside the water), but not where low sand is
// wider than a coast strip, away from water (WideLowSand); else coast where
// some water tile lies within CoastReach cells, else the terrain of their
// tile. Per row the water is widened along the row, and a row is near water
// when one of the rows around it is; plain loops over bytes, over rows kept
// in a small ring.
void DecideSand(TTerrainImport &Import, const TMapCells &Map, const TTileClasses &Classes)
{
    if (Import.Width <= 0 || Import.Height <= 0)
        return;
    if (Classes.AltitudesTellCoast()) {
        const TLargeVector<uint8_t> lowDesert = WideLowSand(Import, Map, Classes);
        InTwoHalves(Import.Height, [&](int First, int Last) {
            const size_t end = size_t(Last) * size_t(Import.Width);
            for (size_t i = size_t(First) * size_t(Import.Width); i < end; ++i) {
                // Eight cells at a time where none is sand (most are not).
                if (i % 8 == 0 && i + 8 <= end && NoneIs(Import.Codes.data() + i, PendingSand)) {
                    i += 7;
                    continue;
                }
                if (Import.Codes[i] != PendingSand)
                    continue;
                const bool land = !lowDesert.empty() && (lowDesert[i] & LowDesert);
                Import.Codes[i] = Classes.CoastAltitude(Map.Altitudes[i]) && !land ? uint8_t(PendingCoast)
                                                                                   : Classes.Of(Map.Tiles[i]).Code;
            }
        });
        return;
    }
    const size_t w = size_t(Import.Width), h = size_t(Import.Height);
    constexpr size_t Rows = 2 * CoastReach + 1;
    std::vector<uint8_t> ring(Rows * w), water(w + 2 * CoastReach, 0), near(w);
    // Row r of the ring: the water within CoastReach cells along row r.
    const auto widen = [&](size_t r) {
        const uint8_t *row = Import.Codes.data() + r * w;
        for (size_t x = 0; x < w; ++x)
            water[x + CoastReach] = row[x] == WATER;
        uint8_t *out = ring.data() + (r % Rows) * w;
        std::fill(out, out + w, 0);
        for (size_t d = 0; d <= 2 * CoastReach; ++d) {
            const uint8_t *in = water.data() + d;
            for (size_t x = 0; x < w; ++x)
                out[x] = uint8_t(out[x] | in[x]);
        }
    };
    for (size_t r = 0; r < std::min(h, size_t(CoastReach)); ++r)
        widen(r);
    for (size_t y = 0; y < h; ++y) {
        if (y + CoastReach < h)
            widen(y + CoastReach);
        std::fill(near.begin(), near.end(), 0);
        const size_t from = y >= size_t(CoastReach) ? y - size_t(CoastReach) : 0;
        const size_t to = std::min(h - 1, y + size_t(CoastReach));
        for (size_t r = from; r <= to; ++r) {
            const uint8_t *in = ring.data() + (r % Rows) * w;
            for (size_t x = 0; x < w; ++x)
                near[x] = uint8_t(near[x] | in[x]);
        }
        uint8_t *codes = Import.Codes.data() + y * w;
        for (size_t x = 0; x < w; ++x)
            if (codes[x] == PendingSand)
                codes[x] = near[x] ? uint8_t(PendingCoast) : Classes.Of(Map.Tiles[y * w + x]).Code;
    }
}

namespace {

// The terrain of the nearest decided cell that Accept takes, the later in
// the scan of two as near; 0 when none lies within twice the coast's reach.
template <typename TAccept>
uint8_t NearestTerrain(const TTerrainImport &Import, int X, int Y, TAccept Accept, int From = 1)
{
    constexpr int Reach = 2 * CoastReach;
    for (int r = From; r <= Reach; ++r) {
        // The ring at distance r, from its last cell in the scan backwards.
        for (int dy = r; dy >= -r; --dy) {
            const int y = Y + dy;
            if (y < 0 || y >= Import.Height)
                continue;
            const int step = (dy == r || dy == -r) ? 1 : 2 * r;
            for (int dx = r; dx >= -r; dx -= step) {
                const int x = X + dx;
                if (x < 0 || x >= Import.Width)
                    continue;
                if (const uint8_t c = Import.Code(x, y); Decided(c) && Accept(c))
                    return c;
            }
        }
    }
    return 0;
}

// The terrain of a coastline cell: that of the nearest decided cell, the
// later in the scan of two as near; water when none lies within the reach.
// But a coast cell whose only neighbour off the coast lies north-east was put
// on the line by that neighbour: the border stage marks a cell whose
// north-east neighbour, itself off the line, has another terrain. Such cells
// stand where a shore turns south, below the end of the strip's first row
// (the north-east corner of a lake, where the strip's line keeps to the water
// all down the east shore), so the cell takes the other side's terrain: the
// nearest land of another terrain, or water.
uint8_t CoastTerrain(const TTerrainImport &Import, int X, int Y)
{
    const auto any = [](uint8_t) { return true; };
    if (X > 0 && Y > 0 && X + 1 < Import.Width && Y + 1 < Import.Height) {
        // Inside the map (most coast cells): the eight neighbours read once,
        // in the order of NearestTerrain's first ring (SE, S, SW, E, W, NE,
        // N, NW), which decides most cells.
        const size_t w = size_t(Import.Width);
        const uint8_t *row = Import.Codes.data() + size_t(Y) * w + size_t(X);
        const uint8_t *above = row - w, *below = row + w;
        const uint8_t ring[8] = {below[1], below[0], below[-1], row[1], row[-1], above[1], above[0], above[-1]};
        const uint8_t northEast = ring[5];
        bool onlyNorthEast = Decided(northEast);
        for (int k = 0; k < 8; ++k)
            onlyNorthEast = onlyNorthEast && (k == 5 || ring[k] == PendingCoast);
        if (onlyNorthEast) {
            if (northEast != WATER)
                return WATER;
            if (const uint8_t land = NearestTerrain(Import, X, Y, [](uint8_t c) { return c != WATER; }); land != 0)
                return land;
        }
        for (const uint8_t c : ring)
            if (Decided(c))
                return c;
        const uint8_t nearest = NearestTerrain(Import, X, Y, any, 2);
        return nearest != 0 ? nearest : uint8_t(WATER);
    }
    const uint8_t nearest = NearestTerrain(Import, X, Y, any);
    return nearest != 0 ? nearest : uint8_t(WATER);
}

} // namespace

// Decides the coast cells (PendingCoast) by CoastTerrain, which reads the
// codes as they were before any coast cell was decided, up to 2 * CoastReach
// rows away. So each half of the rows keeps its decisions in a ring of rows
// and puts a row in once no cell still to be decided reads it; the rows that
// the other half reads wait until both are done. Returns a bit for each
// coast cell, row after row (whole 64-bit words per row).
TLargeVector<uint64_t> DecideCoast(TTerrainImport &Import)
{
    constexpr int Reach = 2 * CoastReach, Kept = Reach + 1;
    const int w = Import.Width, h = Import.Height;
    const size_t stride = size_t(w), words = (stride + 63) / 64;
    TLargeVector<uint64_t> bits(words * size_t(h), 0);
    // By half: the rows that the other half reads, [From, To), and their decisions.
    struct TEdge
    {
        int From = 0, To = 0;
        std::vector<uint8_t> Decided;
    };
    TEdge edges[2];
    const auto putRow = [&](int Y, const uint8_t *Decided) {
        uint8_t *codes = Import.Codes.data() + size_t(Y) * stride;
        for (size_t x = 0; x < stride; ++x)
            if (Decided[x] != 0)
                codes[x] = Decided[x];
    };
    InTwoHalves(h, [&](int First, int Last) {
        TEdge &edge = edges[First == 0 ? 0 : 1];
        if (First > 0)
            edge = {First, std::min(Last, First + Reach), {}};
        else if (Last < h)
            edge = {std::max(First, Last - Reach), Last, {}};
        edge.Decided.assign(size_t(edge.To - edge.From) * stride, 0);
        std::vector<uint8_t> ring(size_t(Kept) * stride, 0);
        const auto put = [&](int Y) {
            const uint8_t *decided = ring.data() + size_t(Y % Kept) * stride;
            if (Y >= edge.From && Y < edge.To)
                std::memcpy(edge.Decided.data() + size_t(Y - edge.From) * stride, decided, stride);
            else
                putRow(Y, decided);
        };
        for (int y = First; y < Last; ++y) {
            const size_t row = size_t(y) * stride;
            uint8_t *decided = ring.data() + size_t(y % Kept) * stride;
            std::memset(decided, 0, stride);
            uint64_t *rowBits = bits.data() + size_t(y) * words;
            for (int x = 0; x < w; ++x) {
                // Eight cells at a time where none is coast (most are not).
                if (x % 8 == 0 && x + 8 <= w && NoneIs(Import.Codes.data() + row + size_t(x), PendingCoast)) {
                    x += 7;
                    continue;
                }
                if (Import.Codes[row + size_t(x)] != PendingCoast)
                    continue;
                decided[x] = CoastTerrain(Import, x, y);
                rowBits[size_t(x) / 64] |= uint64_t(1) << (x % 64);
            }
            if (y - Reach >= First)
                put(y - Reach);
        }
        for (int y = std::max(First, Last - Reach); y < Last; ++y)
            put(y);
    });
    for (const TEdge &edge : edges)
        for (int y = edge.From; y < edge.To; ++y)
            putRow(y, edge.Decided.data() + size_t(y - edge.From) * stride);
    return bits;
}

} // namespace ImportSteps
