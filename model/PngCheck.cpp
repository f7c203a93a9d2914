// The PNG check. The decoder stops unpacking the image data once it has the
// rows it needs, so it never sees a wrong checksum at the end of the data, and
// it allocates the whole picture that the header claims before it finds out
// that the data is too short for it. Here every chunk's checksum is checked,
// and the image data is unpacked (into a small buffer that is thrown away) to
// its end, with its own checksum, and must give exactly the bytes that the
// header's size, colour type, bit depth and interlacing call for.
#include "PictureCheck.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate turns at most this many bytes into one byte (zlib's own figure).
constexpr uint64_t MaxDeflateRatio = 1032;

uint32_t ReadBig32(std::span<const uint8_t> f, uint64_t at)
{
    return uint32_t(f[at]) << 24 | uint32_t(f[at + 1]) << 16 | uint32_t(f[at + 2]) << 8 | uint32_t(f[at + 3]);
}

std::string Num(uint64_t n) { return std::to_string(n); }

// Adam7 passes: first column, first row, column step, row step.
constexpr uint64_t Adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

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
    for (const auto &p : Adam7) {
        const uint64_t w = width > p[0] ? (width - p[0] + p[2] - 1) / p[2] : 0;
        const uint64_t h = height > p[1] ? (height - p[1] + p[3] - 1) / p[3] : 0;
        total += rows(w, h);
    }
    return total;
}

// Unpacks the image data and counts its bytes; the zlib checksum is checked
// when the stream ends. Stops early once more bytes came out than expected.
// Keeps the bytes in `kept` when it is given.
std::string InflateProblem(const std::vector<std::span<const uint8_t>> &parts, uint64_t expected, uint64_t &unpacked,
                           std::vector<uint8_t> *kept)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return "the image data cannot be unpacked (out of memory)";
    std::array<uint8_t, 64 * 1024> sink;
    unpacked = 0;
    if (kept)
        kept->reserve(expected); // bounded: the layout check found the data can hold this much
    int status = Z_OK;
    std::string problem;
    for (size_t i = 0; i < parts.size() && status != Z_STREAM_END && problem.empty(); ++i) {
        stream.next_in = const_cast<Bytef *>(parts[i].data());
        stream.avail_in = uInt(parts[i].size());
        while (stream.avail_in > 0 && status != Z_STREAM_END) {
            stream.next_out = sink.data();
            stream.avail_out = uInt(sink.size());
            status = inflate(&stream, Z_NO_FLUSH);
            unpacked += sink.size() - stream.avail_out;
            if (kept && unpacked <= expected)
                kept->insert(kept->end(), sink.data(), sink.data() + (sink.size() - stream.avail_out));
            if (status == Z_DATA_ERROR) {
                problem = std::string("the image data is damaged (") + (stream.msg ? stream.msg : "bad data") + ")";
                break;
            }
            if (status != Z_OK && status != Z_STREAM_END) {
                problem = "the image data cannot be unpacked (zlib status " + std::to_string(status) + ")";
                break;
            }
            if (unpacked > expected)
                break;
        }
        if (unpacked > expected)
            break;
    }
    // Drain what the last input left in zlib's window.
    while (problem.empty() && status == Z_OK && unpacked <= expected) {
        stream.next_out = sink.data();
        stream.avail_out = uInt(sink.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const uint64_t got = sink.size() - stream.avail_out;
        unpacked += got;
        if (kept && unpacked <= expected)
            kept->insert(kept->end(), sink.data(), sink.data() + got);
        if (status == Z_DATA_ERROR)
            problem = std::string("the image data is damaged (") + (stream.msg ? stream.msg : "bad data") + ")";
        else if (status == Z_BUF_ERROR || got == 0)
            break; // needs more input than there is
    }
    inflateEnd(&stream);
    if (!problem.empty())
        return problem;
    if (unpacked == expected && status != Z_STREAM_END)
        return "the image data is truncated: its compressed stream does not end, so its checksum is missing";
    return {};
}

// Colour indices of a paletted picture: the decoder turns an index beyond the
// colour table into index 0 with no more than a warning. The rows are
// unfiltered (each against the row before it in its pass) to read them.
std::string IndexProblem(const std::vector<uint8_t> &raw, uint64_t width, uint64_t height, uint32_t depth,
                         bool interlaced, uint64_t colours)
{
    const uint64_t single[1][4] = {{0, 0, 1, 1}};
    const auto passes = interlaced ? std::span<const uint64_t[4]>(Adam7) : std::span<const uint64_t[4]>(single);
    uint64_t at = 0;
    for (const auto &p : passes) {
        const uint64_t w = width > p[0] ? (width - p[0] + p[2] - 1) / p[2] : 0;
        const uint64_t h = height > p[1] ? (height - p[1] + p[3] - 1) / p[3] : 0;
        if (w == 0)
            continue;
        const uint64_t bytes = (w * depth + 7) / 8;
        std::vector<uint8_t> previous(bytes, 0), row(bytes);
        for (uint64_t r = 0; r < h; ++r, at += 1 + bytes) {
            const uint8_t filter = raw[at];
            const uint8_t *in = raw.data() + at + 1;
            for (uint64_t i = 0; i < bytes; ++i) {
                const int a = i > 0 ? row[i - 1] : 0, b = previous[i], c = i > 0 ? previous[i - 1] : 0;
                int predicted;
                switch (filter) {
                case 0: predicted = 0; break;
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: {
                    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    return "row " + Num(p[1] + r * p[3]) + " of the image data has filter type " + Num(filter) +
                           ", which PNG does not have";
                }
                row[i] = uint8_t(in[i] + predicted);
            }
            for (uint64_t x = 0; x < w; ++x) {
                const uint64_t bit = x * depth;
                const uint32_t index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
                if (index >= colours)
                    return "pixel (" + Num(p[0] + x * p[2]) + ", " + Num(p[1] + r * p[3]) + ") has colour index " +
                           Num(index) + ", but the colour table has only " + Num(colours) +
                           (colours == 1 ? " colour" : " colours");
            }
            std::swap(previous, row);
        }
    }
    return {};
}

} // namespace

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
            bits = BitsPerPixel(colourType, body[8]);
            interlaced = body[12] == 1;
            if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
                return "the header claims " + Num(width) + " x " + Num(height) + " pixels";
            if (bits == 0)
                return "the header claims colour type " + Num(colourType) + " with " + Num(body[8]) +
                       " bits, which PNG does not have";
            if (body[10] != 0 || body[11] != 0 || body[12] > 1)
                return "the header claims a compression, filter or interlace method that PNG does not have";
        } else if (type == "PLTE") {
            if (paletteSeen || length == 0 || length % 3 != 0 || length > 3 * 256)
                return "the colour table (PLTE) is malformed";
            paletteSeen = true;
            colours = length / 3;
        } else if (type == "IDAT") {
            if (dataEnded)
                return "the image data (IDAT) is split by other chunks";
            data.push_back(body);
            packedBytes += length;
        } else if (type == "IEND") {
            ended = true;
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

std::string TPngCheck::DataProblem() const
{
    uint64_t unpacked = 0;
    std::vector<uint8_t> indices;
    const bool paletted = colourType == 3;
    if (std::string problem = InflateProblem(data, expected, unpacked, paletted ? &indices : nullptr); !problem.empty())
        return problem;
    if (unpacked < expected)
        return Claim() + ", which need " + Num(expected) + " bytes of image data, but the file's data unpacks to only " +
               Num(unpacked) + " bytes";
    if (unpacked > expected)
        return Claim() + ", which need " + Num(expected) + " bytes of image data, but the file's data unpacks to more";
    if (paletted)
        return IndexProblem(indices, width, height, bits, interlaced, colours);
    return {};
}

std::string PngProblem(std::span<const uint8_t> File)
{
    TPngCheck check(File);
    const std::string problem = check.LayoutProblem();
    return problem.empty() ? check.DataProblem() : problem;
}
