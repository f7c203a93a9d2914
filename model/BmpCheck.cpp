// The BMP check: the file header, the info header, the bit masks, the colour
// table and the pixel data must agree. The decoder (BmpDecode.cpp) trusts
// them: it reads the colour table right after the header, and walks run-length
// data without bounds of its own. A run or jump that leaves the picture, or
// pixels that run-length data skips, would turn into terrain that nobody
// painted, so such a file is refused, with the place where its data and its
// headers part.
#include "ByteOrder.h"
#include "PictureCheck.h"

#include <bit>

namespace {

constexpr uint64_t FileHeaderSize = 14;

// Compression types of the info header.
constexpr uint32_t PlainPixels = 0;
constexpr uint32_t RunLength8 = 1;
constexpr uint32_t RunLength4 = 2;
constexpr uint32_t BitFields = 3;

// The info header of OS/2 2.x, whose compression types 3 and 4 are its own.
constexpr uint32_t Os2InfoSize = 64;

uint32_t Read16(std::span<const uint8_t> f, uint64_t at) { return ByteOrder::Le16(f.data() + at); }
uint32_t Read32(std::span<const uint8_t> f, uint64_t at) { return ByteOrder::Le32(f.data() + at); }

std::string Num(uint64_t n) { return std::to_string(n); }

std::string Hex(uint32_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        s += digits[(n >> shift) & 15];
    return s;
}

using THeader = TBmpLayout;

// Pixel (x, y) of the file's row order, named as the map maker sees it:
// counted from the top left corner.
std::string Place(const THeader &h, uint64_t x, uint64_t fileRow)
{
    const uint64_t row = h.TopDown ? fileRow : h.Height - 1 - fileRow;
    return "pixel (" + Num(x) + ", " + Num(row) + ")";
}

std::string IndexProblem(const THeader &h, uint64_t x, uint64_t fileRow, uint32_t index)
{
    return ColourIndexProblem(x, h.TopDown ? fileRow : h.Height - 1 - fileRow, index, h.Colours);
}

bool Contiguous(uint32_t mask)
{
    const uint64_t m = mask;
    return ((m + (m & (~m + 1))) & m) == 0;
}

std::string MaskProblem(std::span<const uint8_t> f, const THeader &h)
{
    const uint64_t at = FileHeaderSize + 40; // right after the 40-byte part, in every version
    const int count = h.InfoSize >= 56 ? 4 : 3; // the 56-byte header and later ones have an alpha mask
    const char *const names[] = {"red", "green", "blue", "alpha"};
    uint32_t masks[4] = {};
    for (int i = 0; i < count; ++i)
        masks[i] = Read32(f, at + 4 * uint64_t(i));
    for (int i = 0; i < count; ++i) {
        if (!Contiguous(masks[i]))
            return std::string("the ") + names[i] + " bit mask " + Hex(masks[i]) + " has gaps";
        if (h.BitsPerPixel == 16 && masks[i] > 0xFFFF)
            return std::string("the ") + names[i] + " bit mask " + Hex(masks[i]) +
                   " reaches beyond the 16 bits of a pixel";
        // The decoder scales a colour field by 256 / 2^bits, which is 0 for
        // more than 8 bits: all red would read as 0.
        if (i == 0 && (masks[0] >> std::countr_zero(masks[0] | 0x80000000u)) > 0xFF)
            return "the red bit mask " + Hex(masks[0]) + " has " + Num(uint64_t(std::popcount(masks[0]))) +
                   " bits; red values of more than 8 bits cannot be read";
        for (int j = 0; j < i; ++j)
            if (masks[i] & masks[j])
                return std::string("the ") + names[j] + " and " + names[i] + " bit masks " + Hex(masks[j]) +
                       " and " + Hex(masks[i]) + " overlap";
    }
    return {};
}

// Walks run-length data to its end-of-bitmap mark. Every pixel must be
// written exactly by the data: a run or literal past the right edge or the
// last row, a jump, a line or the data ending early are all refused.
std::string RunLengthProblem(std::span<const uint8_t> f, const THeader &h)
{
    const bool four = h.Compression == RunLength4;
    const uint64_t end = h.ImageSize != 0 ? h.DataOffset + h.ImageSize : f.size();
    uint64_t at = h.DataOffset, x = 0, y = 0;
    const auto truncated = [&] {
        return "the run-length data is truncated: it ends at byte " + Num(at) + " with " + Place(h, x, y) +
               " and the pixels after it not yet written";
    };
    const auto pixelsFit = [&](uint64_t count) -> std::string {
        if (y >= h.Height)
            return "the run-length data goes on after the last row";
        if (x + count > h.Width)
            return "a run of " + Num(count) + " pixels from " + Place(h, x, y) + " reaches past the right edge (width " +
                   Num(h.Width) + ")";
        return {};
    };
    const auto checkIndex = [&](uint64_t px, uint32_t index) -> std::string {
        return index >= h.Colours ? IndexProblem(h, px, y, index) : std::string();
    };
    for (;;) {
        if (end - at < 2) {
            // Data that stops right after the last pixel, without the mark, is whole.
            if (at == end && (y == h.Height || (y + 1 == h.Height && x == h.Width)))
                return {};
            return truncated();
        }
        const uint32_t count = f[at], value = f[at + 1];
        at += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            if (std::string problem = pixelsFit(count); !problem.empty())
                return problem;
            if (std::string p = checkIndex(x, four ? value >> 4 : value); !p.empty())
                return p;
            if (four && count > 1)
                if (std::string p = checkIndex(x + 1, value & 15); !p.empty())
                    return p;
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (y >= h.Height)
                return "the run-length data goes on after the last row";
            if (x < h.Width)
                return "row " + Num(h.Height - 1 - y) + " of the run-length data ends after " + Num(x) + " of its " +
                       Num(h.Width) + " pixels; the rest would be undefined";
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            if (y == h.Height || (y + 1 == h.Height && x == h.Width))
                return {};
            if (x == h.Width) { // the next pixel is the first of the next row
                x = 0;
                ++y;
            }
            return "the run-length data ends at " + Place(h, x, y) + "; the pixels from there on would be undefined";
        case 2: { // jump right and up
            if (end - at < 2)
                return truncated();
            const uint64_t dx = f[at], dy = f[at + 1];
            at += 2;
            if (x + dx > h.Width || y + dy >= h.Height)
                return "a jump by (" + Num(dx) + ", " + Num(dy) + ") from " + Place(h, x, y) +
                       " leaves the picture (" + Num(h.Width) + " x " + Num(h.Height) + ")";
            if (dx != 0 || dy != 0)
                return "a jump by (" + Num(dx) + ", " + Num(dy) + ") from " + Place(h, x, y) +
                       " skips pixels, which would be undefined";
            break;
        }
        default: { // literal pixels, padded to an even number of bytes
            const uint64_t bytes = four ? (value + 1) / 2 : value;
            if (end - at < bytes)
                return truncated();
            if (std::string problem = pixelsFit(value); !problem.empty())
                return problem;
            for (uint64_t i = 0; i < value; ++i) {
                const uint8_t b = f[at + (four ? i / 2 : i)];
                const uint32_t index = four ? (i % 2 == 0 ? b >> 4 : b & 15u) : b;
                if (std::string p = checkIndex(x + i, index); !p.empty())
                    return p;
            }
            at += bytes + bytes % 2;
            if (at > end)
                at = end; // a missing pad byte at the very end
            x += value;
        }
        }
    }
}

} // namespace

bool LooksLikeBmp(std::span<const uint8_t> File)
{
    return File.size() >= 2 && File[0] == 'B' && File[1] == 'M';
}

std::string ColourIndexProblem(uint64_t X, uint64_t Y, uint32_t Index, uint64_t Colours)
{
    return "pixel (" + Num(X) + ", " + Num(Y) + ") has colour index " + Num(Index) +
           ", but the colour table has only " + Num(Colours) + (Colours == 1 ? " colour" : " colours");
}

uint32_t BmpRedBits(const TBmpLayout &Layout)
{
    if (Layout.BitsPerPixel != 16 && Layout.BitsPerPixel != 32)
        return 8;
    const int bits = std::popcount(Layout.RedMask);
    return bits == 0 ? 8 : uint32_t(bits); // no red at all reads as red 0
}

bool BmpRowsStandAlone(const TBmpLayout &Layout)
{
    return Layout.Compression != RunLength8 && Layout.Compression != RunLength4;
}

std::string BmpProblem(std::span<const uint8_t> f, TBmpLayout &h)
{
    const uint64_t fileSize = f.size();
    if (fileSize < FileHeaderSize + 4)
        return "the file is truncated: it ends inside the file header (" + Num(fileSize) + " bytes)";
    h = TBmpLayout{};
    h.DataOffset = Read32(f, 10);
    h.InfoSize = Read32(f, 14);
    switch (h.InfoSize) {
    case 12: case 40: case 52: case 56: case Os2InfoSize: case 108: case 124:
        break;
    default:
        return "the info header claims a size of " + Num(h.InfoSize) + " bytes, which no BMP version has";
    }
    if (FileHeaderSize + h.InfoSize > fileSize)
        return "the file is truncated: its info header of " + Num(h.InfoSize) + " bytes runs past the end of the file (" +
               Num(fileSize) + " bytes)";

    const bool core = h.InfoSize == 12;
    uint32_t planes;
    if (core) {
        h.Width = Read16(f, 18);
        h.Height = Read16(f, 20);
        planes = Read16(f, 22);
        h.BitsPerPixel = Read16(f, 24);
    } else {
        const int32_t width = int32_t(Read32(f, 18)), height = int32_t(Read32(f, 22));
        if (width <= 0 || height == 0 || height == INT32_MIN)
            return "the header claims " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        h.Width = uint64_t(width);
        h.TopDown = height < 0;
        h.Height = uint64_t(height < 0 ? -int64_t(height) : height);
        planes = Read16(f, 26);
        h.BitsPerPixel = Read16(f, 28);
        h.Compression = Read32(f, 30);
        h.ImageSize = Read32(f, 34);
        h.Colours = Read32(f, 46);
    }
    if (h.Width == 0 || h.Height == 0)
        return "the header claims " + Num(h.Width) + " x " + Num(h.Height) + " pixels";
    if (planes != 1)
        return "the header claims " + Num(planes) + " colour planes; a BMP has 1";
    const uint32_t bits = h.BitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "the header claims " + Num(bits) + " bits per pixel; a BMP has 1, 4, 8, 16, 24 or 32";

    if (h.InfoSize == Os2InfoSize && h.Compression == 3)
        return "the pixel data is compressed with the OS/2 Huffman coding, which cannot be read";
    if (h.InfoSize == Os2InfoSize && h.Compression == 4)
        return "the pixel data is OS/2 24-bit run-length data (RLE24), which cannot be read";
    switch (h.Compression) {
    case PlainPixels:
        break;
    case RunLength8:
    case RunLength4:
        if (bits != (h.Compression == RunLength8 ? 8u : 4u))
            return "the header claims " + std::string(h.Compression == RunLength8 ? "8" : "4") +
                   "-bit run-length data for a picture of " + Num(bits) + " bits per pixel";
        if (h.TopDown)
            return "the header claims run-length data for a top-down picture, which BMP does not allow";
        break;
    case BitFields:
        if (bits != 16 && bits != 32)
            return "the header claims bit-field pixels for a picture of " + Num(bits) + " bits per pixel; "
                   "they need 16 or 32";
        break;
    case 4:
    case 5:
        return "the pixel data is an embedded JPEG or PNG picture, which cannot be read";
    case 6:
        return "the pixel data uses alpha bit fields, which cannot be read";
    default:
        return "the header claims compression type " + Num(h.Compression) + ", which BMP does not have";
    }

    // Bit masks: behind the 40-byte header, or part of the longer headers.
    uint64_t tableStart = FileHeaderSize + h.InfoSize;
    if (h.Compression == BitFields) {
        if (h.InfoSize == 40) {
            tableStart += 12;
            if (tableStart > fileSize)
                return "the file is truncated: it ends inside the bit masks";
        }
        if (std::string problem = MaskProblem(f, h); !problem.empty())
            return problem;
        h.RedMask = Read32(f, FileHeaderSize + 40);
        h.GreenMask = Read32(f, FileHeaderSize + 44);
        h.BlueMask = Read32(f, FileHeaderSize + 48);
    } else if (bits == 16) {
        h.RedMask = 0x7C00; // 5-5-5
        h.GreenMask = 0x03E0;
        h.BlueMask = 0x001F;
    } else if (bits == 32) {
        h.RedMask = 0x00FF0000;
        h.GreenMask = 0x0000FF00;
        h.BlueMask = 0x000000FF;
    }
    h.TableStart = tableStart;

    // The colour table lies between the headers and the pixel data.
    if (bits <= 8) {
        const uint64_t reachable = uint64_t(1) << bits;
        if (h.Colours > reachable)
            return "the header claims " + Num(h.Colours) + " colours, more than " + Num(bits) +
                   (bits == 1 ? " bit" : " bits") + " per pixel can index (" + Num(reachable) + ")";
        if (h.Colours == 0)
            h.Colours = reachable;
    }
    const uint64_t tableEnd = tableStart + h.Colours * (core ? 3 : 4);
    if (h.DataOffset >= fileSize)
        return "the file is truncated: the pixel data would begin at byte " + Num(h.DataOffset) + " of " +
               Num(fileSize);
    if (tableEnd > h.DataOffset && h.Colours == 0)
        return "the bit masks (bytes " + Num(tableStart - 12) + " to " + Num(tableStart) +
               ") overlap the pixel data, which begins at byte " + Num(h.DataOffset);
    if (tableEnd > h.DataOffset)
        return "the colour table of " + Num(h.Colours) + " colours (bytes " + Num(tableStart) + " to " + Num(tableEnd) +
               ") overlaps the pixel data, which begins at byte " + Num(h.DataOffset);

    if (h.Compression == RunLength8 || h.Compression == RunLength4) {
        if (h.ImageSize > fileSize - h.DataOffset)
            return "the file is truncated: its " + Num(h.ImageSize) + " bytes of run-length data from byte " +
                   Num(h.DataOffset) + " need a file of " + Num(h.DataOffset + h.ImageSize) + " bytes, the file has " +
                   Num(fileSize);
        return RunLengthProblem(f, h);
    }

    const uint64_t stride = (h.Width * bits + 31) / 32 * 4;
    const uint64_t needed = stride * h.Height;
    if (needed > fileSize - h.DataOffset)
        return "the file is truncated: " + Num(h.Width) + " x " + Num(h.Height) + " pixels of " + Num(bits) +
               " bits need " + Num(needed) + " bytes of pixel data from byte " + Num(h.DataOffset) +
               ", the file has " + Num(fileSize) + " bytes";
    // Colour indices of plain rows are checked as they are decoded: reading
    // them here too would cost a second pass over the file.
    return {};
}
