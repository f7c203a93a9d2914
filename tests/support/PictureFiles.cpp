#include "PictureFiles.h"

#include "ByteOrder.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace PictureFiles {

namespace {

uint8_t *At(std::string &s, size_t at) { return reinterpret_cast<uint8_t *>(s.data() + at); }
const uint8_t *At(const std::string &s, size_t at) { return reinterpret_cast<const uint8_t *>(s.data() + at); }
uint32_t Get16(const std::string &s, size_t at) { return ByteOrder::Le16(At(s, at)); }
uint32_t Get32(const std::string &s, size_t at) { return ByteOrder::Le32(At(s, at)); }

std::string Big32(uint32_t v)
{
    std::string s(4, '\0');
    ByteOrder::PutBe32(At(s, 0), v);
    return s;
}

// The passes of an interlaced PNG (Adam7): first column, first row, column
// step, row step; a plain PNG has the one pass {0, 0, 1, 1}.
constexpr uint32_t Adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr uint32_t OnePass[1][4] = {{0, 0, 1, 1}};

uint32_t Samples(uint32_t colourType)
{
    switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

} // namespace

void Put16(std::string &s, size_t at, uint32_t v) { ByteOrder::PutLe16(At(s, at), uint16_t(v)); }
void Put32(std::string &s, size_t at, uint32_t v) { ByteOrder::PutLe32(At(s, at), v); }

// ---- BMP ------------------------------------------------------------------

namespace {

std::string PlainRow(const TBmp &bmp, const std::vector<uint32_t> &row)
{
    std::string bytes;
    if (bmp.Bits < 8) {
        const uint32_t perByte = 8 / bmp.Bits;
        for (size_t x = 0; x < row.size(); x += perByte) {
            uint32_t b = 0;
            for (uint32_t i = 0; i < perByte; ++i)
                b |= (x + i < row.size() ? row[x + i] : 0) << (8 - bmp.Bits * (i + 1));
            bytes += char(b);
        }
    } else {
        for (uint32_t value : row)
            for (uint32_t i = 0; i < bmp.Bits / 8; ++i)
                bytes += char((value >> (8 * i)) & 0xFF);
    }
    while (bytes.size() % 4)
        bytes += '\0';
    return bytes;
}

std::string RunLengthRow(const TBmp &bmp, const std::vector<uint32_t> &row)
{
    const bool four = bmp.Compression == 2;
    std::string bytes;
    for (size_t x = 0; x < row.size();) {
        const size_t left = row.size() - x;
        if (bmp.Literals && left >= 3) { // literal pixels, padded to an even number of bytes
            const size_t n = std::min<size_t>(left, 255);
            std::string literal;
            for (size_t i = 0; i < n; ++i) {
                if (!four)
                    literal += char(row[x + i]);
                else if (i % 2 == 0)
                    literal += char(row[x + i] << 4);
                else
                    literal.back() = char(literal.back() | row[x + i]);
            }
            if (literal.size() % 2)
                literal += '\0';
            bytes += std::string{char(0), char(n)} + literal;
            x += n;
            continue;
        }
        size_t n = 1;
        while (x + n < row.size() && row[x + n] == row[x] && n < 255)
            ++n;
        const uint32_t value = four ? (row[x] << 4 | row[x]) : row[x];
        bytes += {char(n), char(value)};
        x += n;
    }
    return bytes + std::string{char(0), char(0)};
}

} // namespace

std::string Encode(const TBmp &bmp)
{
    const size_t height = bmp.Pixels.size(), width = bmp.Pixels[0].size();
    const bool core = bmp.HeaderSize == 12;
    const bool runLength = bmp.Compression == 1 || bmp.Compression == 2;
    const size_t masks = bmp.Compression == 3 && bmp.HeaderSize == 40 ? 12 : 0;
    const size_t offset = 14 + bmp.HeaderSize + masks + bmp.Palette.size() * (core ? 3 : 4);
    std::string pixels;
    for (size_t i = 0; i < height; ++i) {
        const auto &row = bmp.Pixels[bmp.TopDown ? i : height - 1 - i];
        pixels += runLength ? RunLengthRow(bmp, row) : PlainRow(bmp, row);
    }
    if (runLength)
        pixels += {char(0), char(1)};

    std::string file(offset, '\0');
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, uint32_t(offset + pixels.size()));
    Put32(file, DataOffsetField, uint32_t(offset));
    Put32(file, 14, bmp.HeaderSize);
    if (core) {
        Put16(file, 18, uint32_t(width));
        Put16(file, 20, uint32_t(height));
        Put16(file, 22, 1);
        Put16(file, 24, bmp.Bits);
    } else {
        Put32(file, WidthField, uint32_t(width));
        Put32(file, HeightField, bmp.TopDown ? uint32_t(-int32_t(height)) : uint32_t(height));
        Put16(file, PlanesField, 1);
        Put16(file, BitsField, bmp.Bits);
        Put32(file, CompressionField, bmp.Compression);
        Put32(file, ImageSizeField, uint32_t(pixels.size()));
        Put32(file, ColourCountField, bmp.WriteColourCount ? uint32_t(bmp.Palette.size()) : 0);
        // The masks follow the 40-byte part: behind a 40-byte header, or
        // inside the longer Windows headers (52: RGB; 56 and later: RGBA).
        const bool windowsMasks = bmp.HeaderSize != 64 && bmp.HeaderSize >= 52;
        if (bmp.Compression == 3 || windowsMasks)
            for (size_t i = 0; i < (bmp.HeaderSize >= 56 && windowsMasks ? 4u : 3u); ++i)
                Put32(file, 54 + 4 * i, bmp.Masks[i]);
        if (bmp.HeaderSize >= 108)
            Put32(file, 70, 0x73524742); // colour space "sRGB"
    }
    size_t at = 14 + bmp.HeaderSize + masks;
    for (uint32_t colour : bmp.Palette) {
        file[at] = char(colour & 0xFF);
        file[at + 1] = char((colour >> 8) & 0xFF);
        file[at + 2] = char((colour >> 16) & 0xFF);
        at += core ? 3 : 4;
    }
    return file + pixels;
}

size_t PixelDataOffset(const std::string &file) { return Get32(file, DataOffsetField); }

namespace {

std::optional<TReds> ReferenceBmpReds(const std::string &f)
{
    if (f.size() < 26)
        return std::nullopt;
    const uint32_t headerSize = Get32(f, 14);
    const bool core = headerSize == 12;
    switch (headerSize) {
    case 12: case 40: case 52: case 56: case 64: case 108: case 124: break;
    default: return std::nullopt;
    }
    if (f.size() < 14 + headerSize)
        return std::nullopt;
    int64_t width, height;
    uint32_t bits, compression = 0, colours = 0;
    if (core) {
        width = Get16(f, 18);
        height = Get16(f, 20);
        bits = Get16(f, 24);
    } else {
        width = int32_t(Get32(f, WidthField));
        height = int32_t(Get32(f, HeightField));
        bits = Get16(f, BitsField);
        compression = Get32(f, CompressionField);
        colours = Get32(f, ColourCountField);
    }
    if (headerSize == 64 && compression >= 3)
        return std::nullopt; // OS/2 Huffman and RLE24
    const bool topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return std::nullopt;
    const size_t offset = Get32(f, DataOffsetField);
    const auto byteAt = [&](size_t at) -> std::optional<uint8_t> {
        if (at >= f.size())
            return std::nullopt;
        return uint8_t(f[at]);
    };

    // Red value of each colour index.
    std::vector<uint8_t> table;
    if (bits <= 8) {
        const size_t count = colours ? colours : size_t(1) << bits;
        const size_t start = 14 + headerSize;
        for (size_t i = 0; i < count; ++i) {
            const auto red = byteAt(start + i * (core ? 3 : 4) + 2);
            if (!red)
                return std::nullopt;
            table.push_back(*red);
        }
    }
    const auto redOfIndex = [&](uint32_t index) -> std::optional<uint8_t> {
        if (index >= table.size())
            return std::nullopt;
        return table[index];
    };

    // The red field of 16 and 32-bit pixels: its mask, where it starts, how wide.
    uint32_t redMask = bits == 16 ? 0x7C00 : 0x00FF0000;
    if (compression == 3)
        redMask = Get32(f, 54);
    uint32_t shift = 0, redBits = 0;
    while (redMask && !((redMask >> shift) & 1))
        ++shift;
    while ((redMask >> shift) >> redBits)
        ++redBits;
    TReds result;
    if ((bits == 16 || bits == 32) && redBits != 0)
        result.Bits = redBits;
    if (result.Bits > 8)
        return std::nullopt;

    // File rows, bottom row first unless top-down; filled in file order.
    std::vector<std::vector<std::optional<uint8_t>>> rows(size_t(height),
                                                          std::vector<std::optional<uint8_t>>(size_t(width), std::nullopt));
    if (compression == 1 || compression == 2) {
        const bool four = compression == 2;
        size_t at = offset;
        int64_t x = 0, y = 0;
        for (;;) {
            const auto count = byteAt(at), value = byteAt(at + 1);
            if (!count || !value)
                break; // data ends
            at += 2;
            if (*count > 0) {
                for (uint32_t i = 0; i < *count; ++i, ++x) {
                    if (x >= width || y >= height)
                        return std::nullopt;
                    const uint32_t index = four ? (i % 2 == 0 ? *value >> 4 : *value & 15) : *value;
                    rows[size_t(y)][size_t(x)] = redOfIndex(index);
                }
            } else if (*value == 0) {
                x = 0;
                ++y;
            } else if (*value == 1) {
                break;
            } else if (*value == 2) {
                return std::nullopt; // jumps leave pixels unwritten
            } else {
                const size_t bytes = four ? (*value + 1) / 2 : *value;
                for (uint32_t i = 0; i < *value; ++i, ++x) {
                    const auto b = byteAt(at + (four ? i / 2 : i));
                    if (!b || x >= width || y >= height)
                        return std::nullopt;
                    rows[size_t(y)][size_t(x)] = redOfIndex(four ? (i % 2 == 0 ? *b >> 4 : *b & 15) : *b);
                }
                at += bytes + bytes % 2;
            }
        }
    } else if (compression == 0 || compression == 3) {
        const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
        for (int64_t y = 0; y < height; ++y)
            for (int64_t x = 0; x < width; ++x) {
                const size_t bit = size_t(x) * bits;
                const size_t at = offset + size_t(y) * stride + bit / 8;
                uint32_t value = 0;
                for (uint32_t i = 0; i < (bits + 7) / 8; ++i) {
                    const auto b = byteAt(at + i);
                    if (!b)
                        return std::nullopt;
                    value |= uint32_t(*b) << (8 * i);
                }
                if (bits < 8)
                    rows[size_t(y)][size_t(x)] = redOfIndex((value >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
                else if (bits == 8)
                    rows[size_t(y)][size_t(x)] = redOfIndex(value);
                else
                    rows[size_t(y)][size_t(x)] = uint8_t((value & redMask) >> shift);
            }
    } else {
        return std::nullopt;
    }

    result.Rows.assign(size_t(height), std::vector<uint8_t>(size_t(width), 0));
    for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x) {
            const auto &red = rows[size_t(y)][size_t(x)];
            if (!red)
                return std::nullopt; // a pixel the data does not give
            result.Rows[size_t(topDown ? y : height - 1 - y)][size_t(x)] = *red;
        }
    return result;
}

// ---- PNG ------------------------------------------------------------------

int Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// The predictor of filter type `type` for byte i of a row.
int Predict(uint8_t type, const std::string &row, const std::string &above, size_t i, size_t bpp)
{
    const int a = i >= bpp ? uint8_t(row[i - bpp]) : 0, b = uint8_t(above[i]);
    const int c = i >= bpp ? uint8_t(above[i - bpp]) : 0;
    switch (type) {
    case 1: return a;
    case 2: return b;
    case 3: return (a + b) / 2;
    case 4: return Paeth(a, b, c);
    default: return 0;
    }
}

std::optional<TReds> ReferencePngReds(const std::string &f)
{
    uint32_t width = 0, height = 0, depth = 0, colourType = 0, interlace = 0;
    std::vector<uint8_t> paletteReds;
    std::string packed;
    for (size_t at = 8; at + 12 <= f.size();) {
        const uint32_t length = ByteOrder::Be32(At(f, at));
        const std::string type = f.substr(at + 4, 4);
        if (length > f.size() - at - 12)
            return std::nullopt;
        const std::string body = f.substr(at + 8, length);
        if (type == "IHDR" && length == 13) {
            width = ByteOrder::Be32(At(body, 0));
            height = ByteOrder::Be32(At(body, 4));
            depth = uint8_t(body[8]);
            colourType = uint8_t(body[9]);
            interlace = uint8_t(body[12]);
        } else if (type == "PLTE") {
            for (size_t i = 0; i + 2 < body.size(); i += 3)
                paletteReds.push_back(uint8_t(body[i]));
        } else if (type == "IDAT") {
            packed += body;
        } else if (type == "IEND") {
            break;
        }
        at += 12 + length;
    }
    if (width == 0 || height == 0 || width > 4096 || height > 4096)
        return std::nullopt;
    const uint32_t bitsPerPixel = Samples(colourType) * depth;
    const size_t bpp = std::max<size_t>(1, bitsPerPixel / 8);
    const auto &passes = interlace ? Adam7 : OnePass;
    const size_t passCount = interlace ? 7 : 1;

    size_t expected = 0;
    for (size_t p = 0; p < passCount; ++p) {
        const size_t w = width > passes[p][0] ? (width - passes[p][0] + passes[p][2] - 1) / passes[p][2] : 0;
        const size_t h = height > passes[p][1] ? (height - passes[p][1] + passes[p][3] - 1) / passes[p][3] : 0;
        if (w > 0)
            expected += h * (1 + (w * bitsPerPixel + 7) / 8);
    }
    std::string raw(expected + 1, '\0');
    uLongf size = uLongf(raw.size());
    if (uncompress(reinterpret_cast<Bytef *>(raw.data()), &size,
                   reinterpret_cast<const Bytef *>(packed.data()), uLong(packed.size())) != Z_OK ||
        size != expected)
        return std::nullopt;

    TReds result;
    result.Bits = colourType == 0 && depth < 8 ? depth : 8;
    result.Rows.assign(height, std::vector<uint8_t>(width, 0));
    size_t at = 0;
    for (size_t p = 0; p < passCount; ++p) {
        const size_t w = width > passes[p][0] ? (width - passes[p][0] + passes[p][2] - 1) / passes[p][2] : 0;
        const size_t h = height > passes[p][1] ? (height - passes[p][1] + passes[p][3] - 1) / passes[p][3] : 0;
        if (w == 0)
            continue;
        const size_t bytes = (w * bitsPerPixel + 7) / 8;
        std::string above(bytes, '\0');
        for (size_t r = 0; r < h; ++r) {
            const uint8_t type = uint8_t(raw[at]);
            if (type > 4)
                return std::nullopt;
            std::string row = raw.substr(at + 1, bytes);
            at += 1 + bytes;
            for (size_t i = 0; i < bytes; ++i)
                row[i] = char(uint8_t(row[i]) + Predict(type, row, above, i, bpp));
            above = row;
            for (size_t x = 0; x < w; ++x) {
                // The first sample of the pixel: grey, red or index.
                uint32_t sample;
                if (depth == 16)
                    sample = ByteOrder::Be16(At(row, x * bpp));
                else if (depth == 8)
                    sample = uint8_t(row[x * bpp]);
                else
                    sample = (uint8_t(row[x * depth / 8]) >> (8 - depth - x * depth % 8)) & ((1u << depth) - 1);
                uint8_t red;
                if (colourType == 3) {
                    if (sample >= paletteReds.size())
                        return std::nullopt;
                    red = paletteReds[sample];
                } else if (depth == 16) {
                    red = uint8_t(std::lround(sample * 255.0 / 65535.0));
                } else {
                    red = uint8_t(sample);
                }
                result.Rows[passes[p][1] + r * passes[p][3]][passes[p][0] + x * passes[p][2]] = red;
            }
        }
    }
    return result;
}

} // namespace

std::optional<TReds> ReferenceReds(const std::string &file)
{
    if (file.size() >= 8 && file.compare(0, 8, PngSignature()) == 0)
        return ReferencePngReds(file);
    return ReferenceBmpReds(file);
}

std::string PngSignature() { return std::string("\x89PNG\r\n\x1A\n", 8); }

std::string PngChunk(const std::string &type, const std::string &body)
{
    const std::string typed = type + body;
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(typed.data()), uInt(typed.size()));
    return Big32(uint32_t(body.size())) + typed + Big32(uint32_t(crc));
}

std::string Deflate(const std::string &raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(raw.data()),
                  uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

std::string PngHeader(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace)
{
    return PngChunk("IHDR", Big32(width) + Big32(height) + std::string{char(depth), char(colourType), 0, 0,
                                                                       char(interlace)});
}

namespace {

std::string PaletteChunk(const std::vector<uint32_t> &palette)
{
    std::string entries;
    for (uint32_t c : palette)
        entries += {char(c >> 16), char((c >> 8) & 0xFF), char(c & 0xFF)};
    return PngChunk("PLTE", entries);
}

} // namespace

std::string Encode(const TPng &png)
{
    const uint32_t samples = Samples(png.ColourType), bitsPerPixel = samples * png.Depth;
    const size_t bpp = std::max<size_t>(1, bitsPerPixel / 8);
    const auto &passes = png.Interlaced ? Adam7 : OnePass;
    std::string raw;
    for (size_t p = 0; p < (png.Interlaced ? 7u : 1u); ++p) {
        std::string above;
        uint8_t type = 0;
        for (uint32_t y = passes[p][1]; y < png.Height; y += passes[p][3]) {
            std::string row;
            uint32_t bitsUsed = 0;
            for (uint32_t x = passes[p][0]; x < png.Width; x += passes[p][2])
                for (uint32_t s = 0; s < samples; ++s) {
                    const uint16_t v = png.Pixels[y][x][s];
                    if (png.Depth == 16) {
                        row += {char(v >> 8), char(v & 0xFF)};
                    } else if (png.Depth == 8) {
                        row += char(v);
                    } else {
                        if (bitsUsed % 8 == 0)
                            row += '\0';
                        row.back() = char(uint8_t(row.back()) | v << (8 - png.Depth - bitsUsed % 8));
                        bitsUsed += png.Depth;
                    }
                }
            if (row.empty())
                break; // a pass without columns has no rows either
            if (above.empty())
                above.assign(row.size(), '\0');
            std::string filtered(row.size(), '\0');
            for (size_t i = 0; i < row.size(); ++i)
                filtered[i] = char(uint8_t(row[i]) - Predict(type, row, above, i, bpp));
            raw += char(type) + filtered;
            above = row;
            if (png.VaryFilters)
                type = uint8_t((type + 1) % 5);
        }
    }
    std::string file = PngSignature() + PngHeader(png.Width, png.Height, png.Depth, png.ColourType, png.Interlaced);
    if (!png.Palette.empty())
        file += PaletteChunk(png.Palette);
    if (!png.Transparency.empty())
        file += PngChunk("tRNS", png.Transparency);
    return file + PngChunk("IDAT", Deflate(raw)) + PngChunk("IEND", "");
}

std::string MakePng(uint32_t width, uint32_t height, uint8_t colourType, uint8_t depth,
                    const std::vector<std::string> &rows, const std::vector<uint32_t> &palette)
{
    std::string raw;
    for (const std::string &row : rows)
        raw += '\0' + row;
    std::string file = PngSignature() + PngHeader(width, height, depth, colourType);
    if (!palette.empty())
        file += PaletteChunk(palette);
    return file + PngChunk("IDAT", Deflate(raw)) + PngChunk("IEND", "");
}

} // namespace PictureFiles
