#include "PlainPng.h"

#include "ByteOrder.h"
#include "TestSupport.h"

#include <zlib.h>

#include <cstdlib>
#include <stdexcept>

namespace PlainPng {

namespace {

// The Paeth predictor of the PNG filters.
uint8_t Paeth(int A, int B, int C)
{
    const int p = A + B - C;
    const int pa = std::abs(p - A), pb = std::abs(p - B), pc = std::abs(p - C);
    return uint8_t(pa <= pb && pa <= pc ? A : pb <= pc ? B : C);
}

} // namespace

TPicture Read(const std::string &Path)
{
    const std::string file = TestSupport::ReadFile(Path);
    const auto fail = [&](const std::string &Why) { return std::runtime_error(Path + ": " + Why); };
    const auto *bytes = reinterpret_cast<const uint8_t *>(file.data());
    if (file.size() < 8 || file.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        throw fail("no PNG signature");

    TPicture picture;
    int channels = 0;
    std::string packed;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        if (file.size() - at < 12)
            throw fail("the file ends inside a chunk");
        const uint32_t length = ByteOrder::Be32(bytes + at);
        const std::string type = file.substr(at + 4, 4);
        if (length > file.size() - at - 12)
            throw fail("chunk " + type + " runs past the end");
        const uint8_t *data = bytes + at + 8;
        if (crc32(crc32(0, bytes + at + 4, 4), data, length) != ByteOrder::Be32(data + length))
            throw fail("bad CRC in chunk " + type);
        if (type == "IHDR") {
            picture.Width = int(ByteOrder::Be32(data));
            picture.Height = int(ByteOrder::Be32(data + 4));
            if (data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0)
                throw fail("not 8-bit RGB or RGBA without interlacing");
            channels = data[9] == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            packed.append(reinterpret_cast<const char *>(data), length);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + length;
    }
    if (channels == 0)
        throw fail("no IHDR");

    const size_t stride = size_t(picture.Width) * size_t(channels);
    std::vector<uint8_t> raw((stride + 1) * size_t(picture.Height));
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef *>(packed.data()), uLong(packed.size())) != Z_OK ||
        rawSize != raw.size())
        throw fail("image data that does not unpack to the picture's size");

    std::vector<uint8_t> previous(stride, 0), row(stride);
    picture.Pixels.reserve(size_t(picture.Width) * size_t(picture.Height));
    for (int y = 0; y < picture.Height; ++y) {
        const uint8_t *line = raw.data() + size_t(y) * (stride + 1);
        const uint8_t filter = line[0];
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= size_t(channels) ? row[i - channels] : 0;
            const int b = previous[i];
            const int c = i >= size_t(channels) ? previous[i - channels] : 0;
            const int predictor = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                : filter == 4 ? Paeth(a, b, c) : throw fail("filter type " + std::to_string(filter));
            row[i] = uint8_t(line[1 + i] + predictor);
        }
        for (int x = 0; x < picture.Width; ++x) {
            const uint8_t *p = row.data() + size_t(x) * size_t(channels);
            picture.Pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
        previous.swap(row);
    }
    return picture;
}

} // namespace PlainPng
