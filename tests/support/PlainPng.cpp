#include "PlainPng.h"

#include "ByteOrder.h"

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace PlainPng {

namespace {

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct TChunk
{
    std::string Type;
    const uint8_t *Data;
    uint32_t Bytes;
};

std::vector<TChunk> Chunks(const std::vector<uint8_t> &File)
{
    if (File.size() < 8 || !std::equal(Signature, Signature + 8, File.begin()))
        throw std::runtime_error("no PNG signature");
    std::vector<TChunk> chunks;
    size_t at = 8;
    while (at < File.size()) {
        if (File.size() - at < 12)
            throw std::runtime_error("a chunk is cut off");
        const uint32_t bytes = ByteOrder::Be32(&File[at]);
        if (bytes > File.size() - at - 12)
            throw std::runtime_error("a chunk is longer than the file");
        const uint8_t *type = &File[at + 4];
        if (uint32_t(crc32(0L, type, 4 + bytes)) != ByteOrder::Be32(type + 4 + bytes))
            throw std::runtime_error("wrong CRC in a chunk");
        chunks.push_back({std::string(type, type + 4), type + 4, bytes});
        at += 12 + size_t(bytes);
    }
    return chunks;
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

} // namespace

std::vector<std::string> ChunkTypes(const std::vector<uint8_t> &File)
{
    std::vector<std::string> types;
    for (const TChunk &chunk : Chunks(File))
        types.push_back(chunk.Type);
    return types;
}

TPicture Decode(const std::vector<uint8_t> &File)
{
    const std::vector<TChunk> chunks = Chunks(File);
    if (chunks.empty() || chunks.front().Type != "IHDR" || chunks.front().Bytes != 13)
        throw std::runtime_error("IHDR is not the first chunk");
    if (chunks.back().Type != "IEND")
        throw std::runtime_error("IEND is not the last chunk");
    const uint8_t *header = chunks.front().Data;
    TPicture picture;
    picture.Width = int(ByteOrder::Be32(header));
    picture.Height = int(ByteOrder::Be32(header + 4));
    const int depth = header[8], colour = header[9];
    if (picture.Width <= 0 || picture.Height <= 0 || depth != 8 || header[10] != 0 || header[11] != 0 ||
        header[12] != 0)
        throw std::runtime_error("not an 8-bit PNG without interlacing");
    int channels = 0;
    switch (colour) {
    case 0: channels = 1; break;
    case 2: channels = 3; break;
    case 3: channels = 1; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: throw std::runtime_error("unknown colour type");
    }
    std::vector<uint8_t> compressed;
    std::vector<uint32_t> palette;
    for (const TChunk &chunk : chunks) {
        if (chunk.Type == "IDAT")
            compressed.insert(compressed.end(), chunk.Data, chunk.Data + chunk.Bytes);
        if (chunk.Type == "PLTE")
            for (uint32_t i = 0; i + 2 < chunk.Bytes; i += 3)
                palette.push_back(0xFF000000u | uint32_t(chunk.Data[i]) << 16 | uint32_t(chunk.Data[i + 1]) << 8 |
                                  chunk.Data[i + 2]);
    }
    const size_t rowBytes = size_t(picture.Width) * size_t(channels);
    std::vector<uint8_t> raw((rowBytes + 1) * size_t(picture.Height));
    uLongf rawBytes = uLongf(raw.size());
    if (uncompress(raw.data(), &rawBytes, compressed.data(), uLong(compressed.size())) != Z_OK ||
        rawBytes != raw.size())
        throw std::runtime_error("the image data do not inflate to the picture's size");

    std::vector<uint8_t> previous(rowBytes, 0), row(rowBytes);
    picture.Pixels.resize(size_t(picture.Width) * size_t(picture.Height));
    for (int y = 0; y < picture.Height; ++y) {
        const uint8_t *in = &raw[size_t(y) * (rowBytes + 1)];
        const uint8_t filter = in[0];
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= size_t(channels) ? row[i - size_t(channels)] : 0; // left
            const int b = previous[i];                                            // above
            const int c = i >= size_t(channels) ? previous[i - size_t(channels)] : 0;
            int predictor = 0;
            switch (filter) {
            case 0: predictor = 0; break;
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: predictor = Paeth(a, b, c); break;
            default: throw std::runtime_error("unknown filter type " + std::to_string(filter));
            }
            row[i] = uint8_t(in[1 + i] + predictor);
        }
        for (int x = 0; x < picture.Width; ++x) {
            const uint8_t *p = &row[size_t(x) * size_t(channels)];
            uint32_t argb = 0;
            switch (colour) {
            case 0: argb = 0xFF000000u | uint32_t(p[0]) * 0x010101u; break;
            case 2: argb = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; break;
            case 3:
                if (p[0] >= palette.size())
                    throw std::runtime_error("a palette index beyond the palette");
                argb = palette[p[0]];
                break;
            case 4: argb = uint32_t(p[1]) << 24 | uint32_t(p[0]) * 0x010101u; break;
            case 6: argb = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; break;
            }
            picture.Pixels[size_t(y) * size_t(picture.Width) + size_t(x)] = argb;
        }
        previous.swap(row);
    }
    return picture;
}

TPicture Read(const std::string &Path)
{
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw std::runtime_error(Path + ": cannot be opened");
    return Decode(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
}

} // namespace PlainPng
