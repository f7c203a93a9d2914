#pragma once

#include "MapFormat.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TTerrainImage;
class TStaticsReader;

// A colour of the preview: 0xAARRGGBB, the alpha always 0xFF (opaque).
using TPreviewColor = uint32_t;

// The size of a preview picture in pixels.
struct TPictureSize
{
    int Width = 0;
    int Height = 0;
    uint64_t Pixels() const { return uint64_t(Width) * uint64_t(Height); }
    bool operator==(const TPictureSize &) const = default;
};

// A preview picture: Width x Height colours, row after row from the top.
struct TPreviewPicture
{
    int Width = 0;
    int Height = 0;
    std::vector<TPreviewColor> Pixels;

    TPictureSize Size() const { return {Width, Height}; }
    TPreviewColor Pixel(int X, int Y) const { return Pixels[size_t(Y) * size_t(Width) + size_t(X)]; }
    TPreviewColor *Row(int Y) { return Pixels.data() + size_t(Y) * size_t(Width); }
    const TPreviewColor *Row(int Y) const { return Pixels.data() + size_t(Y) * size_t(Width); }
    bool operator==(const TPreviewPicture &) const = default;
};

// The colours of the map preview.
namespace PreviewColors {
constexpr int Red(TPreviewColor Color) { return int(Color >> 16 & 0xFF); }
constexpr int Green(TPreviewColor Color) { return int(Color >> 8 & 0xFF); }
constexpr int Blue(TPreviewColor Color) { return int(Color & 0xFF); }
// The opaque colour of these channels (0..255 each).
constexpr TPreviewColor Rgb(int R, int G, int B)
{
    return 0xFF000000u | uint32_t(R & 0xFF) << 16 | uint32_t(G & 0xFF) << 8 | uint32_t(B & 0xFF);
}

// Every cell that gets the void tile, whatever the reason; never shaded, and no
// terrain colour, blend or shade of one comes out as this colour.
constexpr TPreviewColor Void = 0xFFFF00FF;
// Statics (trees, plants, rocks, shore waves): an orange that no terrain has.
constexpr TPreviewColor Statics = 0xFFFF7F00;
// The outline of the blocks a merge made anew: pure red, which no shade of a
// terrain reaches.
constexpr TPreviewColor Outline = 0xFFFF0000;
// The colour of a terrain, water or coastline on flat ground; 0 for other codes.
TPreviewColor Terrain(uint16_t Code);
// A transition between the terrains A and B: the two colours half and half.
TPreviewColor Blend(uint16_t A, uint16_t B);
// Hill shading with the light from the north-west. Rise is twice the cell's
// altitude less those of its north and west neighbours: positive on a slope
// that faces north-west (lighter), negative on one that faces south-east.
TPreviewColor Shade(TPreviewColor Color, int Rise);
} // namespace PreviewColors

// A picture of the map as it will be written: one pixel per map cell, for the
// whole map of the given size (whatever the picture's size), drawn from the
// final grid (after Generate) and the tile configuration, without drawing a
// random number. Terrains, water and coastline in their colours, transitions
// as a blend of their two terrains, all hill-shaded; cells that get the void
// tile (PreviewColors::Void) include those outside the picture. Grid cells
// beyond the map are not in the file and not in the picture.
//
// With Scale N > 1, one pixel stands for a block of N x N cells (the blocks at
// the right and bottom edge may be smaller): the block is magenta when any of
// its cells is void, so that no void cell hides at a small scale, and otherwise
// the average of its cells' shaded colours. The picture is then
// ceil(width / N) x ceil(height / N) pixels (PreviewPictureSize). A picture of
// more than MaxPreviewPixels is refused (std::length_error) before any memory
// is taken for it.
TPreviewPicture RenderMapPreview(const TTerrainImage &Model, const TMapSize &Size, int Scale = 1);

// The most pixels a preview picture may have: 16384 x 16384, 1 GiB in memory.
// A full-size preview of the largest maps would take many times that.
constexpr uint64_t MaxPreviewPixels = uint64_t(1) << 28;
// The size of the preview picture of a map of this size at this scale.
TPictureSize PreviewPictureSize(const TMapSize &Size, int Scale);
// The smallest scale at which the preview of a map of this size has at most
// MaxPreviewPixels: 1 up to 16384 x 16384 cells, 4 for 65528 x 65528.
int MinPreviewScale(const TMapSize &Size);

// A preview made smaller by Factor with the same rule as RenderMapPreview's
// scale: a block with a void pixel is void, any other the average of its pixels.
TPreviewPicture DownscaleMapPreview(const TPreviewPicture &Preview, int Factor);

// Marks the statics of the map on its preview at that scale: a pixel takes
// the statics' colour in the share of its cells that hold a static (at scale 1
// a cell with a static is that colour). Void pixels stay void.
void MarkStatics(TPreviewPicture &Preview, const TMapSize &Size, int Scale, const TStaticsReader &Reader);

// Outlines the region of the marked blocks (by block index, block-column
// after block-column) on the preview at that scale: the pixels of a marked
// block that touch an unmarked block or the map's edge take
// PreviewColors::Outline.
void OutlineBlocks(TPreviewPicture &Preview, const TMapSize &Size, int Scale, const std::vector<uint8_t> &Blocks);

// A preview picture that could not be saved; the message names the file and the cause.
class EPreviewWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Saves the picture as a PNG file (8-bit RGB, the same bytes for the same
// picture) atomically: the file at FileName changes only when the whole
// picture is written. Throws EPreviewWriteError. Stopped, when given, is
// asked while the file is written: once it says yes, nothing is saved and
// the result is false.
bool SaveMapPreview(const TPreviewPicture &Preview, const std::string &FileName,
                    const std::function<bool()> &Stopped = {});
