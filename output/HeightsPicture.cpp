#include "HeightsPicture.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"

#include <algorithm>
#include <vector>

void WriteHeightsPng(int Width, int Height, const THeightsRowSource &FillRow, const TPngByteSink &Out)
{
    std::vector<int8_t> altitudes(size_t(std::max(Width, 0)));
    WriteGreyPng(
        Width, Height,
        [&](int Y, uint8_t *Grey) {
            FillRow(Y, altitudes.data());
            for (int x = 0; x < Width; ++x)
                Grey[x] = uint8_t(altitudes[size_t(x)] + 128);
        },
        Out);
}

void SaveHeightsPng(int Width, int Height, const THeightsRowSource &FillRow, const std::string &FileName)
{
    TAtomicSave save({FileName}); // discarded, temporary file and all, unless committed
    WriteHeightsPng(Width, Height, FillRow, [&](const uint8_t *Data, size_t Bytes) { save.Write(0, Data, Bytes); });
    save.Commit();
}

void WriteMapHeightsPng(const TTerrainImage &Model, const TMapSize &Size, const TPngByteSink &Out)
{
    WriteHeightsPng(
        Size.Width, Size.Height,
        [&](int Y, int8_t *Altitudes) {
            for (int x = 0; x < Size.Width; ++x)
                Altitudes[x] = Model.GetCell(x + 1, Y + 1).Altitude;
        },
        Out);
}
