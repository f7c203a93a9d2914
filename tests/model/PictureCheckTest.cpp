// Damaged and hostile pictures: every file whose headers and data disagree is
// refused with a message that names the file and the fault; every sound file
// of every layout loads to the grid that a plain reading of it gives.
#include "ClassTerrainImage.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

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

    // The codes that the red values give.
    std::vector<std::vector<uint16_t>> CodesOf(const std::vector<std::vector<uint8_t>> &reds) const
    {
        std::vector<std::vector<uint16_t>> codes;
        for (const auto &row : reds) {
            codes.emplace_back();
            for (uint8_t red : row)
                codes.back().push_back(Model.CodeForColor(red));
        }
        return codes;
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
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = Encode(c.Bmp);
        const auto reds = ReferenceReds(bytes);
        ASSERT_TRUE(reds.has_value());
        EXPECT_EQ(Refusal(Save(bytes)), "");
        EXPECT_EQ(GridCodes(), CodesOf(*reds));
    }
    // The red values of the 5-5-5 picture, as the decoder widens five bits.
    EXPECT_EQ((*ReferenceReds(Encode(rgb555)))[0], (std::vector<uint8_t>{248, 0, 40, 192}));

    // PNGs: true colour, and paletted with a table shorter than 256 colours.
    QImage rgb(7, 5, QImage::Format_RGB32);
    QImage indexed(7, 5, QImage::Format_Indexed8);
    indexed.setColorCount(16);
    for (int i = 0; i < 16; ++i)
        indexed.setColor(i, TerrainColours[size_t(i)] | 0xFF000000);
    const TPixels pixels = Indices(16);
    std::vector<std::vector<uint8_t>> reds;
    for (int y = 0; y < 5; ++y) {
        reds.emplace_back();
        for (int x = 0; x < 7; ++x) {
            const uint32_t index = pixels[size_t(y)][size_t(x)];
            rgb.setPixel(x, y, TerrainColours[index]);
            indexed.setPixel(x, y, index);
            reds.back().push_back(uint8_t(TerrainColours[index] >> 16));
        }
    }
    for (const QImage *image : {&rgb, &indexed}) {
        ASSERT_TRUE(image->save(QString::fromStdString(Dir.File("picture.png"))));
        EXPECT_EQ(Refusal(Dir.File("picture.png")), "");
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
        {"v3 header of 56 bytes", TrueColour(24), field32(14, 56), "info header of 56 bytes is a version that cannot be read"},
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

std::string Big32(uint32_t v)
{
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

std::string PngHeader(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0)
{
    return PngChunk("IHDR", Big32(width) + Big32(height) + std::string{char(depth), char(colourType), 0, 0, char(interlace)});
}

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

    struct TCase
    {
        const char *Name;
        std::string Bytes;
        std::string Fault;
    };
    const TCase cases[] = {
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
    // Other formats the decoder knows are refused by their content.
    QImage ppm(3, 2, QImage::Format_RGB32);
    ppm.fill(qRgb(40, 0, 0));
    ASSERT_TRUE(ppm.save(QString::fromStdString(Dir.File("picture.bmp")), "PPM"));
    EXPECT_NE(Refusal(Dir.File("picture.bmp")).find("neither a BMP nor a PNG"), std::string::npos);
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
            ASSERT_EQ(GridCodes(), CodesOf(*reds));
        }
    }
    EXPECT_GT(loaded, 300);
    EXPECT_GT(refused, 300);

    // In a PNG every byte up to the end chunk is under a checksum: any change
    // of one byte is refused.
    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(40, 0, 0), qRgb(30, 0, 0), qRgb(150, 0, 0)});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            indexed.setPixel(x, y, uint32_t(x + y) % 3);
    ASSERT_TRUE(indexed.save(QString::fromStdString(Dir.File("base.png"))));
    const std::string png = ReadFile(Dir.File("base.png"));
    ASSERT_EQ(Refusal(Dir.File("base.png")), "");
    for (size_t i = 0; i < png.size(); ++i)
        for (uint8_t flip : {0x01, 0x10, 0x80}) {
            std::string mutant = png;
            mutant[i] = char(mutant[i] ^ flip);
            WriteFile(path, mutant);
            ASSERT_NE(Refusal(path), "") << "byte " << i << " changed by " << int(flip);
        }
}

TEST_F(PictureCheck, APictureBeyondTheDecoderLimitIsRefusedWithThatLimit)
{
    // 16400 x 16400 pixels of 8 bits: a sound file (sparse on disk), which the
    // BMP decoder refuses only saying that it cannot read the data.
    TBmp bmp = Paletted(8, 16);
    bmp.Palette.resize(256, 0x280000);
    bmp.Pixels = {{0}};
    std::string bytes = Encode(bmp);
    const size_t offset = PixelDataOffset(bytes);
    bytes.resize(offset);
    Put32(bytes, WidthField, 16400);
    Put32(bytes, HeightField, 16400);
    const std::string path = Save(bytes, "large.bmp");
    std::filesystem::resize_file(path, offset + size_t(16400) * 16400);
    EXPECT_EQ(Refusal(path), path + ": the picture has 16400 x 16400 pixels, more than the 268435456 (16384 x 16384) "
                                    "that the BMP decoder reads");
}
