// Damaged and hostile pictures: every file whose headers and data disagree is
// refused with a message that names the file and the fault; every sound file
// of every layout loads to the grid that a plain reading of it gives.
#include "ClassTerrainImage.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

using namespace PictureFiles;
using namespace TestSupport;

namespace {

// Red values of terrains and of no terrain, as colour table entries.
const std::vector<uint32_t> TerrainColours = {
    0x1E0000, 0x960000, 0x640000, 0x280000, 0x4D0000, 0x090000, 0x910000, 0xBF0000,
    0xE60000, 0xFA0000, 0x000000, 0x1E1111, 0x96FF00, 0x6400FF, 0x28AAAA, 0x4D4D4D,
};

// A 7 x 5 picture of colour indices below `colours`, with runs for the
// run-length layouts.
TPixels Indices(uint32_t colours)
{
    TPixels rows;
    for (uint32_t y = 0; y < 5; ++y) {
        std::vector<uint32_t> row;
        for (uint32_t x = 0; x < 7; ++x)
            row.push_back(((x / 2) * 3 + y * 5) % colours);
        rows.push_back(row);
    }
    return rows;
}

TBmp Paletted(uint32_t bits, uint32_t colours, uint32_t compression = 0)
{
    TBmp bmp;
    bmp.Bits = bits;
    bmp.Compression = compression;
    bmp.Palette.assign(TerrainColours.begin(), TerrainColours.begin() + std::min<size_t>(colours, TerrainColours.size()));
    bmp.Palette.resize(colours, 0x1E0000);
    bmp.Pixels = Indices(colours);
    return bmp;
}

TBmp TrueColour(uint32_t bits, uint32_t headerSize = 40, bool topDown = false)
{
    TBmp bmp;
    bmp.Bits = bits;
    bmp.HeaderSize = headerSize;
    bmp.TopDown = topDown;
    for (const auto &row : Indices(16)) {
        std::vector<uint32_t> pixels;
        for (uint32_t index : row)
            pixels.push_back(TerrainColours[index] | (bits == 32 ? 0xFF000000 : 0));
        bmp.Pixels.push_back(pixels);
    }
    return bmp;
}

// 16-bit pixels with red in the high byte: red values exact.
TBmp HighByteRed(uint32_t headerSize)
{
    TBmp bmp;
    bmp.Bits = 16;
    bmp.Compression = 3;
    bmp.HeaderSize = headerSize;
    bmp.Masks = {0xFF00, 0x00F0, 0x000F, 0};
    for (const auto &row : Indices(16)) {
        std::vector<uint32_t> pixels;
        for (uint32_t index : row)
            pixels.push_back((TerrainColours[index] >> 16) << 8 | (index & 0xFF));
        bmp.Pixels.push_back(pixels);
    }
    return bmp;
}

class PictureCheck : public ::testing::Test
{
protected:
    void SetUp() override { Random::SetFixedSeed(5); }
    void TearDown() override { Random::SetFixedSeed(std::nullopt); }

    std::string Save(const std::string &bytes, const std::string &name = "picture.bmp")
    {
        const std::string path = Dir.File(name);
        WriteFile(path, bytes);
        return path;
    }

    // The codes that the red values give: a value of fewer than 8 bits stands
    // for the terrain whose configured red, rounded to as many bits, it is;
    // nothing when it stands for two terrains (the load must refuse that).
    std::optional<std::vector<std::vector<uint16_t>>> CodesOf(const TReds &reds) const
    {
        std::array<std::set<uint16_t>, 256> terrains;
        const double top = double((1u << reds.Bits) - 1);
        for (int red = 0; red < 256; ++red)
            if (const uint16_t code = Model.CodeForColor(uint8_t(red)); code != NO_TERRAIN)
                terrains[size_t(reds.Bits == 8 ? red : std::lround(red * top / 255))].insert(code);
        std::vector<std::vector<uint16_t>> codes;
        for (const auto &row : reds.Rows) {
            codes.emplace_back();
            for (uint8_t red : row) {
                if (terrains[red].size() > 1)
                    return std::nullopt;
                codes.back().push_back(terrains[red].empty() ? uint16_t(NO_TERRAIN) : *terrains[red].begin());
            }
        }
        return codes;
    }
    std::optional<std::vector<std::vector<uint16_t>>> CodesOf(const std::vector<std::vector<uint8_t>> &reds) const
    {
        return CodesOf(TReds{reds, 8});
    }
    std::vector<std::vector<uint16_t>> GridCodes() const
    {
        std::vector<std::vector<uint16_t>> codes;
        for (int y = 1; y <= Model.GetHeight(); ++y) {
            codes.emplace_back();
            for (int x = 1; x <= Model.GetWidth(); ++x)
                codes.back().push_back(Model.GetCell(x, y).Code);
        }
        return codes;
    }

    // The message of the refusal, or "" when the file loaded.
    std::string Refusal(const std::string &path)
    {
        try {
            Model.LoadFromBMP(path);
        } catch (const EImageLoadError &error) {
            EXPECT_EQ(Model.GetWidth(), 0);
            return error.what();
        }
        return "";
    }

    TTempDir Dir;
    TTerrainImage Model{BundledTilesPath()};
};

} // namespace

TEST_F(PictureCheck, SoundFilesOfEveryLayoutLoadAsAPlainReadingGivesThem)
{
    struct TCase
    {
        const char *Name;
        TBmp Bmp;
    };
    TBmp fullTable = Paletted(8, 16);
    fullTable.WriteColourCount = false;
    fullTable.Palette.resize(256, 0x280000);
    TBmp core8 = Paletted(8, 16);
    core8.HeaderSize = 12;
    core8.Palette.resize(256, 0);
    TBmp core24 = TrueColour(24, 12);
    TBmp bitFields32 = TrueColour(32);
    bitFields32.Compression = 3;
    TBmp v5BitFields = TrueColour(32, 124);
    v5BitFields.Compression = 3;
    v5BitFields.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    TBmp rgb555;
    rgb555.Bits = 16;
    rgb555.Pixels = {{0x7C00, 0x0000, 0x1400, 0x6000}, {0x03FF, 0x7FFF, 0x0C00, 0x4C00}};
    TBmp narrowRedMask = HighByteRed(40);
    narrowRedMask.Bits = 32;
    narrowRedMask.Masks = {0xF8000000, 0x07FFF000, 0x00000FFF, 0}; // five bits of red
    for (auto &row : narrowRedMask.Pixels)
        for (auto &p : row)
            p = (p >> 8) << 24 | (p & 0xFF);
    // Windows V2 and V3 headers, the masks inside them, and OS/2 2.x.
    TBmp v2BitFields = HighByteRed(52);
    TBmp v3BitFields = TrueColour(32, 56);
    v3BitFields.Compression = 3;
    v3BitFields.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    TBmp os2Rle8 = Paletted(8, 16, 1);
    os2Rle8.HeaderSize = 64;
    TBmp os2Rle4 = Paletted(4, 16, 2);
    os2Rle4.HeaderSize = 64;
    TBmp os2Plain8 = Paletted(8, 16);
    os2Plain8.HeaderSize = 64;

    const TCase cases[] = {
        {"1-bit", Paletted(1, 2)},
        {"4-bit", Paletted(4, 16)},
        {"4-bit, short table", Paletted(4, 9)},
        {"4-bit run-length", Paletted(4, 16, 2)},
        {"8-bit, short table", Paletted(8, 16)},
        {"8-bit, full table implied", fullTable},
        {"8-bit run-length", Paletted(8, 16, 1)},
        {"8-bit, core header", core8},
        {"16-bit 5-5-5", rgb555},
        {"16-bit bit fields", HighByteRed(40)},
        {"16-bit bit fields, v4 header", HighByteRed(108)},
        {"24-bit", TrueColour(24)},
        {"24-bit top-down", TrueColour(24, 40, true)},
        {"24-bit, core header", core24},
        {"24-bit, v4 header", TrueColour(24, 108)},
        {"24-bit top-down, v5 header", TrueColour(24, 124, true)},
        {"32-bit", TrueColour(32)},
        {"32-bit bit fields", bitFields32},
        {"32-bit, five-bit red mask", narrowRedMask},
        {"32-bit bit fields, v5 header", v5BitFields},
        {"16-bit bit fields, v2 header", v2BitFields},
        {"24-bit, v2 header", TrueColour(24, 52)},
        {"32-bit bit fields, v3 header", v3BitFields},
        {"24-bit top-down, v3 header", TrueColour(24, 56, true)},
        {"8-bit, OS/2 2.x header", os2Plain8},
        {"8-bit run-length, OS/2 2.x header", os2Rle8},
        {"4-bit run-length, OS/2 2.x header", os2Rle4},
        {"24-bit, OS/2 2.x header", TrueColour(24, 64)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = Encode(c.Bmp);
        const auto reds = ReferenceReds(bytes);
        ASSERT_TRUE(reds.has_value());
        const auto codes = CodesOf(*reds);
        const std::string message = Refusal(Save(bytes));
        if (!codes) { // five bits of red: jungle's and mountain's red are one value
            EXPECT_NE(message.find("to which both JUNGLE (red 145) and MOUNTAIN (red 150) reduce"), std::string::npos)
                << message;
            continue;
        }
        EXPECT_EQ(message, "");
        EXPECT_EQ(GridCodes(), *codes);
    }
    // The red values of the 5-5-5 picture: its five bits of red as they are.
    EXPECT_EQ(ReferenceReds(Encode(rgb555))->Bits, 5u);
    EXPECT_EQ(ReferenceReds(Encode(rgb555))->Rows[0], (std::vector<uint8_t>{31, 0, 5, 24}));

    // PNGs: true colour, and paletted with a table shorter than 256 colours.
    TPng rgb, indexed;
    rgb.Width = indexed.Width = 7;
    rgb.Height = indexed.Height = 5;
    indexed.ColourType = 3;
    indexed.Depth = 4;
    indexed.Palette = TerrainColours;
    const TPixels pixels = Indices(16);
    std::vector<std::vector<uint8_t>> reds;
    for (int y = 0; y < 5; ++y) {
        reds.emplace_back();
        rgb.Pixels.emplace_back();
        indexed.Pixels.emplace_back();
        for (int x = 0; x < 7; ++x) {
            const uint32_t index = pixels[size_t(y)][size_t(x)], colour = TerrainColours[index];
            rgb.Pixels.back().push_back({uint16_t(colour >> 16), uint16_t((colour >> 8) & 0xFF), uint16_t(colour & 0xFF)});
            indexed.Pixels.back().push_back({uint16_t(index)});
            reds.back().push_back(uint8_t(colour >> 16));
        }
    }
    for (const TPng *png : {&rgb, &indexed}) {
        EXPECT_EQ(Refusal(Save(Encode(*png), "picture.png")), "");
        EXPECT_EQ(GridCodes(), CodesOf(reds));
    }
}

TEST_F(PictureCheck, DamagedBmpFilesAreRefusedWithTheirFault)
{
    using TMutation = std::function<void(std::string &)>;
    struct TCase
    {
        const char *Name;
        TBmp Base;
        TMutation Mutate;
        const char *Fault; // a fragment of the message
    };
    const auto at = [](size_t offset, uint8_t value) { return [=](std::string &f) { f[offset] = char(value); }; };
    const auto field32 = [](size_t offset, uint32_t value) { return [=](std::string &f) { Put32(f, offset, value); }; };
    const auto pixelByte = [](size_t k, uint8_t value) {
        return [=](std::string &f) { f[PixelDataOffset(f) + k] = char(value); };
    };
    const auto cutTo = [](size_t size) { return [=](std::string &f) { f.resize(size); }; };
    const auto dropRunLength = [](size_t size) {
        return [=](std::string &f) {
            Put32(f, ImageSizeField, 0);
            f.resize(PixelDataOffset(f) + size);
        };
    };
    // Run-length data of the 7 x 5 picture with the given bytes in place of
    // the first row's.
    const auto firstRow = [](std::string bytes) {
        return [=](std::string &f) {
            const size_t start = PixelDataOffset(f);
            size_t end = start;
            while (!(f[end] == 0 && f[end + 1] == 0))
                end += f[end] == 0 ? 2 + ((uint8_t(f[end + 1]) + 1) & ~size_t(1)) : 2;
            f.replace(start, end + 2 - start, bytes);
            Put32(f, ImageSizeField, uint32_t(f.size() - start));
        };
    };
    using S = std::string;
    TBmp oneColour = Paletted(1, 2);
    oneColour.Palette.resize(1);
    oneColour.Pixels = Indices(1);

    const TCase cases[] = {
        // Colour indices beyond the table.
        {"8-bit index 200 of 16", Paletted(8, 16), pixelByte(3, 200), "has colour index 200, but the colour table has only 16"},
        {"4-bit index 15 of 9", Paletted(4, 9), pixelByte(0, 0xF0), "pixel (0, 4) has colour index 15"},
        {"1-bit index 1 of 1", oneColour, pixelByte(0, 0x80), "colour index 1, but the colour table has only 1 colour"},
        {"RLE8 run of index 77 of 16", Paletted(8, 16, 1), firstRow(S{7, 77, 0, 0}), "colour index 77"},
        {"RLE4 literal nibble 12 of 9", Paletted(4, 9, 2), firstRow(S{0, 7, 0x11, 0x1C, 0x11, 0x10, 0, 0}), "colour index 12"},
        // Colour count and table placement.
        {"8-bit, 300 colours", Paletted(8, 16), field32(ColourCountField, 300), "300 colours, more than 8 bits per pixel can index (256)"},
        {"4-bit, 17 colours", Paletted(4, 16), field32(ColourCountField, 17), "more than 4 bits per pixel can index (16)"},
        {"table overlaps pixels", Paletted(8, 16), field32(DataOffsetField, 14 + 40 + 16 * 4 - 8), "overlaps the pixel data"},
        {"implied full table overlaps pixels", Paletted(8, 16), field32(ColourCountField, 0), "256 colours"},
        {"24-bit with a colour count", TrueColour(24), field32(ColourCountField, 1000), "overlaps the pixel data"},
        // Run-length data.
        {"RLE8 run past the edge", Paletted(8, 16, 1), firstRow(S{8, 1, 0, 0}), "a run of 8 pixels from pixel (0, 4) reaches past the right edge"},
        {"RLE8 literal past the edge", Paletted(8, 16, 1), firstRow(S{0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0}), "reaches past the right edge"},
        {"RLE4 run past the edge", Paletted(4, 16, 2), firstRow(S{5, 0x11, 3, 0x22, 0, 0}), "a run of 3 pixels from pixel (5, 4)"},
        {"RLE8 jump past the edge", Paletted(8, 16, 1), firstRow(S{0, 2, 9, 0}), "a jump by (9, 0) from pixel (0, 4) leaves the picture"},
        {"RLE8 jump below the last row", Paletted(8, 16, 1), firstRow(S{0, 2, 0, 5}), "leaves the picture"},
        {"RLE8 jump over pixels", Paletted(8, 16, 1), firstRow(S{0, 2, 3, 1}), "skips pixels"},
        {"RLE8 short line", Paletted(8, 16, 1), firstRow(S{6, 1, 0, 0}), "row 4 of the run-length data ends after 6 of its 7 pixels"},
        {"RLE8 early end", Paletted(8, 16, 1), firstRow(S{7, 1, 0, 1}), "the run-length data ends at pixel (0, 3)"},
        {"RLE8 cut, image size 0", Paletted(8, 16, 1), dropRunLength(9), "the run-length data is truncated"},
        {"RLE4 cut, image size 0", Paletted(4, 16, 2), dropRunLength(5), "the run-length data is truncated"},
        {"RLE8 cut inside a literal", Paletted(8, 16, 1), [](std::string &f) {
             f.resize(PixelDataOffset(f));
             f += S{0, 7, 1, 2, 3};
             Put32(f, ImageSizeField, 0);
         }, "truncated"},
        {"RLE8 image size past the end", Paletted(8, 16, 1), field32(ImageSizeField, 5000), "5000 bytes of run-length data from byte "},
        {"RLE8 top-down", Paletted(8, 16, 1), field32(HeightField, uint32_t(-5)), "top-down"},
        {"RLE8 on a 4-bit picture", Paletted(4, 16), field32(CompressionField, 1), "8-bit run-length data for a picture of 4 bits"},
        // Headers.
        {"info header past the end", TrueColour(24), cutTo(14 + 30), "its info header of 40 bytes runs past the end of the file (44 bytes)"},
        {"v5 header past the end", TrueColour(24, 124), cutTo(100), "info header of 124 bytes runs past the end"},
        {"unknown header size", TrueColour(24), field32(14, 41), "41 bytes, which no BMP version has"},
        {"OS/2 Huffman", TrueColour(24, 64), field32(CompressionField, 3), "compressed with the OS/2 Huffman coding, which cannot be read"},
        {"OS/2 RLE24", TrueColour(24, 64), field32(CompressionField, 4), "OS/2 24-bit run-length data (RLE24), which cannot be read"},
        {"v2 header past the end", TrueColour(24, 52), cutTo(60), "info header of 52 bytes runs past the end"},
        {"7 bits per pixel", TrueColour(24), at(BitsField, 7), "7 bits per pixel"},
        {"two planes", TrueColour(24), at(PlanesField, 2), "2 colour planes"},
        {"width 0", TrueColour(24), field32(WidthField, 0), "claims 0 x 5 pixels"},
        {"negative width", TrueColour(24), field32(WidthField, uint32_t(-7)), "claims -7 x 5 pixels"},
        {"compression 9", TrueColour(24), field32(CompressionField, 9), "compression type 9"},
        {"embedded JPEG", TrueColour(24), field32(CompressionField, 4), "embedded JPEG or PNG"},
        {"bit fields on 24 bits", TrueColour(24), field32(CompressionField, 3), "bit-field pixels for a picture of 24 bits"},
        // Bit masks.
        {"red mask with a gap", HighByteRed(40), field32(54, 0xF0F0), "the red bit mask 0x0000F0F0 has gaps"},
        {"blue mask with a gap", TrueColour(32, 108), [](std::string &f) { Put32(f, CompressionField, 3); Put32(f, 62, 0x00000F0F); }, "blue bit mask 0x00000F0F has gaps"},
        {"overlapping masks", HighByteRed(40), field32(58, 0x01F0), "the red and green bit masks 0x0000FF00 and 0x000001F0 overlap"},
        {"masks overlap pixels", HighByteRed(40), field32(DataOffsetField, 60), "the bit masks (bytes 54 to 66) overlap the pixel data, which begins at byte 60"},
        {"mask beyond 16 bits", HighByteRed(108), field32(54, 0xFF0000), "reaches beyond the 16 bits"},
        {"alpha over red", HighByteRed(108), field32(66, 0x8000), "the red and alpha bit masks"},
        {"ten bits of red", HighByteRed(40), [](std::string &f) { Put32(f, 54, 0xFFC0); Put32(f, 58, 0x0030); },
         "the red bit mask 0x0000FFC0 has 10 bits; red values of more than 8 bits cannot be read"},
        // Pixel data.
        {"pixel data cut", TrueColour(24), [](std::string &f) { f.pop_back(); }, "the file is truncated: 7 x 5 pixels of 24 bits need 120 bytes"},
        {"pixel data offset past the end", TrueColour(24), field32(DataOffsetField, 5000), "the pixel data would begin at byte 5000"},
        {"huge claim", TrueColour(24), [](std::string &f) { Put32(f, WidthField, 20000); Put32(f, HeightField, 65535); f.resize(1423); },
         "20000 x 65535 pixels of 24 bits need 3932100000 bytes of pixel data from byte 54, the file has 1423 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        std::string bytes = Encode(c.Base);
        ASSERT_EQ(Refusal(Save(bytes)), "") << "the base file must load";
        c.Mutate(bytes);
        const std::string path = Save(bytes, "damaged.bmp");
        const std::string message = Refusal(path);
        EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.Fault), std::string::npos) << message;
    }
}

namespace {

// Rows of 7 pixels: red value 40 (grass), then 30 (water), in three bytes each.
std::vector<std::string> GrassAndWaterRows(size_t count)
{
    std::vector<std::string> rows;
    for (size_t y = 0; y < count; ++y) {
        std::string row;
        for (int x = 0; x < 7; ++x)
            row += {char((x + int(y)) % 2 ? 30 : 40), char(x), char(y)};
        rows.push_back(row);
    }
    return rows;
}

std::string RawRows(const std::vector<std::string> &rows)
{
    std::string raw;
    for (const std::string &row : rows)
        raw += '\0' + row;
    return raw;
}

} // namespace

TEST_F(PictureCheck, PngFilesAreCheckedToTheEndOfTheirData)
{
    // Interlaced: seven passes of the picture, each row with its filter byte.
    const std::vector<std::string> rows = GrassAndWaterRows(5);
    std::string interlacedRaw;
    const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto &p : passes)
        for (int y = p[1]; y < 5; y += p[3]) {
            std::string row;
            for (int x = p[0]; x < 7; x += p[2])
                row += rows[size_t(y)].substr(size_t(x) * 3, 3);
            if (!row.empty())
                interlacedRaw += '\0' + row;
        }
    const std::string interlaced = PngSignature() + PngHeader(7, 5, 8, 2, 1) + PngChunk("IDAT", Deflate(interlacedRaw)) +
                                   PngChunk("IEND", "");
    EXPECT_EQ(Refusal(Save(interlaced, "interlaced.png")), "");
    ASSERT_EQ(Model.GetWidth(), 7);
    for (int y = 1; y <= 5; ++y)
        for (int x = 1; x <= 7; ++x)
            EXPECT_EQ(Model.GetCell(x, y).Code, (x - 1 + y - 1) % 2 ? WATER : GRASS) << x << "," << y;

    const std::string good = MakePng(7, 5, 2, 8, rows);
    ASSERT_EQ(Refusal(Save(good, "good.png")), "");
    // A chunk of no standard that is marked ancillary is skipped.
    const std::string extra = PngSignature() + PngHeader(7, 5, 8, 2) + PngChunk("abCd", "x") +
                              PngChunk("IDAT", Deflate(RawRows(rows))) + PngChunk("IEND", "");
    EXPECT_EQ(Refusal(Save(extra, "extra.png")), "");

    // The zlib checksum in an image data chunk of its own: the decoder has its
    // rows before it gets there, and would only warn.
    std::string packed = Deflate(RawRows(rows));
    packed.back() = char(packed.back() ^ 0x5A);
    const std::string badChecksum = PngSignature() + PngHeader(7, 5, 8, 2) +
                                    PngChunk("IDAT", packed.substr(0, packed.size() - 4)) +
                                    PngChunk("IDAT", packed.substr(packed.size() - 4)) + PngChunk("IEND", "");

    std::string badCrc = good;
    badCrc[8 + 8 + 13 + 2] ^= 1; // the CRC of IHDR
    std::string rawHuge(20 * (1 + 20000 * 3), '\0');
    const std::string huge = PngSignature() + PngHeader(20000, 65535, 8, 2) + PngChunk("IDAT", Deflate(rawHuge)) +
                             PngChunk("IEND", "");
    const std::string shortData = PngSignature() + PngHeader(7, 9, 8, 2) + PngChunk("IDAT", Deflate(RawRows(rows))) +
                                  PngChunk("IEND", "");
    const std::string longData = PngSignature() + PngHeader(7, 4, 8, 2) + PngChunk("IDAT", Deflate(RawRows(rows))) +
                                 PngChunk("IEND", "");
    const std::vector<std::string> indexRows(5, std::string{0, 1, 5, 1, 0, 1, 0});
    const std::string paletteIndex = MakePng(7, 5, 3, 8, indexRows, {0x280000, 0x1E0000});
    const std::string noPalette = MakePng(7, 5, 3, 8, std::vector<std::string>(5, std::string(7, '\0')));
    const std::string badDepth = PngSignature() + PngHeader(7, 5, 4, 2) + PngChunk("IDAT", Deflate(RawRows(rows))) +
                                 PngChunk("IEND", "");
    std::string unfinished = Deflate(RawRows(rows));
    unfinished.resize(unfinished.size() - 4);
    const std::string noChecksum = PngSignature() + PngHeader(7, 5, 8, 2) + PngChunk("IDAT", unfinished) +
                                   PngChunk("IEND", "");
    const std::string split = PngSignature() + PngHeader(7, 5, 8, 2) + PngChunk("IDAT", packed.substr(0, 10)) +
                              PngChunk("tEXt", "a\0b") + PngChunk("IDAT", packed.substr(10)) + PngChunk("IEND", "");

    std::string filtered = RawRows(rows);
    filtered[2 * (1 + 21)] = 5; // the filter byte of row 2
    const std::string filterFive = PngSignature() + PngHeader(7, 5, 8, 2) + PngChunk("IDAT", Deflate(filtered)) +
                                   PngChunk("IEND", "");
    const std::string unknownCritical = PngSignature() + PngHeader(7, 5, 8, 2) + PngChunk("ABCD", "x") +
                                        PngChunk("IDAT", Deflate(RawRows(rows))) + PngChunk("IEND", "");
    const std::string lateTable = PngSignature() + PngHeader(7, 5, 8, 3) + PngChunk("IDAT", Deflate(RawRows(indexRows))) +
                                  PngChunk("PLTE", std::string(6, char(40))) + PngChunk("IEND", "");
    struct TCase
    {
        const char *Name;
        std::string Bytes;
        std::string Fault;
    };
    const TCase cases[] = {
        {"filter type 5", filterFive, "row 2 of the image data has filter type 5, which PNG does not have"},
        {"unknown critical chunk", unknownCritical,
         "the chunk ABCD at byte 33 is marked critical, but it is not a chunk of the PNG standard"},
        {"colour table after the data", lateTable, "the colour table (PLTE) at byte "},
        {"zlib checksum", badChecksum, "the image data is damaged (incorrect data check)"},
        {"chunk checksum", badCrc, "the chunk IHDR at byte 8 is damaged (its checksum does not match)"},
        {"huge claim", huge,
         "the header claims 20000 x 65535 pixels, but the file holds only " + std::to_string(huge.size() - 8 - 25 - 12 - 12) +
             " bytes of compressed image data (of " + std::to_string(huge.size()) + " bytes in all), far too few"},
        {"short data", shortData, "the header claims 7 x 9 pixels, which need 198 bytes of image data, but the file's "
                                  "data unpacks to only 110 bytes"},
        {"long data", longData, "7 x 4 pixels, which need 88 bytes of image data, but the file's data unpacks to more"},
        {"index beyond the palette", paletteIndex, "pixel (2, 0) has colour index 5, but the colour table has only 2 colours"},
        {"no palette", noPalette, "no PLTE chunk"},
        {"bad depth", badDepth, "colour type 2 with 4 bits"},
        {"no zlib checksum", noChecksum, "its checksum is missing"},
        {"cut", good.substr(0, good.size() - 20), "the file is truncated"},
        {"cut in the signature's chunk", good.substr(0, 20), "the file is truncated"},
        {"split data", split, "split by other chunks"},
        {"not a picture", "GIF89a" + std::string(40, '\0'), "the file is neither a BMP nor a PNG picture"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Save(c.Bytes, "damaged.png");
        const std::string message = Refusal(path);
        EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.Fault), std::string::npos) << message;
    }
    // Other formats are refused by their content, whatever their name.
    const std::string ppm = "P6\n3 2\n255\n" + std::string(18, char(40));
    EXPECT_NE(Refusal(Save(ppm, "picture.bmp")).find("neither a BMP nor a PNG"), std::string::npos);
}

TEST_F(PictureCheck, ByteMutationsAreRefusedOrLoadAsAPlainReadingGivesThem)
{
    // Every byte of a few small files changed in three ways, and every other
    // shortening: each result is refused, or loads to what a plain reading of
    // it gives, never to anything else.
    const TBmp bases[] = {Paletted(8, 16), Paletted(8, 16, 1), Paletted(4, 9, 2), Paletted(1, 2), TrueColour(24),
                          HighByteRed(40)};
    const std::string path = Dir.File("mutant.bmp");
    int loaded = 0, refused = 0;
    for (const TBmp &base : bases) {
        const std::string original = Encode(base);
        std::vector<std::string> mutants;
        const size_t tableStart = 14 + base.HeaderSize, tableEnd = PixelDataOffset(original);
        for (size_t i = 0; i < original.size(); ++i) {
            const uint8_t b = uint8_t(original[i]);
            // Of a colour table entry only the red byte matters to the map.
            const bool ignored = base.Compression != 3 && i >= tableStart && i < tableEnd && (i - tableStart) % 4 != 2;
            for (uint8_t value : {uint8_t(b ^ 0x01), uint8_t(b ^ 0x80), uint8_t(b == 0 ? 0xFF : 0)}) {
                if (value == b || ignored)
                    continue;
                mutants.push_back(original);
                mutants.back()[i] = char(value);
            }
            if (i % 2 == 0)
                mutants.push_back(original.substr(0, i));
        }
        for (const std::string &mutant : mutants) {
            WriteFile(path, mutant);
            const std::string message = Refusal(path);
            if (!message.empty()) {
                ++refused;
                ASSERT_EQ(message.rfind(path + ": ", 0), 0u) << message;
                continue;
            }
            ++loaded;
            const auto reds = ReferenceReds(mutant);
            ASSERT_TRUE(reds.has_value()) << "a file that a plain reading cannot read was loaded";
            const auto codes = CodesOf(*reds);
            ASSERT_TRUE(codes.has_value()) << "a picture whose red values stand for two terrains was loaded";
            ASSERT_EQ(GridCodes(), *codes);
        }
    }
    EXPECT_GT(loaded, 300);
    EXPECT_GT(refused, 300);

    // In a PNG every byte up to the end chunk is under a checksum: any change
    // of one byte is refused.
    TPng indexed;
    indexed.Width = 5;
    indexed.Height = 3;
    indexed.ColourType = 3;
    indexed.Palette = {0x280000, 0x1E0000, 0x960000};
    for (uint16_t y = 0; y < 3; ++y) {
        indexed.Pixels.emplace_back();
        for (uint16_t x = 0; x < 5; ++x)
            indexed.Pixels.back().push_back({uint16_t((x + y) % 3)});
    }
    const std::string png = Encode(indexed);
    ASSERT_EQ(Refusal(Save(png, "base.png")), "");
    for (size_t i = 0; i < png.size(); ++i)
        for (uint8_t flip : {0x01, 0x10, 0x80}) {
            std::string mutant = png;
            mutant[i] = char(mutant[i] ^ flip);
            WriteFile(path, mutant);
            ASSERT_NE(Refusal(path), "") << "byte " << i << " changed by " << int(flip);
        }
}

namespace {

// A small picture of terrain reds and of reds of no terrain, for the sweep below.
uint32_t SweepColour(uint32_t x, uint32_t y) { return TerrainColours[(x * 5 + y * 3 + x * y) % TerrainColours.size()]; }

// The sound BMP layouts of a picture of `width` x `height` pixels.
std::vector<std::pair<std::string, TBmp>> BmpLayouts(uint32_t width, uint32_t height)
{
    std::vector<std::pair<std::string, TBmp>> layouts;
    const auto add = [&](const std::string &name, TBmp bmp, uint32_t colours) {
        bmp.Pixels.clear();
        for (uint32_t y = 0; y < height; ++y) {
            bmp.Pixels.emplace_back();
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t colour = SweepColour(x, y), red = colour >> 16;
                uint32_t value = colour;
                if (bmp.Bits <= 8)
                    value = (x * 5 + y * 3 + x * y) % colours;
                else if (bmp.Bits == 16)
                    value = bmp.Compression == 3 ? (red >> 3) << 11 | (x * 7 & 63) << 5 | (y & 31)
                                                 : (red >> 3) << 10 | (x & 31) << 5 | (y * 3 & 31);
                else if (bmp.Bits == 32)
                    value |= (x * 40 & 0xFF) << 24;
                bmp.Pixels.back().push_back(value);
            }
        }
        layouts.emplace_back(name, bmp);
    };
    add("1-bit", Paletted(1, 2), 2);
    add("4-bit", Paletted(4, 16), 16);
    add("8-bit", Paletted(8, 16), 16);
    add("4-bit run-length", Paletted(4, 16, 2), 16);
    TBmp literal4 = Paletted(4, 16, 2), literal8 = Paletted(8, 16, 1);
    literal4.Literals = literal8.Literals = true;
    add("4-bit run-length literals", literal4, 16);
    add("8-bit run-length", Paletted(8, 16, 1), 16);
    add("8-bit run-length literals", literal8, 16);
    TBmp core8 = Paletted(8, 16);
    core8.HeaderSize = 12;
    core8.Palette.resize(256, 0); // the core header has no colour count: the table is whole
    add("8-bit core header", core8, 16);
    TBmp rgb555;
    rgb555.Bits = 16;
    add("16-bit 5-5-5", rgb555, 0);
    TBmp rgb565 = rgb555;
    rgb565.Compression = 3;
    rgb565.Masks = {0xF800, 0x07E0, 0x001F, 0};
    add("16-bit 5-6-5", rgb565, 0);
    add("24-bit", TrueColour(24), 0);
    add("24-bit top-down", TrueColour(24, 40, true), 0);
    add("24-bit core header", TrueColour(24, 12), 0);
    add("32-bit", TrueColour(32), 0);
    TBmp fields32 = TrueColour(32, 56);
    fields32.Compression = 3;
    fields32.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    add("32-bit bit fields, v3 header", fields32, 0);
    return layouts;
}

// The sound PNG layouts: every colour type and depth, plain and interlaced.
std::vector<std::pair<std::string, TPng>> PngLayouts(uint32_t width, uint32_t height)
{
    std::vector<std::pair<std::string, TPng>> layouts;
    const std::pair<uint8_t, std::vector<uint8_t>> kinds[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto &[type, depths] : kinds)
        for (const uint8_t depth : depths)
            for (const bool interlaced : {false, true}) {
                TPng png;
                png.Width = width;
                png.Height = height;
                png.ColourType = type;
                png.Depth = depth;
                png.Interlaced = interlaced;
                const uint32_t colours = std::min<uint32_t>(1u << std::min<uint32_t>(depth, 8), 16);
                if (type == 3)
                    png.Palette.assign(TerrainColours.begin(), TerrainColours.begin() + colours);
                for (uint32_t y = 0; y < height; ++y) {
                    png.Pixels.emplace_back();
                    for (uint32_t x = 0; x < width; ++x) {
                        const uint32_t colour = SweepColour(x, y);
                        const auto sample = [&](uint32_t byte) {
                            // 16 bits: near byte * 257, so that rounding back matters.
                            return uint16_t(depth == 16 ? std::min(65535u, byte * 257 + (x + y) % 3 * 60) : byte);
                        };
                        const uint16_t red = sample(colour >> 16), green = sample((colour >> 8) & 0xFF),
                                       blue = sample(colour & 0xFF), alpha = uint16_t(x * 97 % (depth == 16 ? 65536 : 256));
                        const uint16_t index = uint16_t((x * 5 + y * 3 + x * y) % colours);
                        switch (type) {
                        case 0: png.Pixels.back().push_back({depth < 8 ? uint16_t(index % (1u << depth)) : red}); break;
                        case 2: png.Pixels.back().push_back({red, green, blue}); break;
                        case 3: png.Pixels.back().push_back({index}); break;
                        case 4: png.Pixels.back().push_back({red, alpha}); break;
                        default: png.Pixels.back().push_back({red, green, blue, alpha}); break;
                        }
                    }
                }
                layouts.emplace_back("colour type " + std::to_string(type) + ", " + std::to_string(depth) + " bits" +
                                         (interlaced ? ", interlaced" : ""),
                                     png);
            }
    return layouts;
}

} // namespace

TEST_F(PictureCheck, EveryWidthFromOneToNineOfEveryLayoutLoadsAsAPlainReadingGivesIt)
{
    // Narrow pictures reach the corners of the formats: run-length literals of
    // odd length (half a byte of padding in 4-bit data), interlaced passes
    // without a pixel, rows shorter than a byte or a filter's reach.
    int compared = 0, refused = 0;
    for (uint32_t width = 1; width <= 9; ++width)
        for (const uint32_t height : {1u, 2u, 5u, 9u}) {
            std::vector<std::pair<std::string, std::string>> files;
            for (const auto &[name, bmp] : BmpLayouts(width, height))
                files.emplace_back(name, Encode(bmp));
            for (const auto &[name, png] : PngLayouts(width, height))
                files.emplace_back(name, Encode(png));
            for (const auto &[name, bytes] : files) {
                SCOPED_TRACE(name + ", " + std::to_string(width) + " x " + std::to_string(height));
                const auto reds = ReferenceReds(bytes);
                ASSERT_TRUE(reds.has_value());
                const auto codes = CodesOf(*reds);
                const std::string message = Refusal(Save(bytes, "sweep"));
                if (!codes) { // red values that stand for two terrains
                    EXPECT_NE(message.find("to which both"), std::string::npos) << message;
                    ++refused;
                    continue;
                }
                ASSERT_EQ(message, "");
                ASSERT_EQ(Model.GetWidth(), int(width));
                ASSERT_EQ(GridCodes(), *codes);
                ++compared;
            }
        }
    EXPECT_GT(compared, 1000);
    EXPECT_GT(refused, 10);
}

TEST_F(PictureCheck, TransparencyNeverChangesARedValue)
{
    // Row of reds: water, grass, water, mountain; the transparent colour is
    // water's, so a decoder that makes transparent pixels black reads void.
    const std::vector<uint16_t> reds = {30, 40, 30, 150};
    const std::vector<uint16_t> expected = {WATER, GRASS, WATER, MOUNTAIN};
    struct TCase
    {
        const char *Name;
        uint8_t ColourType, Depth;
        std::string Transparency;
    };
    const TCase cases[] = {
        {"grey 8 bits", 0, 8, std::string{0, 30}},
        {"grey 16 bits", 0, 16, std::string{char(30), char(30)}},
        {"RGB 8 bits", 2, 8, std::string{0, 30, 0, 1, 0, 2}},
        {"RGB 16 bits", 2, 16, std::string{char(30), char(30), 0, 1, 0, 2}},
        {"palette", 3, 8, std::string{char(0), char(255), char(0)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TPng png;
        png.Width = 4;
        png.Height = 1;
        png.ColourType = c.ColourType;
        png.Depth = c.Depth;
        png.Transparency = c.Transparency;
        png.Pixels.emplace_back();
        for (const uint16_t red : reds) {
            const uint16_t sample = c.Depth == 16 ? uint16_t(red * 257) : red;
            if (c.ColourType == 3)
                png.Pixels.back().push_back({uint16_t(red == 30 ? 0 : red == 40 ? 1 : 2)});
            else
                png.Pixels.back().push_back({sample, 1, 2});
        }
        if (c.ColourType == 3)
            png.Palette = {0x1E0000, 0x280000, 0x960000};
        EXPECT_EQ(Refusal(Save(Encode(png), "transparent.png")), "");
        EXPECT_EQ(GridCodes(), (std::vector<std::vector<uint16_t>>{expected}));
    }
}

TEST_F(PictureCheck, FewerBitsOfRedMatchTheTerrainsReducedToAsManyBits)
{
    // Five bits: water 30 -> 4, grass 40 -> 5, dirt 100 -> 12, forest 9 -> 1,
    // desert 230 -> 28, snow 250 -> 30, swamp 191 -> 23; 0 and 31 are no terrain.
    TBmp five;
    five.Bits = 16;
    five.Pixels = {{4u << 10, 5u << 10 | 0x3FF, 12u << 10, 1u << 10, 28u << 10, 30u << 10, 23u << 10, 0, 31u << 10}};
    EXPECT_EQ(Refusal(Save(Encode(five))), "");
    EXPECT_EQ(GridCodes(), (std::vector<std::vector<uint16_t>>{
                               {WATER, GRASS, DIRT, FOREST, DESERT, SNOW, SWAMP, NO_TERRAIN, NO_TERRAIN}}));
    // Jungle 145 and mountain 150 both become 18 in five bits; a picture that
    // uses 18 cannot say which, one that does not loads.
    five.Pixels[0][1] = 18u << 10;
    const std::string path = Save(Encode(five));
    EXPECT_EQ(Refusal(path), path + ": pixel (1, 0) has the red value 18 of 5 bits, to which both JUNGLE (red 145) "
                                    "and MOUNTAIN (red 150) reduce, so the picture cannot tell them apart; save it "
                                    "with 8 bits of red, or give the two terrains red values further apart in " +
                                    BundledTilesPath());
    // Six bits (a red mask of 6 bits) tell them apart: jungle 36, mountain 37.
    TBmp six;
    six.Bits = 16;
    six.Compression = 3;
    six.Masks = {0xFC00, 0x03E0, 0x001F, 0};
    six.Pixels = {{36u << 10, 37u << 10, 7u << 10 | 0x1F, 10u << 10}};
    EXPECT_EQ(Refusal(Save(Encode(six))), "");
    EXPECT_EQ(GridCodes(), (std::vector<std::vector<uint16_t>>{{JUNGLE, MOUNTAIN, WATER, GRASS}}));
}
