#include "ClassTerrainImage.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <map>

using namespace TestSupport;

namespace {

using TReds = std::vector<std::vector<uint8_t>>;

// An odd width, so 24-bit rows are padded; every terrain, water and a red
// value of no terrain (77, and 0).
const TReds Picture = {
    {30, 150, 100, 40, 77},
    {9, 145, 191, 230, 250},
    {0, 30, 30, 150, 100},
};

using PictureFiles::Put16;
using PictureFiles::Put32;

enum class TBmpKind { Rgb24, Rgb32, Paletted8, Rle8 };

// The bytes of a BMP file holding the given red values, written by hand so that
// every layout is under the test's control.
std::string MakeBmp(const TReds &reds, TBmpKind kind, bool topDown = false)
{
    const int height = int(reds.size());
    const int width = int(reds[0].size());
    // Paletted kinds: colour index i has red value i.
    const bool paletted = kind == TBmpKind::Paletted8 || kind == TBmpKind::Rle8;
    const int bpp = kind == TBmpKind::Rgb24 ? 24 : kind == TBmpKind::Rgb32 ? 32 : 8;
    const size_t paletteBytes = paletted ? 256 * 4 : 0;
    const size_t offset = 14 + 40 + paletteBytes;

    std::string pixels;
    for (int i = 0; i < height; ++i) {
        const auto &row = reds[size_t(topDown ? i : height - 1 - i)];
        std::string line;
        if (kind == TBmpKind::Rle8) {
            for (uint8_t red : row)
                line += {char(1), char(red)};
            line += {char(0), char(0)}; // end of line
        } else {
            for (int x = 0; x < width; ++x) {
                const uint8_t red = row[size_t(x)];
                if (paletted)
                    line += char(red);
                else
                    line += {char(x * 40), char(i * 70), char(red)};
                if (bpp == 32)
                    line += char(0xFF);
            }
            while (line.size() % 4)
                line += char(0);
        }
        pixels += line;
    }
    if (kind == TBmpKind::Rle8)
        pixels += {char(0), char(1)}; // end of bitmap

    std::string file(offset, '\0');
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, uint32_t(offset + pixels.size()));
    Put32(file, 10, uint32_t(offset));
    Put32(file, 14, 40);
    Put32(file, 18, uint32_t(width));
    Put32(file, 22, uint32_t(topDown ? -height : height));
    Put16(file, 26, 1);
    Put16(file, 28, uint32_t(bpp));
    Put32(file, 30, kind == TBmpKind::Rle8 ? 1 : 0);
    Put32(file, 34, uint32_t(pixels.size()));
    if (paletted)
        for (int i = 0; i < 256; ++i)
            Put32(file, 54 + size_t(i) * 4, uint32_t((i << 16) | ((255 - i) << 8) | 17));
    return file + pixels;
}

std::vector<std::string> CodesOf(const TTerrainImage &model)
{
    const TLegend legend = {{'0', NO_TERRAIN}, {'D', DIRT},   {'M', MOUNTAIN}, {'S', DESERT}, {'N', SNOW},
                            {'G', GRASS},      {'F', FOREST}, {'J', JUNGLE},   {'P', SWAMP},  {'W', WATER}};
    return GridLetters(model, legend);
}

const std::vector<std::string> PictureCodes = {"WMDG0", "FJPSN", "0WWMD"};

class ImageImport : public ::testing::Test
{
protected:
    void SetUp() override { Random::SetFixedSeed(99); }
    void TearDown() override { Random::SetFixedSeed(std::nullopt); }

    std::string Save(const std::string &name, const std::string &bytes)
    {
        const std::string path = Dir.File(name);
        WriteFile(path, bytes);
        return path;
    }

    // Loads a path that must fail; the grid is empty afterwards and the
    // message names the file and contains the given cause.
    void ExpectLoadFails(const std::string &path, const std::string &cause)
    {
        Model.LoadFromBMP(Save("good.bmp", MakeBmp(Picture, TBmpKind::Rgb24)));
        ASSERT_EQ(Model.GetWidth(), 5);
        try {
            Model.LoadFromBMP(path);
            ADD_FAILURE() << path << " loaded";
        } catch (const EImageLoadError &error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(cause), std::string::npos) << message;
        }
        EXPECT_EQ(Model.GetWidth(), 0);
        EXPECT_EQ(Model.GetHeight(), 0);
        EXPECT_EQ(Model.GetCell(1, 1), TCell{});
    }

    TTempDir Dir;
    TTerrainImage Model{BundledTilesPath()};
};

} // namespace

TEST_F(ImageImport, EveryLayoutLoadsToTheSameGrid)
{
    struct TLayout
    {
        const char *Name;
        std::string Bytes;
    };
    const TLayout layouts[] = {
        {"bottom-up 24-bit", MakeBmp(Picture, TBmpKind::Rgb24)},
        {"top-down 24-bit", MakeBmp(Picture, TBmpKind::Rgb24, true)},
        {"32-bit", MakeBmp(Picture, TBmpKind::Rgb32)},
        {"8-bit paletted", MakeBmp(Picture, TBmpKind::Paletted8)},
        {"8-bit run-length", MakeBmp(Picture, TBmpKind::Rle8)},
    };
    std::vector<std::vector<int>> firstAltitudes;
    for (const auto &layout : layouts) {
        SCOPED_TRACE(layout.Name);
        Model.LoadFromBMP(Save("picture.bmp", layout.Bytes));
        EXPECT_EQ(Model.GetWidth(), 5);
        EXPECT_EQ(Model.GetHeight(), 3);
        EXPECT_EQ(CodesOf(Model), PictureCodes);
        // The same seed gives the same start altitudes, whatever the layout.
        if (firstAltitudes.empty())
            firstAltitudes = GridAltitudes(Model);
        EXPECT_EQ(GridAltitudes(Model), firstAltitudes);
    }
    // A PNG is decoded too.
    QImage png(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            png.setPixel(x, y, qRgb(Picture[size_t(y)][size_t(x)], 1, 2));
    ASSERT_TRUE(png.save(QString::fromStdString(Dir.File("picture.png"))));
    Model.LoadFromBMP(Dir.File("picture.png"));
    EXPECT_EQ(CodesOf(Model), PictureCodes);
}

TEST_F(ImageImport, StartAltitudesFollowTheirCodesAndTheDrawOrder)
{
    Model.LoadFromBMP(Save("picture.bmp", MakeBmp(Picture, TBmpKind::Rgb24)));
    // One draw per cell that is not water, row by row, from seed(99, 2).
    TPcg32 reference;
    reference.Seed(99, 2);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 5; ++x) {
            const TCell cell = Model.GetCell(x, y);
            int expected;
            if (cell.Code == WATER)
                expected = -75;
            else if (cell.Code == MOUNTAIN)
                expected = 20 + int(reference.Random(55));
            else
                expected = int(reference.Random(10));
            EXPECT_EQ(cell.Altitude, expected) << x << "," << y;
            EXPECT_EQ(Model.GetFlag(x, y), FLAG_NONE);
        }
}

TEST_F(ImageImport, AllFlagsAreClearedByEachLoad)
{
    const std::string path = Save("picture.bmp", MakeBmp(Picture, TBmpKind::Rgb24));
    Model.LoadFromBMP(path);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 5; ++x)
            Model.SetFlag(x, y, FLAG_FIXED);
    Model.LoadFromBMP(path);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 5; ++x)
            EXPECT_EQ(Model.GetFlag(x, y), FLAG_NONE);
}

TEST_F(ImageImport, ASmallerImageReplacesALargerOneWhole)
{
    Model.LoadFromBMP(Save("big.bmp", MakeBmp({{30, 30, 30, 30}, {30, 30, 30, 30}}, TBmpKind::Rgb24)));
    Model.LoadFromBMP(Save("small.bmp", MakeBmp({{40, 9}, {100, 150}, {230, 250}}, TBmpKind::Rgb24)));
    EXPECT_EQ(Model.GetWidth(), 2);
    EXPECT_EQ(Model.GetHeight(), 3);
    EXPECT_EQ(CodesOf(Model), (std::vector<std::string>{"GF", "DM", "SN"}));
    EXPECT_EQ(Model.GetCell(3, 1), TCell{});
}

TEST_F(ImageImport, BrokenFilesFailCleanly)
{
    ExpectLoadFails(Dir.File("missing.bmp"), "does not exist");
    ExpectLoadFails(Save("empty.bmp", ""), "");
    ExpectLoadFails(Save("text.bmp", "this is not a picture\n"), "");

    std::string rgb = MakeBmp(Picture, TBmpKind::Rgb24);
    ExpectLoadFails(Save("cut-rgb.bmp", rgb.substr(0, rgb.size() - 1)), "truncated");
    std::string paletted = MakeBmp(Picture, TBmpKind::Paletted8);
    ExpectLoadFails(Save("cut-paletted.bmp", paletted.substr(0, paletted.size() - 3)), "truncated");
    std::string rle = MakeBmp(Picture, TBmpKind::Rle8);
    ExpectLoadFails(Save("cut-rle.bmp", rle.substr(0, rle.size() - 4)), "truncated");
    std::string farOffset = rgb;
    Put32(farOffset, 10, uint32_t(rgb.size() + 100));
    ExpectLoadFails(Save("far-offset.bmp", farOffset), "truncated");
    ExpectLoadFails(Save("header-only.bmp", rgb.substr(0, 20)), "truncated");
}

TEST_F(ImageImport, ImagesWiderThanTheGridCanHoldAreRefused)
{
    // 70000 x 1 pixels fit in a small file but not in a 16-bit width.
    const TReds wide = {std::vector<uint8_t>(70000, 40)};
    ExpectLoadFails(Save("wide.bmp", MakeBmp(wide, TBmpKind::Paletted8)), "65535");
}

TEST_F(ImageImport, ALargeImageIsNotRefusedByTheDecoderLimit)
{
    // Qt refuses to decode more than 256 MB of pixels by default; every image
    // that fits in memory must load. 8200 x 8200 pixels decode to 269 MB.
    const int width = 8200, height = 8200;
    const TReds oneRow = {std::vector<uint8_t>(width, 40)};
    const std::string row = MakeBmp(oneRow, TBmpKind::Rgb24);
    const size_t offset = 14 + 40;
    const size_t stride = size_t(width) * 3; // a multiple of four
    std::string file = row.substr(0, offset);
    Put32(file, 22, uint32_t(height));
    Put32(file, 34, uint32_t(stride * height));
    Put32(file, 2, uint32_t(offset + stride * height));
    file.reserve(offset + stride * height);
    for (int y = 0; y < height; ++y)
        file.append(row, offset, stride);
    Model.LoadFromBMP(Save("large.bmp", file));
    EXPECT_EQ(Model.GetWidth(), width);
    EXPECT_EQ(Model.GetHeight(), height);
    EXPECT_EQ(Model.GetCell(width, height).Code, GRASS);
}
