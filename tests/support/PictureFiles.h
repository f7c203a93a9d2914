#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Picture files built byte by byte for the tests, and a plain reference
// decoder of BMP and PNG files, written from the formats' descriptions, to
// compare the import with.
namespace PictureFiles {

// Top row first. A value is a colour index for 1, 4 and 8 bits, 0xRRGGBB for
// 24 and 32 bits, and the raw pixel value for 16 bits and bit fields.
using TPixels = std::vector<std::vector<uint32_t>>;

struct TBmp
{
    TPixels Pixels;
    uint32_t Bits = 24;
    uint32_t Compression = 0; // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t HeaderSize = 40; // 12, 40, 52, 56, 64 (OS/2 2.x), 108 or 124
    bool TopDown = false;
    std::vector<uint32_t> Palette; // 0xRRGGBB per colour index
    bool WriteColourCount = true;  // else the count field is 0 (a full table is implied)
    std::array<uint32_t, 4> Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    // Run-length rows as literal runs where three or more pixels are left,
    // else as runs of equal pixels.
    bool Literals = false;
};

// The bytes of the file; run-length data closes each row with an end-of-line
// mark and the last with an end-of-bitmap mark.
std::string Encode(const TBmp &bmp);

// Offsets of fields of the headers, for tests that change them.
constexpr size_t DataOffsetField = 10;
constexpr size_t WidthField = 18, HeightField = 22, PlanesField = 26, BitsField = 28;
constexpr size_t CompressionField = 30, ImageSizeField = 34, ColourCountField = 46;
size_t PixelDataOffset(const std::string &file);

void Put16(std::string &s, size_t at, uint32_t v);
void Put32(std::string &s, size_t at, uint32_t v);

// A PNG picture. Each pixel holds its samples in the colour type's order:
// grey; red, green, blue; an index; grey, alpha; red, green, blue, alpha.
struct TPng
{
    uint32_t Width = 0, Height = 0;
    uint8_t ColourType = 2, Depth = 8;
    bool Interlaced = false;
    std::vector<std::vector<std::array<uint16_t, 4>>> Pixels; // top row first
    std::vector<uint32_t> Palette;                           // 0xRRGGBB, colour type 3
    std::string Transparency;                                // the body of a tRNS chunk, if not empty
    bool VaryFilters = true; // each row of a pass filtered with the next of the five filter types
};
std::string Encode(const TPng &png);

// A PNG: rows of raw pixel bytes (each gets filter byte 0), and the palette
// for colour type 3.
std::string MakePng(uint32_t width, uint32_t height, uint8_t colourType, uint8_t depth,
                    const std::vector<std::string> &rows, const std::vector<uint32_t> &palette = {});
// The header chunk (IHDR) of a PNG; interlace 1 is Adam7.
std::string PngHeader(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0);
// A PNG built from chunks as given (length and checksum added).
std::string PngChunk(const std::string &type, const std::string &body);
std::string PngSignature();
std::string Deflate(const std::string &raw);

// The red value of every pixel (top row first) as a straightforward reading
// of the format gives it: 8 bits, or the red field itself where the picture
// has fewer bits of red (Bits). Nothing when the file cannot be read that way
// (this reader checks nothing else).
struct TReds
{
    std::vector<std::vector<uint8_t>> Rows;
    uint32_t Bits = 8;
};
std::optional<TReds> ReferenceReds(const std::string &file);

} // namespace PictureFiles
