#pragma once

#include "MapImport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class TTerrainImage;

// The colours of a painted picture: red is the data ([ColorTileCodeMatch] of
// the configuration), green and blue show the terrain as the preview colours
// it, so the picture is pleasant to paint on. A cell that names no terrain
// (void, or a tile of no terrain) gets NoTerrainRed, a red value that the
// configuration gives to no terrain, with the preview's void colour.
struct TTerrainPalette
{
    std::array<uint8_t, 256> RedOfCode{}; // by terrain code; NoTerrainRed for none
    uint8_t NoTerrainRed = 0;
    std::array<uint32_t, 256> ColorOfRed{}; // 0xRRGGBB
};
TTerrainPalette MakeTerrainPalette(const TTerrainImage &Config);

using TPictureByteSink = std::function<void(const uint8_t *Data, size_t Bytes)>;

// The imported terrains as a picture: an 8-bit BMP with a colour table (a
// quarter of the bytes of a 24-bit one), or, for a name ending in ".png" (any
// case), an 8-bit RGB PNG.
enum class TPictureKind { Bmp, Png };
TPictureKind PictureKindForName(const std::string &FileName);
void WriteTerrainPicture(const TTerrainImport &Import, const TTerrainPalette &Palette, TPictureKind Kind,
                         const TPictureByteSink &Out);
