// The plain PNG reader of the tests on pictures built here byte by byte, so
// that the checks of the program's PNG files rest on a reader that is right:
// every filter type, and what a damaged file looks like to it.
#include "PlainPng.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void PutBe32(std::vector<uint8_t> &Out, uint32_t Value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        Out.push_back(uint8_t(Value >> shift));
}

void PutChunk(std::vector<uint8_t> &Out, const std::string &Type, const std::vector<uint8_t> &Data)
{
    PutBe32(Out, uint32_t(Data.size()));
    std::vector<uint8_t> body(Type.begin(), Type.end());
    body.insert(body.end(), Data.begin(), Data.end());
    Out.insert(Out.end(), body.begin(), body.end());
    PutBe32(Out, uint32_t(crc32(0L, body.data(), uInt(body.size()))));
}

// A PNG of these filtered rows (each starting with its filter type byte).
std::vector<uint8_t> Png(int Width, int Height, uint8_t Colour, const std::vector<uint8_t> &Rows)
{
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> header;
    PutBe32(header, uint32_t(Width));
    PutBe32(header, uint32_t(Height));
    header.insert(header.end(), {8, Colour, 0, 0, 0});
    PutChunk(file, "IHDR", header);
    std::vector<uint8_t> packed(compressBound(uLong(Rows.size())));
    uLongf bytes = uLongf(packed.size());
    compress(packed.data(), &bytes, Rows.data(), uLong(Rows.size()));
    packed.resize(bytes);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});
    return file;
}

} // namespace

TEST(PlainPng, UndoesEveryFilter)
{
    // Two RGB pixels a row. Row 0 (None): (10,20,30) (40,50,60).
    // Row 1 (Sub, left): (1,2,3) (+5,+5,+5) = (1,2,3) (6,7,8).
    // Row 2 (Up): row 1 + (100,100,100) (0,0,0) = (101,102,103) (6,7,8).
    // Row 3 (Average of left and up): first pixel 101/2 + 1 = 51, 102/2 + 1 = 52,
    //   103/2 + 1 = 52; second pixel (51 + 6)/2 = 28, (52 + 7)/2 = 29, (52 + 8)/2 = 30, + 0.
    // Row 4 (Paeth): first pixel predicts 'up' (a = c = 0): 51, 52, 52, + 1 = 52, 53, 53;
    //   second: a = 52, b = 28, c = 51, p = 29: pa 23, pb 1, pc 22 gives b = 28,
    //   + 2 = 30; likewise 29 + 2 = 31, 30 + 2 = 32.
    const std::vector<uint8_t> rows = {
        0, 10, 20, 30, 40, 50, 60,
        1, 1, 2, 3, 5, 5, 5,
        2, 100, 100, 100, 0, 0, 0,
        3, 1, 1, 1, 0, 0, 0,
        4, 1, 1, 1, 2, 2, 2,
    };
    const PlainPng::TPicture picture = PlainPng::Decode(Png(2, 5, 2, rows));
    ASSERT_EQ(picture.Width, 2);
    ASSERT_EQ(picture.Height, 5);
    const std::vector<uint32_t> expected = {
        0xFF0A141E, 0xFF28323C, 0xFF010203, 0xFF060708, 0xFF656667,
        0xFF060708, 0xFF333434, 0xFF1C1D1E, 0xFF343535, 0xFF1E1F20,
    };
    EXPECT_EQ(picture.Pixels, expected);
}

TEST(PlainPng, RefusesDamagedFiles)
{
    const std::vector<uint8_t> good = Png(1, 1, 2, {0, 1, 2, 3});
    ASSERT_EQ(PlainPng::Decode(good).Pixel(0, 0), 0xFF010203u);
    struct TCase
    {
        const char *Name;
        std::vector<uint8_t> File;
    };
    std::vector<uint8_t> badCrc = good;
    badCrc[30] ^= 1; // the IHDR CRC
    std::vector<uint8_t> cut(good.begin(), good.end() - 5);
    const TCase cases[] = {
        {"no signature", std::vector<uint8_t>(good.begin() + 1, good.end())},
        {"a wrong CRC", badCrc},
        {"cut off", cut},
        {"filter type 5", Png(1, 1, 2, {5, 1, 2, 3})},
        {"too little data", Png(1, 2, 2, {0, 1, 2, 3})},
        {"colour type 1", Png(1, 1, 1, {0, 1})},
    };
    for (const TCase &c : cases)
        EXPECT_THROW(PlainPng::Decode(c.File), std::runtime_error) << c.Name;
}
