#include "TerrainPicture.h"

#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "PngWriter.h"

#include <algorithm>
#include <cctype>
#include <vector>

TTerrainPalette MakeTerrainPalette(const TTerrainImage &Config)
{
    TTerrainPalette palette;
    // The highest red value that names no terrain: 255 unless a terrain has it.
    int none = 255;
    while (none > 0 && Config.CodeForColor(uint8_t(none)) != NO_TERRAIN)
        --none;
    palette.NoTerrainRed = uint8_t(none);
    palette.RedOfCode.fill(palette.NoTerrainRed);
    // The lowest red of each terrain, as the configuration's red values give it.
    for (int red = 255; red >= 0; --red)
        if (const uint16_t code = Config.CodeForColor(uint8_t(red)); code != NO_TERRAIN && code < 256)
            palette.RedOfCode[code] = uint8_t(red);
    for (int red = 0; red < 256; ++red) {
        const uint16_t code = Config.CodeForColor(uint8_t(red));
        const TPreviewColor shown = code == NO_TERRAIN ? PreviewColors::Void : PreviewColors::Terrain(code);
        palette.ColorOfRed[size_t(red)] =
            uint32_t(red) << 16 | uint32_t(PreviewColors::Green(shown)) << 8 | uint32_t(PreviewColors::Blue(shown));
    }
    return palette;
}

TPictureKind PictureKindForName(const std::string &FileName)
{
    std::string end = FileName.size() >= 4 ? FileName.substr(FileName.size() - 4) : FileName;
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return end == ".png" ? TPictureKind::Png : TPictureKind::Bmp;
}

namespace {

uint8_t RedOf(const TTerrainPalette &Palette, uint8_t Code)
{
    return Code == UnknownTerrain ? Palette.NoTerrainRed : Palette.RedOfCode[Code];
}

// BMP: the 14-byte file header, the 40-byte info header, 256 colour table
// entries (blue, green, red, 0), then the rows from the bottom, each padded
// to a multiple of four bytes.
void WriteBmp(const TTerrainImport &Import, const TTerrainPalette &Palette, const TPictureByteSink &Out)
{
    const uint32_t rowBytes = (uint32_t(Import.Width) + 3) & ~3u;
    const uint32_t dataOffset = 14 + 40 + 256 * 4;
    const uint64_t fileBytes = dataOffset + uint64_t(rowBytes) * uint64_t(Import.Height);
    std::vector<uint8_t> head(dataOffset, 0);
    head[0] = 'B';
    head[1] = 'M';
    ByteOrder::PutLe32(&head[2], fileBytes > 0xFFFFFFFFu ? 0 : uint32_t(fileBytes));
    ByteOrder::PutLe32(&head[10], dataOffset);
    ByteOrder::PutLe32(&head[14], 40);
    ByteOrder::PutLe32(&head[18], uint32_t(Import.Width));
    ByteOrder::PutLe32(&head[22], uint32_t(Import.Height));
    ByteOrder::PutLe16(&head[26], 1);  // planes
    ByteOrder::PutLe16(&head[28], 8);  // bits per pixel
    ByteOrder::PutLe32(&head[30], 0);  // no compression
    ByteOrder::PutLe32(&head[34], uint32_t(uint64_t(rowBytes) * uint64_t(Import.Height)));
    ByteOrder::PutLe32(&head[38], 2835); // 72 dpi
    ByteOrder::PutLe32(&head[42], 2835);
    ByteOrder::PutLe32(&head[46], 256);
    for (int i = 0; i < 256; ++i) {
        const uint32_t color = Palette.ColorOfRed[size_t(i)];
        uint8_t *entry = &head[54 + size_t(i) * 4];
        entry[0] = uint8_t(color);
        entry[1] = uint8_t(color >> 8);
        entry[2] = uint8_t(color >> 16);
    }
    Out(head.data(), head.size());
    // Rows gathered into pieces of about a megabyte.
    const int rowsPerPiece = std::max(1, int((1u << 20) / rowBytes));
    std::vector<uint8_t> piece(size_t(rowBytes) * size_t(rowsPerPiece), 0);
    for (int top = Import.Height - 1; top >= 0; top -= rowsPerPiece) {
        const int rows = std::min(rowsPerPiece, top + 1);
        for (int r = 0; r < rows; ++r) {
            const uint8_t *codes = Import.Codes.data() + size_t(top - r) * size_t(Import.Width);
            uint8_t *row = piece.data() + size_t(r) * rowBytes;
            for (int x = 0; x < Import.Width; ++x)
                row[x] = RedOf(Palette, codes[x]);
        }
        Out(piece.data(), size_t(rows) * rowBytes);
    }
}

} // namespace

void WriteTerrainPicture(const TTerrainImport &Import, const TTerrainPalette &Palette, TPictureKind Kind,
                         const TPictureByteSink &Out)
{
    if (Kind == TPictureKind::Bmp) {
        WriteBmp(Import, Palette, Out);
        return;
    }
    WriteRgbPng(
        Import.Width, Import.Height,
        [&](int Y, uint8_t *Rgb) {
            const uint8_t *codes = Import.Codes.data() + size_t(Y) * size_t(Import.Width);
            for (int x = 0; x < Import.Width; ++x, Rgb += 3) {
                const uint32_t color = Palette.ColorOfRed[RedOf(Palette, codes[x])];
                Rgb[0] = uint8_t(color >> 16);
                Rgb[1] = uint8_t(color >> 8);
                Rgb[2] = uint8_t(color);
            }
        },
        Out);
}
