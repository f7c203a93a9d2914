#include "MergeHeights.h"

#include "ClassTerrainImage.h"
#include "HeightProfile.h"
#include "InTwoHalves.h"
#include "MapMerge.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TGridBox TGridBox::Grown(int By, int Width, int Height) const
{
    if (Empty())
        return *this;
    return {std::max(1, X0 - By), std::max(1, Y0 - By), std::min(Width, X1 + By), std::min(Height, Y1 + By)};
}

TGridBox RemadeBox(const TMergeRegion &Region)
{
    const int rows = Region.Size.BlockRows(), columns = Region.Size.BlockColumns();
    TGridBox box{columns, rows, -1, -1}; // in blocks until the end
    for (int bx = 0; bx < columns; ++bx)
        for (int by = 0; by < rows; ++by)
            if (Region.Blocks[size_t(bx) * size_t(rows) + size_t(by)]) {
                box.X0 = std::min(box.X0, bx);
                box.X1 = std::max(box.X1, bx);
                box.Y0 = std::min(box.Y0, by);
                box.Y1 = std::max(box.Y1, by);
            }
    if (box.X1 < 0)
        return {};
    return {box.X0 * 8 + 1, box.Y0 * 8 + 1, box.X1 * 8 + 8, box.Y1 * 8 + 8};
}

namespace {

// Copies the rows of a part between a framed grid of Stride cells per row
// and a framed grid of the part's own width.
template <class T>
void CopyPart(T *Whole, size_t Stride, T *Part, const TGridBox &Box, bool IntoPart)
{
    const size_t width = size_t(Box.X1 - Box.X0 + 1), partStride = width + 2;
    for (int y = Box.Y0; y <= Box.Y1; ++y) {
        T *whole = Whole + size_t(y) * Stride + size_t(Box.X0);
        T *part = Part + size_t(y - Box.Y0 + 1) * partStride + 1;
        if (IntoPart)
            std::memcpy(part, whole, width * sizeof(T));
        else
            std::memcpy(whole, part, width * sizeof(T));
    }
}

} // namespace

void RunOnPart(TTerrainImage &Model, const TGridBox &Box, const std::function<void(TTerrainImage &)> &Work)
{
    if (Box.Empty())
        return;
    TTerrainImage::TGridParts whole;
    Model.SwapGrid(whole);
    // Puts the whole grid back however Work ends.
    struct TRestore
    {
        TTerrainImage &Model;
        TTerrainImage::TGridParts &Whole;
        ~TRestore()
        {
            TTerrainImage::TGridParts part;
            Model.SwapGrid(part);
            Model.SwapGrid(Whole);
        }
    } restore{Model, whole};

    const size_t stride = size_t(whole.Width) + 2;
    Model.ResetGrid(uint16_t(Box.X1 - Box.X0 + 1), uint16_t(Box.Y1 - Box.Y0 + 1));
    CopyPart(whole.Cells.data(), stride, Model.CellData(), Box, true);
    CopyPart(whole.Flags.data(), stride, Model.FlagData(), Box, true);
    if (whole.Painted.size() != 0) {
        Model.ResetPaintedHeights(true);
        CopyPart(whole.Painted.data(), stride, Model.PaintedData(), Box, true);
    }
    Work(Model);
    CopyPart(whole.Cells.data(), stride, Model.CellData(), Box, false);
    CopyPart(whole.Flags.data(), stride, Model.FlagData(), Box, false);
}

void StartRemadeLandNearKept(TTerrainImage &Model, const TMergeRegion &Region)
{
    const TGridBox box = RemadeBox(Region).Grown(8, Model.GetWidth(), Model.GetHeight());
    if (box.Empty())
        return;
    // The lowest altitude a run gives land, or a coast strip that the
    // picture's stages may make land one cell over.
    const THeightProfile &profile = Model.GetHeightProfile();
    int lowest = std::min({profile.OtherStart.Low, profile.OtherSeed.Low, profile.Water, profile.Coastline});
    for (const int ring : profile.Rings)
        lowest = std::min(lowest, ring);
    if (profile.CoastTable)
        for (unsigned mask = 0; mask < 256; ++mask)
            lowest = std::min(lowest, CoastTableAltitude(mask, profile.Water, profile.Coastline));
    const auto land = [](uint16_t Code) { return Code >= 1 && Code <= 8 && Code != MOUNTAIN; };
    // By cell of the box: how far below that the nearest kept land lies,
    // spread from the kept land outwards (breadth first), or None.
    const int w = box.X1 - box.X0 + 1, h = box.Y1 - box.Y0 + 1;
    constexpr int None = 1000;
    std::vector<int> below(size_t(w) * size_t(h), None);
    std::vector<uint32_t> queue;
    bool any = false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TCell cell = Model.GetCell(box.X0 + x, box.Y0 + y);
            if (Model.GetFlag(box.X0 + x, box.Y0 + y) != FLAG_PAINTED || !land(cell.Code))
                continue;
            below[size_t(y) * size_t(w) + size_t(x)] = std::min(0, cell.Altitude - lowest);
            any = any || cell.Altitude < lowest;
            queue.push_back(uint32_t(y) * uint32_t(w) + uint32_t(x));
        }
    if (!any)
        return;
    for (size_t next = 0; next < queue.size(); ++next) {
        const int x = int(queue[next] % uint32_t(w)), y = int(queue[next] / uint32_t(w));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int qx = x + dx, qy = y + dy;
                if (qx < 0 || qy < 0 || qx >= w || qy >= h)
                    continue;
                int &to = below[size_t(qy) * size_t(w) + size_t(qx)];
                if (to == None) {
                    to = below[size_t(y) * size_t(w) + size_t(x)];
                    queue.push_back(uint32_t(qy) * uint32_t(w) + uint32_t(qx));
                }
            }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int gx = box.X0 + x, gy = box.Y0 + y, by = below[size_t(y) * size_t(w) + size_t(x)];
            const uint8_t flag = Model.GetFlag(gx, gy);
            TCell &cell = Model.CellData()[Model.Index(gx, gy)];
            if (by != None && by != 0 && flag != FLAG_PAINTED && flag != FLAG_FIXED && land(cell.Code) &&
                Region.Remade(gx - 1, gy - 1))
                cell.Altitude = int8_t(std::max(-128, cell.Altitude + by));
        }
}

TCoastRings::TCoastRings(const TTerrainImage &Model)
    : Width(Model.GetWidth()), Height(Model.GetHeight()), Words((Model.GetWidth() + 63) / 64),
      Bits(size_t(Height) * size_t(Words), 0)
{
    InTwoHalves(Height, [&](int First, int Last) {
        for (int y = First; y < Last; ++y)
            MarkRow(y, Model.CellData() + Model.Index(1, y + 1));
    });
}

TCoastRings::TCoastRings(const TTerrainImage &Model, const TMapSize &Size, TMapDraws &Draws)
    : Width(Model.GetWidth()), Height(Model.GetHeight()), Words((Model.GetWidth() + 63) / 64),
      Bits(size_t(Height) * size_t(Words), 0)
{
    // Each row is marked while the counting has it in the cache.
    Draws = TMapFiller::CountDraws(Model, Size, [this](int Y, const TCell *Row) {
        if (Y < Height)
            MarkRow(Y, Row);
    });
}

void TCoastRings::MarkRow(int Y, const TCell *Row)
{
    uint64_t *bits = Bits.data() + size_t(Y) * size_t(Words);
    for (int x0 = 0; x0 < Width; x0 += 64) {
        uint64_t word = 0;
        const int end = std::min(Width, x0 + 64);
        int x = x0;
#if defined(__SSE2__)
        // Four cells at a time: a bit per cell from the sign of its lane.
        static_assert(sizeof(TCell) == 4 && offsetof(TCell, Code) == 0);
        const __m128i codeMask = _mm_set1_epi32(0xFFFF);
        const __m128i water = _mm_set1_epi32(WATER), coastline = _mm_set1_epi32(COASTLINE);
        for (; x + 4 <= end; x += 4) {
            const __m128i codes =
                _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(Row + x)), codeMask);
            const __m128i hit = _mm_or_si128(_mm_cmpeq_epi32(codes, water), _mm_cmpeq_epi32(codes, coastline));
            word |= uint64_t(unsigned(_mm_movemask_ps(_mm_castsi128_ps(hit)))) << (x - x0);
        }
#endif
        for (; x < end; ++x)
            word |= uint64_t(Row[x].Code == WATER || Row[x].Code == COASTLINE) << (x - x0);
        bits[x0 / 64] = word;
    }
}

bool TCoastRings::Fixed(int X, int Y) const
{
    // The cells X - 3 .. X + 3 (0-based X - 4 .. X + 2) of the rows Y - 3 .. Y + 3.
    const int first = std::max(0, X - 4), last = std::min(Width - 1, X + 2);
    const int w0 = first / 64, w1 = last / 64;
    const uint64_t lowMask = ~uint64_t(0) << (first % 64);
    const uint64_t highMask = ~uint64_t(0) >> (63 - last % 64);
    for (int y = std::max(1, Y - 3); y <= std::min(Height, Y + 3); ++y) {
        const uint64_t *bits = Bits.data() + size_t(y - 1) * size_t(Words);
        if (w0 == w1) {
            if (bits[w0] & lowMask & highMask)
                return true;
        } else if ((bits[w0] & lowMask) || (bits[w1] & highMask)) {
            return true;
        }
    }
    return false;
}
