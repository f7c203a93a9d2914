// Reading the transitions back: the scan that follows the border stage.
#include "ClassTerrainImage.h"
#include "ImportSteps.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace ImportSteps {

// The terrains of the transition cells, in one scan that follows the border
// stage over the picture as it is being made: that stage puts a cell on the
// line when a neighbour before it in the scan (W, NW, N, NE), itself off the
// line, has another terrain. So a transition cell takes a terrain of its tile
// that puts it on the line again, and of those the terrain of the land after
// it (E, SE, S, SW), where the line lies. Cells a stage after the border
// stage took off the line again are found on it, as they were. A plain tile
// that a transition shows too (CoastBits: a bit for each coast cell, which
// shows neither) is decided in the same scan.
void DecideTransitions(TTerrainImport &Import, const TMapCells &Map, const TTileClasses &Classes,
                       const TLargeVector<uint64_t> &CoastBits)
{
    const int w = Import.Width, h = Import.Height;
    const size_t words = (size_t(w) + 63) / 64;
    const auto isCoast = [&](int X, int Y) {
        return !CoastBits.empty() && (CoastBits[size_t(Y) * words + size_t(X) / 64] >> (X % 64) & 1);
    };
    // Whether a cell is on the line, for this row and the one above (the
    // scan looks back no further).
    std::vector<uint8_t> lineRows(2 * size_t(w), 0);
    const auto onLine = [&](int X, int Y) { return lineRows[size_t(Y & 1) * size_t(w) + size_t(X)] != 0; };
    std::array<uint8_t, 256> isTerrain{};
    for (int c = 1; c <= 8; ++c)
        isTerrain[size_t(c)] = 1;
    isTerrain[WATER] = 1;
    static constexpr int Earlier[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static constexpr int Later[4][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    // Whether the neighbour (X + Dx, Y + Dy) is inside and off the line with
    // a terrain other than Code: then it puts a cell of Code on the line.
    auto puts = [&](int X, int Y, const int (&o)[2], uint8_t Code) {
        const int qx = X + o[0], qy = Y + o[1];
        if (qx < 0 || qy < 0 || qx >= w)
            return false;
        const size_t q = size_t(qy) * size_t(w) + size_t(qx);
        const uint8_t c = Import.Codes[q];
        return c != Code && isTerrain[c] && !onLine(qx, qy);
    };
    // Per row, before it is scanned: 1 for a cell inside one terrain (all
    // its neighbours have its code), which nothing can put on the line and
    // whose later neighbours tell nothing. A cell still to be decided is
    // never inside; deciding a cell only changes cells whose neighbour it
    // is, which then are not inside either, and a cell changed by the rule
    // for shared plain tiles lies on the line and puts nothing on it, so the
    // mask holds through the row's scan.
    std::vector<uint8_t> inside(size_t(w) + 1, 0);
    for (int y = 0; y < h; ++y) {
        uint8_t *row = Import.Codes.data() + size_t(y) * size_t(w);
        // The row itself stands in for a missing row above or below.
        const uint8_t *above = y > 0 ? row - w : row;
        const uint8_t *below = y + 1 < h ? row + w : row;
        uint8_t *line = lineRows.data() + size_t(y & 1) * size_t(w);
        std::fill(line, line + w, 0);
        inside[0] = 0;
        inside[size_t(w) - 1] = 0;
        for (int x = 1; x + 1 < w; ++x)
            inside[size_t(x)] = uint8_t((row[x] == row[x - 1]) & (row[x] == row[x + 1]) & (row[x] == above[x - 1]) &
                                        (row[x] == above[x]) & (row[x] == above[x + 1]) & (row[x] == below[x - 1]) &
                                        (row[x] == below[x]) & (row[x] == below[x + 1]) &
                                        (row[x] != PendingTransition));
        inside[size_t(w)] = 0; // stops the search below
        for (int x = 0; x < w; ++x) {
            // Jump over the cells inside a terrain.
            if (inside[size_t(x)]) {
                x = int(static_cast<const uint8_t *>(std::memchr(inside.data() + x, 0, size_t(w) + 1 - size_t(x))) -
                        inside.data());
                if (x >= w)
                    break;
            }
            uint8_t code = row[x];
            const bool pending = code == PendingTransition;
            if (pending) {
                const size_t i = size_t(y) * size_t(w) + size_t(x);
                const uint32_t candidates = Classes.Of(Map.Tiles[i]).Candidates;
                uint32_t marking = 0;
                for (const auto &o : Earlier)
                    for (uint32_t rest = candidates; rest != 0; rest &= rest - 1)
                        if (const int t = std::countr_zero(rest); puts(x, y, o, uint8_t(t)))
                            marking |= 1u << t;
                const uint32_t choices = marking != 0 ? marking : candidates;
                code = 0;
                // A line keeps to its side: the terrain of the line cell before it.
                for (const auto &o : Earlier) {
                    const int qx = x + o[0], qy = y + o[1];
                    if (qx < 0 || qy < 0 || qx >= w)
                        continue;
                    const size_t q = size_t(qy) * size_t(w) + size_t(qx);
                    const uint8_t c = Import.Codes[q];
                    if (onLine(qx, qy) && c >= 1 && c <= 8 && (choices >> c & 1)) {
                        code = c;
                        break;
                    }
                }
                // Else the land after it, where a line lies.
                for (const auto &o : Later) {
                    const int qx = x + o[0], qy = y + o[1];
                    if (code != 0 || qx < 0 || qx >= w || qy >= h)
                        continue;
                    const uint8_t c = Import.Codes[size_t(qy) * size_t(w) + size_t(qx)];
                    if (c >= 1 && c <= 8 && (choices >> c & 1))
                        code = c;
                }
                if (code == 0)
                    code = uint8_t(std::countr_zero(choices));
                row[x] = code;
            }
            if (!isTerrain[code])
                continue;
            // Earlier neighbours all of its terrain put nothing on the line
            // (the row itself stands in above the first row: a difference
            // there only sends the cell the long way).
            const bool earlierSame = (x == 0 || (row[x - 1] == code && above[x - 1] == code)) && above[x] == code &&
                                     (x + 1 == w || above[x + 1] == code);
            if (!earlierSame)
                for (const auto &o : Earlier)
                    if (puts(x, y, o, code))
                        line[x] = 1;
            if (line[x] || pending || code > 8)
                continue;
            // A plain tile that is also a transition's (a pair without edge
            // tiles shows a plain tile of one terrain on its line). Off the
            // line, the cell would put every later neighbour of another
            // terrain on the line, and the transition there would pair that
            // terrain with this one; a neighbour below it would even have
            // this one as its middle terrain (the first land it reads). A
            // later neighbour whose tile no such transition shows tells that
            // the cell lies on the line itself.
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const uint32_t others = Classes.Of(Map.Tiles[i]).Candidates & ~(1u << code);
            if (others == 0)
                continue;
            // The west neighbour, off the line, has this cell's terrain or
            // none (another would have put the cell on the line): so the
            // south-west neighbour too reads this cell's terrain first, and
            // takes it as its middle one unless the west one is on the line.
            const bool westOff = x == 0 || !line[x - 1];
            uint8_t seen = 0;
            for (int k = 0; k < 4 && seen == 0; ++k) {
                const int qx = x + Later[k][0], qy = y + Later[k][1];
                if (qx < 0 || qx >= w || qy >= h)
                    continue;
                const size_t q = size_t(qy) * size_t(w) + size_t(qx);
                const TTileClass &c = Classes.Of(Map.Tiles[q]);
                if (Import.Codes[q] != c.Code || c.Code < 1 || c.Code > 8 || c.Code == code || isCoast(qx, qy))
                    continue;
                // Later[k]: E, SE, S, SW.
                const bool middle = k == 2 || (k == 3 && westOff);
                if (!(c.Candidates >> code & 1) || (middle && !(c.Middles >> code & 1)))
                    seen = c.Code;
            }
            if (seen == 0 || isCoast(x, y))
                continue;
            uint32_t marking = 0;
            for (const auto &o : Earlier)
                for (uint32_t rest = others; rest != 0; rest &= rest - 1)
                    if (const int t = std::countr_zero(rest); puts(x, y, o, uint8_t(t)))
                        marking |= 1u << t;
            if (marking == 0)
                continue;
            row[x] = (marking >> seen & 1) ? seen : uint8_t(std::countr_zero(marking));
            line[x] = 1;
        }
    }
}

} // namespace ImportSteps
