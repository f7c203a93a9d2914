#include "MergeHeights.h"

#include "ClassTerrainImage.h"
#include "MapMerge.h"

#include <algorithm>
#include <cstring>

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

bool InCoastRings(const TTerrainImage &Model, int X, int Y)
{
    const int x0 = std::max(1, X - 3), x1 = std::min(Model.GetWidth(), X + 3);
    const int y0 = std::max(1, Y - 3), y1 = std::min(Model.GetHeight(), Y + 3);
    for (int y = y0; y <= y1; ++y) {
        const TCell *row = Model.CellData() + Model.Index(0, y);
        for (int x = x0; x <= x1; ++x)
            if (row[x].Code == WATER || row[x].Code == COASTLINE)
                return true;
    }
    return false;
}
