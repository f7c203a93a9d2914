// The PNG check of the chunks: every chunk's checksum, the header, the order
// of the chunks, and whether the compressed image data could hold the picture
// that the header claims at all, before anything is allocated for it. The
// image data itself is checked as it is decoded (PngDecode.cpp).
#include "ByteOrder.h"
#include "PictureCheck.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate turns at most this many bytes into one byte (zlib's own figure).
constexpr uint64_t MaxDeflateRatio = 1032;

uint32_t ReadBig32(std::span<const uint8_t> f, uint64_t at) { return ByteOrder::Be32(f.data() + at); }

std::string Num(uint64_t n) { return std::to_string(n); }

constexpr TPngPass Adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr TPngPass Whole[1] = {{0, 0, 1, 1}};

// Bits per pixel of a colour type and bit depth, or 0 for a pair PNG does not have.
uint32_t BitsPerPixel(uint32_t colourType, uint32_t depth)
{
    const auto oneOf = [depth](std::initializer_list<uint32_t> allowed) {
        for (uint32_t d : allowed)
            if (d == depth)
                return true;
        return false;
    };
    switch (colourType) {
    case 0: return oneOf({1, 2, 4, 8, 16}) ? depth : 0;      // grey
    case 2: return oneOf({8, 16}) ? 3 * depth : 0;           // red, green, blue
    case 3: return oneOf({1, 2, 4, 8}) ? depth : 0;          // colour index
    case 4: return oneOf({8, 16}) ? 2 * depth : 0;           // grey and alpha
    case 6: return oneOf({8, 16}) ? 4 * depth : 0;           // red, green, blue and alpha
    default: return 0;
    }
}

// The bytes of the unpacked image data: each row a filter byte and its pixels;
// an interlaced picture is seven smaller pictures one after the other.
uint64_t UnpackedSize(uint64_t width, uint64_t height, uint32_t bits, bool interlaced)
{
    const auto rows = [bits](uint64_t w, uint64_t h) { return w == 0 ? 0 : h * (1 + (w * bits + 7) / 8); };
    if (!interlaced)
        return rows(width, height);
    uint64_t total = 0;
    for (const TPngPass &p : Adam7)
        total += rows(p.Columns(width), p.Rows(height));
    return total;
}

} // namespace

std::span<const TPngPass> PngPasses(bool Interlaced)
{
    return Interlaced ? std::span<const TPngPass>(Adam7) : std::span<const TPngPass>(Whole);
}

bool LooksLikePng(std::span<const uint8_t> File)
{
    return File.size() >= 8 && std::memcmp(File.data(), Signature, 8) == 0;
}

TPngCheck::TPngCheck(std::span<const uint8_t> File) : f(File) {}

std::string TPngCheck::LayoutProblem()
{
    uint64_t at = 8;
    bool headerSeen = false, paletteSeen = false, ended = false, dataEnded = false;
    uint64_t packedBytes = 0;
    while (!ended) {
        if (f.size() - at < 12)
            return "the file is truncated: it ends at byte " + Num(f.size()) + " before its end chunk (IEND)";
        const uint64_t length = ReadBig32(f, at);
        const std::string type(reinterpret_cast<const char *>(f.data() + at + 4), 4);
        if (length > 0x7FFFFFFF || f.size() - at - 12 < length)
            return "the file is truncated: the chunk " + type + " at byte " + Num(at) + " claims " + Num(length) +
                   " bytes, more than the file has left";
        const uint32_t stored = ReadBig32(f, at + 8 + length);
        const uint32_t computed = uint32_t(crc32(crc32(0, nullptr, 0), f.data() + at + 4, uInt(length + 4)));
        if (stored != computed)
            return "the chunk " + type + " at byte " + Num(at) + " is damaged (its checksum does not match)";
        const std::span<const uint8_t> body = f.subspan(at + 8, length);
        if (!headerSeen && type != "IHDR")
            return "the file does not begin with its header chunk (IHDR)";
        if (type == "IHDR") {
            if (headerSeen || length != 13)
                return "the header chunk (IHDR) is malformed";
            headerSeen = true;
            width = ReadBig32(body, 0);
            height = ReadBig32(body, 4);
            colourType = body[9];
            depth = body[8];
            bits = BitsPerPixel(colourType, depth);
            interlaced = body[12] == 1;
            if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
                return "the header claims " + Num(width) + " x " + Num(height) + " pixels";
            if (bits == 0)
                return "the header claims colour type " + Num(colourType) + " with " + Num(body[8]) +
                       " bits, which PNG does not have";
            if (body[10] != 0 || body[11] != 0 || body[12] > 1)
                return "the header claims a compression, filter or interlace method that PNG does not have";
        } else if (type == "PLTE") {
            if (!data.empty())
                return "the colour table (PLTE) at byte " + Num(at) + " comes after the image data (IDAT), "
                       "which it must precede";
            if (paletteSeen || length == 0 || length % 3 != 0 || length > 3 * 256)
                return "the colour table (PLTE) is malformed";
            paletteSeen = true;
            colours = length / 3;
            for (uint64_t i = 0; i < colours; ++i)
                paletteReds.push_back(body[3 * i]);
        } else if (type == "IDAT") {
            if (dataEnded)
                return "the image data (IDAT) is split by other chunks";
            data.push_back(body);
            packedBytes += length;
        } else if (type == "IEND") {
            ended = true;
        } else if ((uint8_t(type[0]) & 0x20) == 0) {
            // Ancillary chunks (transparency, gamma, text, ...) never change a
            // red value; a critical one that is not known might.
            return "the chunk " + type + " at byte " + Num(at) +
                   " is marked critical, but it is not a chunk of the PNG standard; the picture cannot be "
                   "read without knowing it";
        }
        if (!data.empty() && type != "IDAT")
            dataEnded = true;
        at += 12 + length;
    }
    if (colourType == 3 && !paletteSeen)
        return "the picture uses a colour table, but the file has none (no PLTE chunk)";
    if (data.empty())
        return "the file has no image data (no IDAT chunk)";

    expected = UnpackedSize(width, height, bits, interlaced);
    if (expected > packedBytes * MaxDeflateRatio + 64)
        return Claim() + ", but the file holds only " + Num(packedBytes) + " bytes of compressed image data (of " +
               Num(f.size()) + " bytes in all), far too few for them";
    return {};
}

std::string TPngCheck::Claim() const
{
    return "the header claims " + Num(width) + " x " + Num(height) + " pixels";
}
