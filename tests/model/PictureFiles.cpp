#include "PictureFiles.h"

#include <zlib.h>

#include <stdexcept>

namespace PictureFiles {

void Put16(std::string &s, size_t at, uint32_t v)
{
    s[at] = char(v & 0xFF);
    s[at + 1] = char((v >> 8) & 0xFF);
}

void Put32(std::string &s, size_t at, uint32_t v)
{
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

namespace {

uint32_t Get16(const std::string &s, size_t at) { return uint32_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }
uint32_t Get32(const std::string &s, size_t at) { return Get16(s, at) | Get16(s, at + 2) << 16; }

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
    std::string bytes;
    for (size_t x = 0; x < row.size();) {
        size_t n = 1;
        while (x + n < row.size() && row[x + n] == row[x] && n < 255)
            ++n;
        const uint32_t value = bmp.Compression == 2 ? (row[x] << 4 | row[x]) : row[x];
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
    const size_t masks = bmp.Compression == 3 && bmp.HeaderSize == 40 ? 12 : 0;
    const size_t offset = 14 + bmp.HeaderSize + masks + bmp.Palette.size() * (core ? 3 : 4);
    std::string pixels;
    for (size_t i = 0; i < height; ++i) {
        const auto &row = bmp.Pixels[bmp.TopDown ? i : height - 1 - i];
        pixels += bmp.Compression == 1 || bmp.Compression == 2 ? RunLengthRow(bmp, row) : PlainRow(bmp, row);
    }
    if (bmp.Compression == 1 || bmp.Compression == 2)
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
        if (bmp.Compression == 3 || bmp.HeaderSize >= 108)
            for (size_t i = 0; i < (bmp.HeaderSize >= 108 ? 4u : 3u); ++i)
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

std::optional<std::vector<std::vector<uint8_t>>> ReferenceReds(const std::string &f)
{
    if (f.size() < 26)
        return std::nullopt;
    const uint32_t headerSize = Get32(f, 14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 108 && headerSize != 124)
        return std::nullopt;
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
        std::array<uint32_t, 3> masks = {0x7C00, 0x03E0, 0x001F};
        if (bits == 24 || bits == 32)
            masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
        if (compression == 3)
            for (size_t i = 0; i < 3; ++i)
                masks[i] = Get32(f, 54 + 4 * i);
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
                if (bits < 8) {
                    value = (value >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                    rows[size_t(y)][size_t(x)] = redOfIndex(value);
                } else if (bits == 8) {
                    rows[size_t(y)][size_t(x)] = redOfIndex(value);
                } else {
                    // The decoder widens a red field of n bits by shifting it
                    // left by 8 - n; a field of more than 8 bits it cannot read.
                    uint32_t mask = masks[0], shift = 0;
                    while (mask && !(mask & 1)) {
                        mask >>= 1;
                        ++shift;
                    }
                    uint32_t fieldBits = 0;
                    while (mask >> fieldBits)
                        ++fieldBits;
                    if (fieldBits > 8)
                        return std::nullopt;
                    const uint32_t red = fieldBits == 0 ? 0 : ((value & masks[0]) >> shift) << (8 - fieldBits);
                    rows[size_t(y)][size_t(x)] = uint8_t(red);
                }
            }
    } else {
        return std::nullopt;
    }

    std::vector<std::vector<uint8_t>> reds(size_t(height), std::vector<uint8_t>(size_t(width), 0));
    for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x) {
            const auto &red = rows[size_t(y)][size_t(x)];
            if (!red)
                return std::nullopt; // a pixel the data does not give
            reds[size_t(topDown ? y : height - 1 - y)][size_t(x)] = *red;
        }
    return reds;
}

namespace {

std::string Big32(uint32_t v)
{
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

} // namespace

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

std::string MakePng(uint32_t width, uint32_t height, uint8_t colourType, uint8_t depth,
                    const std::vector<std::string> &rows, const std::vector<uint32_t> &palette)
{
    std::string header = Big32(width) + Big32(height);
    header += {char(depth), char(colourType), 0, 0, 0};
    std::string raw;
    for (const std::string &row : rows)
        raw += '\0' + row;
    std::string file = PngSignature() + PngChunk("IHDR", header);
    if (!palette.empty()) {
        std::string entries;
        for (uint32_t c : palette)
            entries += {char(c >> 16), char((c >> 8) & 0xFF), char(c & 0xFF)};
        file += PngChunk("PLTE", entries);
    }
    return file + PngChunk("IDAT", Deflate(raw)) + PngChunk("IEND", "");
}

} // namespace PictureFiles
