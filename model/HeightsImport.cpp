// The heights picture: a grey picture whose grey g paints the altitude g - 128
// of its cell (grey 128 is altitude 0, white 255 is 127, black -128). It is
// checked like the terrain picture (PictureCheck.h) and must be grey: a PNG of
// colour type 0 or 4 (its alpha ignored; of 16 bits the high byte counts, of
// fewer than 8 bits the grey is scaled to 0..255), or a BMP whose every pixel
// has red = green = blue, through its colour table or its colour fields of 8
// bits. A coloured picture is refused rather than read by one channel: a
// painter who saved the wrong picture learns it before the map is made.
#include "ClassTerrainImage.h"
#include "PictureCheck.h"
#include "Platform.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

namespace {

std::string Num(uint64_t n) { return std::to_string(n); }

// The decoded grey values, one plane of the grid's size.
class TGreyPlane final : public TRedRows
{
public:
    TGreyPlane(uint32_t width, uint32_t height, uint32_t bits) : Width(width), Plane(size_t(width) * height)
    {
        // A grey of fewer than 8 bits means the same share of white in 8 bits.
        const uint32_t top = (1u << bits) - 1;
        for (uint32_t v = 0; v < 256; ++v)
            Scale[v] = bits >= 8 ? uint8_t(v) : uint8_t((std::min(v, top) * 255 + top / 2) / top);
    }
    void Row(uint32_t Y, const uint8_t *Reds) override
    {
        uint8_t *row = Plane.data() + size_t(Y) * Width;
        for (uint32_t x = 0; x < Width; ++x)
            row[x] = Scale[Reds[x]];
    }
    uint8_t At(uint32_t X, uint32_t Y) const { return Plane[size_t(Y) * Width + X]; }

    uint32_t Width;
    std::vector<uint8_t> Plane;
    std::array<uint8_t, 256> Scale{};
};

// A pixel whose green or blue differs from its red.
struct TColouredPixel
{
    uint32_t X = 0, Y = 0;
    uint8_t Red = 0, Other = 0;
    bool operator<(const TColouredPixel &o) const { return Y != o.Y ? Y < o.Y : X < o.X; }
};

// Compares the rows of another channel with the red plane and keeps the
// first pixel, top to bottom, that differs.
class TGreyCheck final : public TRedRows
{
public:
    explicit TGreyCheck(const TGreyPlane &reds) : Reds(reds) {}
    void Row(uint32_t Y, const uint8_t *Values) override
    {
        if (First && First->Y < Y)
            return;
        for (uint32_t x = 0; x < Reds.Width; ++x)
            if (Values[x] != Reds.At(x, Y)) {
                const TColouredPixel pixel{x, Y, Reds.At(x, Y), Values[x]};
                if (!First || pixel < *First)
                    First = pixel;
                return;
            }
    }
    const TGreyPlane &Reds;
    std::optional<TColouredPixel> First;
};

const char *PngColourTypeName(uint32_t type)
{
    switch (type) {
    case 2: return "colour";
    case 3: return "palette colour";
    case 6: return "colour with alpha";
    default: return "unknown";
    }
}

} // namespace

void TTerrainImage::LoadHeights(const std::string &FileName)
{
    const auto fail = [&](const std::string &problem) { return EImageLoadError(FileName + ": " + problem); };
    if (Width == 0 || Height == 0)
        throw fail("there is no terrain picture for these heights; load the terrain picture first");
    // Painted altitudes take the place of the start altitudes, which must not
    // be drawn over them later.
    DrawDeferredStartAltitudes(1, Height);
    Painted.Clear();
    try {
        const Platform::TFileView file(FileName);
        const std::span<const uint8_t> bytes = file.Bytes();
        TPictureLayout layout;
        std::string problem = PictureProblem(bytes, layout);
        const TBmpLayout &bmp = layout.Bmp;
        std::optional<TPngCheck> &png = layout.Png;
        const uint64_t width = layout.Width, height = layout.Height;
        const uint32_t bits = png ? png->RedBits() : 8;
        // Grey pictures only, with 8 bits of each colour in a BMP.
        if (problem.empty() && !png && (bmp.BitsPerPixel == 16 || bmp.BitsPerPixel == 32) &&
            (std::popcount(bmp.RedMask) != 8 || std::popcount(bmp.GreenMask) != 8 ||
             std::popcount(bmp.BlueMask) != 8))
            problem = "a heights picture needs 8 bits of each colour; this BMP's " + Num(bmp.BitsPerPixel) +
                      "-bit pixels have " + Num(uint64_t(std::popcount(bmp.RedMask))) + " bits of red, " +
                      Num(uint64_t(std::popcount(bmp.GreenMask))) + " of green and " +
                      Num(uint64_t(std::popcount(bmp.BlueMask))) + " of blue";
        if (problem.empty() && png && png->ColourType() != 0 && png->ColourType() != 4)
            problem = "the picture is not grey: its colour type is " + Num(png->ColourType()) + " (" +
                      PngColourTypeName(png->ColourType()) +
                      "); a heights picture must be grey (colour type 0, or 4 with alpha)";
        if (!problem.empty())
            throw fail(problem);

        // The terrain picture's size, or the part of it that the crop kept.
        const bool sameAsPicture = width == PictureWidth && height == PictureHeight;
        const bool sameAsGrid = width == uint64_t(Width) && height == uint64_t(Height);
        if (!sameAsPicture && !sameAsGrid) {
            const bool cropped = PictureWidth != Width || PictureHeight != Height;
            throw EHeightsSizeError(
                FileName + ": the heights picture is " + Num(width) + " x " + Num(height) +
                " pixels, but the terrain picture is " + Num(PictureWidth) + " x " + Num(PictureHeight) +
                (cropped ? " (cut to " + Num(Width) + " x " + Num(Height) + ")" : std::string()) +
                "; the two must be of one size");
        }

        const TPictureCrop crop{Width, Height};
        TGreyPlane greys(Width, Height, bits);
        if (png) {
            problem = png->Decode(crop, greys, true);
        } else {
            problem = DecodeBmp(bytes, bmp, crop, 0, crop.Height, greys, TBmpChannel::Red);
            std::optional<TColouredPixel> first;
            for (const TBmpChannel channel : {TBmpChannel::Green, TBmpChannel::Blue}) {
                if (!problem.empty())
                    break;
                TGreyCheck check(greys);
                problem = DecodeBmp(bytes, bmp, crop, 0, crop.Height, check, channel);
                if (check.First && (!first || *check.First < *first))
                    first = check.First;
            }
            if (problem.empty() && first)
                problem = "the picture is not grey: pixel (" + Num(first->X) + ", " + Num(first->Y) + ") has red " +
                          Num(first->Red) + " but green or blue " + Num(first->Other) +
                          "; a heights picture must be grey (red = green = blue)";
        }
        if (!problem.empty())
            throw fail(problem);

        Painted.Reset(size_t(Width + 2) * size_t(Height + 2));
        for (int y = 1; y <= Height; ++y) {
            TCell *cell = &Cells[Index(1, y)];
            int8_t *painted = &Painted[Index(1, y)];
            for (int x = 0; x < Width; ++x) {
                painted[x] = int8_t(int(greys.At(uint32_t(x), uint32_t(y - 1))) - 128);
                // Water and coastline (of a grid generated before) keep theirs.
                if (cell[x].Code != WATER && cell[x].Code != COASTLINE)
                    cell[x].Altitude = painted[x];
            }
        }
    } catch (const Platform::EFileError &error) {
        Painted.Clear();
        throw EImageLoadError(error.what());
    } catch (const std::bad_alloc &) {
        Painted.Clear();
        throw fail("not enough memory for the heights of this picture");
    } catch (...) {
        Painted.Clear();
        throw;
    }
}
