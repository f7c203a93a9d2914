#include "ClassTerrainImage.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

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

// The same red values as an RGB PNG of 8 bits.
std::string MakePng(const TReds &reds, bool interlaced)
{
    PictureFiles::TPng png;
    png.Width = uint32_t(reds[0].size());
    png.Height = uint32_t(reds.size());
    png.Interlaced = interlaced;
    for (size_t y = 0; y < reds.size(); ++y) {
        png.Pixels.emplace_back();
        for (size_t x = 0; x < reds[y].size(); ++x)
            png.Pixels.back().push_back({reds[y][x], uint16_t(x * 40), uint16_t(y * 70), 0});
    }
    return PictureFiles::Encode(png);
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
    void ExpectLoadFails(const std::string &path, const std::string &cause, const TLoadOptions &options = {})
    {
        Model.LoadFromBMP(Save("good.bmp", MakeBmp(Picture, TBmpKind::Rgb24)));
        ASSERT_EQ(Model.GetWidth(), 5);
        try {
            Model.LoadFromBMP(path, options);
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
    // A PNG is decoded too, plain and interlaced.
    for (const bool interlaced : {false, true}) {
        Model.LoadFromBMP(Save("picture.png", MakePng(Picture, interlaced)));
        EXPECT_EQ(CodesOf(Model), PictureCodes);
        EXPECT_EQ(GridAltitudes(Model), firstAltitudes);
    }
}

TEST_F(ImageImport, StartAltitudesFollowTheirCodesAndTheDrawOrder)
{
    // The picture above, and a larger one whose rows the load shares between
    // two threads in uneven halves (odd height, more water in one half).
    TReds larger(37, std::vector<uint8_t>(23));
    for (size_t y = 0; y < larger.size(); ++y)
        for (size_t x = 0; x < larger[y].size(); ++x)
            larger[y][x] = Picture[(y * 7 + x) % 3][(x + y / 5) % 5];
    // The altitudes of the default height profile (the bundled configuration
    // names others).
    Model.SetHeightProfile(THeightProfile{});
    for (const TReds &reds : {Picture, larger}) {
        for (const TBmpKind kind : {TBmpKind::Rgb24, TBmpKind::Rle8}) {
            Model.LoadFromBMP(Save("picture.bmp", MakeBmp(reds, kind)));
            // One draw per cell that is not water, row by row, from seed(99, 2).
            TPcg32 reference;
            reference.Seed(99, 2);
            for (int y = 1; y <= int(reds.size()); ++y)
                for (int x = 1; x <= int(reds[0].size()); ++x) {
                    const TCell cell = Model.GetCell(x, y);
                    int expected;
                    if (cell.Code == WATER)
                        expected = -75;
                    else if (cell.Code == MOUNTAIN)
                        expected = 20 + int(reference.Random(55));
                    else
                        expected = int(reference.Random(10));
                    ASSERT_EQ(cell.Altitude, expected) << x << "," << y;
                    ASSERT_EQ(Model.GetFlag(x, y), FLAG_NONE);
                }
            // The generator goes on from the last draw.
            EXPECT_EQ(Random::Generator().Next32(), reference.Next32());
        }
    }
}

// A load that defers the start altitudes: the cells drawn later get the
// numbers of the one-by-one order, the others stay 0, and the generator
// after the load is where a drawing load leaves it.
TEST_F(ImageImport, DeferredStartAltitudesAreTheLoadsOwnInTheRowsDrawn)
{
    TReds reds(29, std::vector<uint8_t>(17));
    for (size_t y = 0; y < reds.size(); ++y)
        for (size_t x = 0; x < reds[y].size(); ++x)
            reds[y][x] = Picture[(y * 5 + x) % 3][(x * 3 + y / 4) % 5];
    const std::string path = Save("picture.bmp", MakeBmp(reds, TBmpKind::Rgb24));
    Model.SetHeightProfile(THeightProfile{});
    Model.LoadFromBMP(path);
    const std::vector<std::vector<int>> drawn = GridAltitudes(Model);
    const uint32_t after = Random::Generator().Next32();
    TLoadOptions deferred;
    deferred.DeferStartAltitudes = true;
    struct TPart
    {
        int First, Last, FirstColumn, LastColumn;
    };
    for (const auto &[first, last, firstColumn, lastColumn] :
         {TPart{1, 29, 1, 17}, TPart{1, 1, 1, 17}, TPart{12, 20, 1, 17}, TPart{29, 40, 1, 17}, TPart{-3, 2, 1, 17},
          TPart{20, 12, 1, 17}, TPart{5, 25, 4, 9}, TPart{1, 29, 17, 30}, TPart{3, 3, 9, 2}, TPart{2, 28, -5, 1}}) {
        Random::SetFixedSeed(99);
        Model.LoadFromBMP(path, deferred);
        EXPECT_EQ(Random::Generator().Next32(), after);
        ASSERT_TRUE(Model.HasDeferredStartAltitudes());
        // The codes as loaded are kept; the stages then rewrite the grid
        // (here: mountains and water turned into a border code), which must
        // not change the draws.
        ASSERT_NE(Model.LoadedCodes(), nullptr);
        for (int y = 1; y <= 29; ++y)
            for (int x = 1; x <= 17; ++x) {
                const TCell cell = Model.GetCell(x, y);
                ASSERT_EQ(Model.LoadedCodes()[size_t(y - 1) * 17 + size_t(x - 1)], cell.Code);
                if (cell.Code == MOUNTAIN || cell.Code == WATER)
                    Model.SetCell(x, y, BORDER_MARK, 0);
            }
        Model.DrawDeferredStartAltitudes(first, last, firstColumn, lastColumn);
        EXPECT_FALSE(Model.HasDeferredStartAltitudes());
        const std::vector<std::vector<int>> altitudes = GridAltitudes(Model);
        for (int y = 1; y <= 29; ++y)
            for (int x = 1; x <= 17; ++x)
                ASSERT_EQ(altitudes[size_t(y - 1)][size_t(x - 1)],
                          y >= first && y <= last && x >= firstColumn && x <= lastColumn
                              ? drawn[size_t(y - 1)][size_t(x - 1)] : 0)
                    << first << "-" << last << " x " << firstColumn << "-" << lastColumn << " at " << x << "," << y;
    }
    // A load that draws at once keeps no codes.
    Model.LoadFromBMP(path);
    EXPECT_EQ(Model.LoadedCodes(), nullptr);
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
    const std::string path = Save("wide.bmp", MakeBmp(wide, TBmpKind::Paletted8));
    ExpectLoadFails(path, "the image is 70000 x 1 pixels; at most 65535 x 65535 can be loaded");
    // Cut to a width the grid holds, it loads.
    Model.LoadFromBMP(path, TLoadOptions{TLoadOptions::DefaultMemoryBudget, 65535, 0});
    EXPECT_EQ(Model.GetWidth(), 65535);
    EXPECT_EQ(Model.GetCell(65535, 1).Code, GRASS);
}

TEST_F(ImageImport, CropCutsThePictureToItsTopLeftPartFirst)
{
    // The grid and the start altitudes of a cropped load are those of a
    // picture that holds only the part kept, whatever the layout.
    const TReds part = {{30, 150, 100}, {9, 145, 191}};
    Model.LoadFromBMP(Save("part.bmp", MakeBmp(part, TBmpKind::Rgb24)));
    const auto partCodes = CodesOf(Model);
    const auto partAltitudes = GridAltitudes(Model);
    ASSERT_EQ(partCodes, (std::vector<std::string>{"WMD", "FJP"}));
    TLoadOptions crop;
    crop.CropWidth = 3;
    crop.CropHeight = 2;
    struct TLayout
    {
        const char *Name;
        std::string Bytes;
    };
    const TLayout layouts[] = {
        {"bottom-up 24-bit", MakeBmp(Picture, TBmpKind::Rgb24)},
        {"top-down 24-bit", MakeBmp(Picture, TBmpKind::Rgb24, true)},
        {"8-bit run-length", MakeBmp(Picture, TBmpKind::Rle8)},
        {"png", MakePng(Picture, false)},
        {"interlaced png", MakePng(Picture, true)},
    };
    for (const auto &layout : layouts) {
        SCOPED_TRACE(layout.Name);
        Model.LoadFromBMP(Save("picture.bmp", layout.Bytes), crop);
        EXPECT_EQ(CodesOf(Model), partCodes);
        EXPECT_EQ(GridAltitudes(Model), partAltitudes);
    }
    // A crop larger than the picture, or in one direction only.
    const std::string path = Save("picture.bmp", MakeBmp(Picture, TBmpKind::Rgb24));
    Model.LoadFromBMP(path, TLoadOptions{TLoadOptions::DefaultMemoryBudget, 100, 100});
    EXPECT_EQ(CodesOf(Model), PictureCodes);
    Model.LoadFromBMP(path, TLoadOptions{TLoadOptions::DefaultMemoryBudget, 2, 0});
    EXPECT_EQ(CodesOf(Model), (std::vector<std::string>{"WM", "FJ", "0W"}));
    Model.LoadFromBMP(path, TLoadOptions{TLoadOptions::DefaultMemoryBudget, 0, 1});
    EXPECT_EQ(CodesOf(Model), (std::vector<std::string>{"WMDG0"}));
}

TEST_F(ImageImport, APictureOverTheMemoryBudgetIsRefusedBeforeAnythingIsAllocated)
{
    // A 10 x 3 picture: a grid of 12 x 5 framed cells of 8 bytes each.
    const TReds wide = {std::vector<uint8_t>(10, 40), std::vector<uint8_t>(10, 30), std::vector<uint8_t>(10, 40)};
    const std::string path = Save("wide.bmp", MakeBmp(wide, TBmpKind::Rgb24));
    Model.LoadFromBMP(path, TLoadOptions{480, 0, 0});
    EXPECT_EQ(Model.GetWidth(), 10);
    ExpectLoadFails(path, "", TLoadOptions{479, 0, 0});
    try {
        Model.LoadFromBMP(path, TLoadOptions{479, 0, 0});
    } catch (const EImageLoadError &error) {
        EXPECT_EQ(std::string(error.what()), path + ": the image is 10 x 3 pixels; a run over a grid of that size "
                                                    "needs about 480 bytes of memory, more than the budget of 479 bytes");
    }
    // Cut to 4 x 3, it fits: 6 x 5 cells.
    Model.LoadFromBMP(path, TLoadOptions{240, 4, 0});
    EXPECT_EQ(Model.GetWidth(), 4);

    // A sparse file of 65535 x 65535 8-bit pixels, 4 GB that are never read:
    // the default budget refuses it at once; cut to its top-left corner, it loads.
    PictureFiles::TBmp bmp;
    bmp.Bits = 8;
    bmp.Palette.assign(256, 0x280000); // every index grass
    bmp.Pixels = {{0}};
    std::string bytes = PictureFiles::Encode(bmp);
    const size_t offset = PictureFiles::PixelDataOffset(bytes);
    bytes.resize(offset);
    Put32(bytes, PictureFiles::WidthField, 65535);
    Put32(bytes, PictureFiles::HeightField, 65535);
    const std::string huge = Save("huge.bmp", bytes);
    std::filesystem::resize_file(huge, offset + size_t(65536) * 65535);
    try {
        Model.LoadFromBMP(huge);
        ADD_FAILURE() << "loaded";
    } catch (const EImageLoadError &error) {
        EXPECT_EQ(std::string(error.what()), huge + ": the image is 65535 x 65535 pixels; a run over a grid of that "
                                                    "size needs about 32770 MB of memory, more than the budget of "
                                                    "4096 MB");
    }
    Model.LoadFromBMP(huge, TLoadOptions{TLoadOptions::DefaultMemoryBudget, 64, 32});
    EXPECT_EQ(Model.GetWidth(), 64);
    EXPECT_EQ(Model.GetHeight(), 32);
    EXPECT_EQ(Model.GetCell(64, 32).Code, GRASS);
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
