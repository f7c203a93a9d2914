#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Checks of a picture file's bytes before it is decoded, and the decoders that
// follow them: the headers must agree with each other and with the data, so
// that the decoder never fills in what the file does not say. Each check
// returns what is wrong, in words for the map maker, or an empty string for a
// sound file; the decoders report what only the data shows (a colour index
// beyond the table, a damaged zlib stream) the same way.

// Where the decoders deliver the picture: rows of red values, one byte per
// pixel, each holding RedBits bits (8 for most pictures; fewer for pictures
// whose red channel has fewer bits, e.g. 5 in 16-bit BMPs).
class TRedRows
{
public:
    virtual ~TRedRows() = default;
    // Row Y (0 is the top row) of the part decoded. Rows may come in any order,
    // and from two threads at once for different rows.
    virtual void Row(uint32_t Y, const uint8_t *Reds) = 0;
};

// The top-left part of the picture that is decoded.
struct TPictureCrop
{
    uint32_t Width = 0, Height = 0;
};

// A Windows BMP ("BM" ...): info headers of 12, 40, 52, 56, 64 (OS/2 2.x),
// 108 and 124 bytes; 1, 4, 8, 16, 24 and 32 bits per pixel; plain, run-length
// or bit-field data.
struct TBmpLayout
{
    uint64_t DataOffset = 0;
    uint32_t InfoSize = 0;
    uint64_t Width = 0, Height = 0;
    bool TopDown = false;
    uint32_t BitsPerPixel = 0;
    uint32_t Compression = 0;
    uint64_t ImageSize = 0;
    uint64_t Colours = 0;    // entries of the colour table
    uint64_t TableStart = 0; // where the colour table begins
    uint32_t RedMask = 0;    // 16 and 32 bits per pixel
    uint32_t GreenMask = 0, BlueMask = 0;
};
std::string BmpProblem(std::span<const uint8_t> File, TBmpLayout &Layout);
// Bits of red in a pixel of a sound BMP: 8, or the width of a narrower red mask.
uint32_t BmpRedBits(const TBmpLayout &Layout);
// Whether each row can be decoded on its own (plain and bit-field data can;
// run-length data must be walked from its start).
bool BmpRowsStandAlone(const TBmpLayout &Layout);
// The channel a BMP decode delivers: red for the terrain picture; green and
// blue only to tell whether a picture is grey (every pixel R = G = B).
enum class TBmpChannel : uint32_t { Red = 2, Green = 1, Blue = 0 }; // the byte within a B, G, R entry
// Decodes the rows FirstRow to LastRow - 1 of Crop (counted from the top) of
// plain data, or every row of run-length data (then FirstRow and LastRow are
// ignored). Colour indices beyond the table are refused here. The rows carry
// the values of Channel (delivered through TRedRows all the same).
std::string DecodeBmp(std::span<const uint8_t> File, const TBmpLayout &Layout, TPictureCrop Crop, uint32_t FirstRow,
                      uint32_t LastRow, TRedRows &Rows, TBmpChannel Channel = TBmpChannel::Red);

// A pass over a PNG's rows: the seven of an interlaced picture (Adam7), or the
// one of a plain picture. X0, Y0: its first column and row; DX, DY: its steps.
struct TPngPass
{
    uint32_t X0, Y0, DX, DY;
    uint64_t Columns(uint64_t Width) const { return Width > X0 ? (Width - X0 + DX - 1) / DX : 0; }
    uint64_t Rows(uint64_t Height) const { return Height > Y0 ? (Height - Y0 + DY - 1) / DY : 0; }
};
std::span<const TPngPass> PngPasses(bool Interlaced);

// A PNG. LayoutProblem reads the chunks: checksums, header, chunk order, and
// whether the compressed data could hold the picture at all; it is quick and
// must come first. Decode unpacks the image data to its end (its checksum
// checked, exactly the size that the header calls for), unfilters the rows and
// delivers the red values of Crop; alpha and transparency never change a red
// value.
class TPngCheck
{
public:
    explicit TPngCheck(std::span<const uint8_t> File);
    std::string LayoutProblem();
    uint64_t Width() const { return width; }
    uint64_t Height() const { return height; }
    bool Interlaced() const { return interlaced; }
    // 8, or the depth of a grey picture of 1, 2 or 4 bits.
    uint32_t RedBits() const { return colourType == 0 && depth < 8 ? depth : 8; }
    uint32_t ColourType() const { return colourType; }
    uint32_t Depth() const { return depth; }
    // HighBytes: a 16-bit sample gives its high byte (v / 256) instead of the
    // nearest 8-bit value (v * 255 / 65535), as a heights picture is read.
    std::string Decode(TPictureCrop Crop, TRedRows &Rows, bool HighBytes = false) const;

private:
    std::string Claim() const;

    std::span<const uint8_t> f;
    uint64_t width = 0, height = 0, colours = 0, expected = 0;
    uint32_t colourType = 0, depth = 0, bits = 0;
    bool interlaced = false;
    std::vector<uint8_t> paletteReds; // red of each colour index
    std::vector<std::span<const uint8_t>> data; // the IDAT chunks' bodies
};

// "pixel (X, Y) has colour index I, but the colour table has only N colours".
std::string ColourIndexProblem(uint64_t X, uint64_t Y, uint32_t Index, uint64_t Colours);

bool LooksLikeBmp(std::span<const uint8_t> File);
bool LooksLikePng(std::span<const uint8_t> File);

// What a picture file is: a BMP (Bmp filled in) or a PNG (Png), of Width x
// Height pixels, as far as its headers tell.
struct TPictureLayout
{
    TBmpLayout Bmp;
    std::optional<TPngCheck> Png;
    uint64_t Width = 0, Height = 0;
};
// Tells BMP and PNG apart by their first bytes and checks the layout
// (BmpProblem, TPngCheck::LayoutProblem); what is wrong ("the file is empty",
// "the file is neither a BMP nor a PNG picture", ...), or empty. Only BMP and
// PNG are read: both are lossless; a lossy format would change red values at
// every edge.
std::string PictureProblem(std::span<const uint8_t> File, TPictureLayout &Layout);
