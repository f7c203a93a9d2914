// The heights picture: every grey format it may come in, the pictures it
// refuses (coloured, of another size, damaged) and what it leaves in the model.
#include "ClassTerrainImage.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace TestSupport;
using PictureFiles::TBmp;
using PictureFiles::TPng;

namespace {

// The terrain picture, 3 x 2: grass, water, mountain / dirt, grass, water.
const std::vector<std::vector<uint8_t>> Terrain = {{40, 30, 150}, {100, 40, 30}};
// The greys painted on it, and the altitudes they stand for (grey - 128).
const std::vector<std::vector<int>> Greys = {{0, 128, 255}, {1, 127, 200}};
const std::vector<std::vector<int>> Painted = {{-128, 0, 127}, {-127, -1, 72}};
// The start altitudes then: painted, but water keeps the water altitude.
std::vector<std::vector<int>> Started(int water) { return {{-128, water, 127}, {-127, -1, water}}; }

TBmp Bmp(PictureFiles::TPixels pixels, uint32_t bits, std::vector<uint32_t> palette = {}, uint32_t compression = 0)
{
    TBmp bmp;
    bmp.Pixels = std::move(pixels);
    bmp.Bits = bits;
    bmp.Palette = std::move(palette);
    bmp.Compression = compression;
    return bmp;
}

PictureFiles::TPixels BmpPixels(bool indices)
{
    PictureFiles::TPixels pixels;
    for (const auto &row : Greys) {
        pixels.emplace_back();
        for (const int g : row)
            pixels.back().push_back(indices ? uint32_t(g) : uint32_t(g) * 0x010101u);
    }
    return pixels;
}

std::vector<uint32_t> GreyPalette()
{
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 256; ++i)
        palette.push_back(i * 0x010101u);
    return palette;
}

TPng GreyPng(uint8_t colourType, uint8_t depth, uint16_t (*sample)(int grey))
{
    TPng png;
    png.Width = 3;
    png.Height = 2;
    png.ColourType = colourType;
    png.Depth = depth;
    for (const auto &row : Greys) {
        png.Pixels.emplace_back();
        for (const int g : row)
            png.Pixels.back().push_back({sample(g), uint16_t(depth == 16 ? 0xFFFF : 0xFF), 0, 0});
    }
    return png;
}

struct TGreyCase
{
    const char *Name;
    std::string File;
};

std::vector<TGreyCase> GreyCases()
{
    TBmp paletted = Bmp(BmpPixels(true), 8, GreyPalette());
    paletted.Palette[200 + 1] = 0xFF0000; // a coloured entry no pixel uses
    TBmp runLength = paletted;
    runLength.Compression = 1;
    TPng interlaced = GreyPng(0, 8, [](int g) { return uint16_t(g); });
    interlaced.Interlaced = true;
    return {
        {"PNG grey, 8 bits", PictureFiles::Encode(GreyPng(0, 8, [](int g) { return uint16_t(g); }))},
        {"PNG grey and alpha, 8 bits", PictureFiles::Encode(GreyPng(4, 8, [](int g) { return uint16_t(g); }))},
        {"PNG grey, interlaced", PictureFiles::Encode(interlaced)},
        // The high byte counts: 0x7FFF is 127, where the nearest 8-bit value would be 128.
        {"PNG grey, 16 bits", PictureFiles::Encode(GreyPng(0, 16, [](int g) { return uint16_t(g * 256 + 0xFF); }))},
        {"PNG grey and alpha, 16 bits",
         PictureFiles::Encode(GreyPng(4, 16, [](int g) { return uint16_t(g * 256 + 0xFF); }))},
        {"BMP 8 bits, grey colour table", PictureFiles::Encode(paletted)},
        {"BMP 8-bit run-length data", PictureFiles::Encode(runLength)},
        {"BMP 24 bits", PictureFiles::Encode(Bmp(BmpPixels(false), 24))},
        {"BMP 32 bits", PictureFiles::Encode(Bmp(BmpPixels(false), 32))},
        {"BMP 32-bit fields", PictureFiles::Encode(Bmp(BmpPixels(false), 32, {}, 3))},
    };
}

class HeightsImport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SaveRedBmp(TerrainFile, Terrain);
        Model.LoadFromBMP(TerrainFile);
    }
    std::string Save(const std::string &bytes)
    {
        WriteFile(HeightsFile, bytes);
        return HeightsFile;
    }
    std::vector<std::vector<int>> PaintedAltitudes() const
    {
        std::vector<std::vector<int>> rows;
        for (int y = 1; y <= Model.GetHeight(); ++y) {
            rows.emplace_back();
            for (int x = 1; x <= Model.GetWidth(); ++x)
                rows.back().push_back(Model.GetPaintedAltitude(x, y));
        }
        return rows;
    }
    // The message of the load failure, "" when it loads; a size error's
    // message begins with "size: ".
    std::string Refusal(const std::string &bytes)
    {
        try {
            Model.LoadHeights(Save(bytes));
        } catch (const EHeightsSizeError &error) {
            return std::string("size: ") + error.what();
        } catch (const EImageLoadError &error) {
            return error.what();
        }
        return "";
    }

    TTempDir Dir;
    const std::string TerrainFile = Dir.File("terrain.bmp");
    const std::string HeightsFile = Dir.File("heights.png");
    TTerrainImage Model{BundledTilesPath()};
};

} // namespace

TEST_F(HeightsImport, EveryGreyFormatGivesThePaintedAltitudes)
{
    for (const TGreyCase &c : GreyCases()) {
        SCOPED_TRACE(c.Name);
        Model.LoadFromBMP(TerrainFile);
        ASSERT_FALSE(Model.HasPaintedHeights());
        ASSERT_NO_THROW(Model.LoadHeights(Save(c.File)));
        ASSERT_TRUE(Model.HasPaintedHeights());
        EXPECT_EQ(PaintedAltitudes(), Painted);
        EXPECT_EQ(GridAltitudes(Model), Started(Model.GetHeightProfile().Water));
    }
}

TEST_F(HeightsImport, GreyOfFewerBitsIsScaledToEightBits)
{
    // 4-bit grey 0, 7, 15 and 11 are 0, 119, 255 and 187 of 8 bits.
    TPng png = GreyPng(0, 4, [](int g) { return uint16_t(g * 15 / 255); });
    Model.LoadHeights(Save(PictureFiles::Encode(png)));
    EXPECT_EQ(PaintedAltitudes(), (std::vector<std::vector<int>>{{-128, -9, 127}, {-128, -9, 59}}));
}

TEST_F(HeightsImport, ColouredPicturesAreRefusedNamingTheCause)
{
    TBmp colouredPixel = Bmp(BmpPixels(false), 24);
    colouredPixel.Pixels[1][2] = 0xC8C8C9; // blue one above red and green
    TBmp usedColour = Bmp(BmpPixels(true), 8, GreyPalette());
    usedColour.Palette[127] = 0x7F807F; // green differs, used by pixel (1, 1)
    TBmp fieldsOfFive = Bmp({{0, 0x7FFF, 0}, {0, 0, 0}}, 16);
    TPng rgb = GreyPng(0, 8, [](int g) { return uint16_t(g); });
    rgb.ColourType = 2;
    for (auto &row : rgb.Pixels)
        for (auto &pixel : row)
            pixel = {pixel[0], pixel[0], pixel[0], 0}; // grey values, but a colour picture
    TPng palette = GreyPng(3, 8, [](int g) { return uint16_t(g); });
    palette.Palette = GreyPalette();
    const struct
    {
        const char *Name;
        std::string File;
        std::string Message;
    } cases[] = {
        {"a coloured pixel", PictureFiles::Encode(colouredPixel),
         ": the picture is not grey: pixel (2, 1) has red 200 but green or blue 201; a heights picture must be grey "
         "(red = green = blue)"},
        {"a used coloured table entry", PictureFiles::Encode(usedColour),
         ": the picture is not grey: pixel (1, 1) has red 127 but green or blue 128; a heights picture must be grey "
         "(red = green = blue)"},
        {"5 bits per colour", PictureFiles::Encode(fieldsOfFive),
         ": a heights picture needs 8 bits of each colour; this BMP's 16-bit pixels have 5 bits of red, 5 of green "
         "and 5 of blue"},
        {"a PNG colour picture", PictureFiles::Encode(rgb),
         ": the picture is not grey: its colour type is 2 (colour); a heights picture must be grey (colour type 0, or "
         "4 with alpha)"},
        {"a PNG palette picture", PictureFiles::Encode(palette),
         ": the picture is not grey: its colour type is 3 (palette colour); a heights picture must be grey (colour "
         "type 0, or 4 with alpha)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Refusal(c.File), HeightsFile + c.Message);
        EXPECT_FALSE(Model.HasPaintedHeights());
    }
}

TEST_F(HeightsImport, DamagedOrMissingPicturesAreLoadFailures)
{
    const std::string good = PictureFiles::Encode(GreyPng(0, 8, [](int g) { return uint16_t(g); }));
    std::string flipped = good;
    flipped[flipped.size() - 20] = char(flipped[flipped.size() - 20] ^ 0x55); // inside the image data
    for (const std::string &bytes : {good.substr(0, good.size() - 30), flipped, std::string(), std::string("GIF89a")}) {
        const std::string message = Refusal(bytes);
        EXPECT_EQ(message.rfind(HeightsFile + ": ", 0), 0u) << message; // not a size error
        EXPECT_FALSE(Model.HasPaintedHeights());
    }
    EXPECT_EQ(Refusal(std::string()), HeightsFile + ": the file is empty");
    EXPECT_EQ(Refusal("GIF89a"), HeightsFile + ": the file is neither a BMP nor a PNG picture");
    EXPECT_THROW(Model.LoadHeights(Dir.File("missing.png")), EImageLoadError);
}

TEST_F(HeightsImport, SizeMustBeTheTerrainPicturesOrItsCrop)
{
    const auto greyPng = [](uint32_t width, uint32_t height) {
        TPng png;
        png.Width = width;
        png.Height = height;
        png.ColourType = 0;
        png.Pixels.assign(height, std::vector<std::array<uint16_t, 4>>(width, {130, 0, 0, 0}));
        return PictureFiles::Encode(png);
    };
    EXPECT_EQ(Refusal(greyPng(4, 2)),
              "size: " + HeightsFile +
                  ": the heights picture is 4 x 2 pixels, but the terrain picture is 3 x 2; the two must be of one size");
    EXPECT_FALSE(Model.HasPaintedHeights());

    // Cut to 2 x 1: heights of the whole picture's size are cut alike, and
    // heights of the part kept fit too.
    Model.LoadFromBMP(TerrainFile, TLoadOptions{.CropWidth = 2, .CropHeight = 1});
    EXPECT_EQ(Refusal(greyPng(3, 2)), "");
    EXPECT_EQ(GridAltitudes(Model), (std::vector<std::vector<int>>{{2, Model.GetHeightProfile().Water}}));
    EXPECT_EQ(Refusal(greyPng(2, 1)), "");
    EXPECT_EQ(Refusal(greyPng(2, 2)),
              "size: " + HeightsFile +
                  ": the heights picture is 2 x 2 pixels, but the terrain picture is 3 x 2 (cut to 2 x 1); the two "
                  "must be of one size");
}

TEST_F(HeightsImport, DrawsNothingAndGoesWithTheNextTerrainLoad)
{
    Random::SetFixedSeed(77);
    Model.LoadFromBMP(TerrainFile);
    const std::vector<std::vector<int>> drawn = GridAltitudes(Model);
    const uint64_t state = Random::Generator().State;
    Model.LoadHeights(Save(PictureFiles::Encode(GreyPng(0, 8, [](int g) { return uint16_t(g); }))));
    EXPECT_EQ(Random::Generator().State, state);
    Model.LoadFromBMP(TerrainFile);
    EXPECT_FALSE(Model.HasPaintedHeights());
    EXPECT_EQ(GridAltitudes(Model), drawn);
    Random::SetFixedSeed(std::nullopt);

    TTerrainImage empty(BundledTilesPath());
    EXPECT_THROW(empty.LoadHeights(Save(PictureFiles::Encode(GreyPng(0, 8, [](int g) { return uint16_t(g); })))),
                 EImageLoadError);
}
