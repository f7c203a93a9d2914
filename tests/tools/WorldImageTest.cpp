#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "TestSupport.h"
#include "WorldImage.h"
#include "WorldPainter.h"
#include "WorldRed.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace TestSupport;

namespace {

uint32_t Read32(const std::string &bytes, size_t at)
{
    return ByteOrder::Le32(reinterpret_cast<const uint8_t *>(bytes.data() + at));
}
uint16_t Read16(const std::string &bytes, size_t at)
{
    return ByteOrder::Le16(reinterpret_cast<const uint8_t *>(bytes.data() + at));
}

// The terrain code each red value selects with the default configuration.
uint16_t DefaultCode(uint8_t red)
{
    switch (red) {
    case WorldRed::Dirt: return DIRT;
    case WorldRed::Mountain: return MOUNTAIN;
    case WorldRed::Desert: return DESERT;
    case WorldRed::Snow: return SNOW;
    case WorldRed::Grass: return GRASS;
    case WorldRed::Forest: return FOREST;
    case WorldRed::Jungle: return JUNGLE;
    case WorldRed::Swamp: return SWAMP;
    case WorldRed::Water: return WATER;
    default: return NO_TERRAIN;
    }
}

const struct
{
    int Width, Height;
    uint64_t Seed;
} Sizes[] = {{256, 192, 1}, {257, 61, 9}, {1, 1, 1}, {3, 2, 4}};

TEST(WorldImage, SavedBmpHas24BitsPerPixelAndTheRightSize)
{
    TTempDir dir;
    for (const auto &size : Sizes) {
        SCOPED_TRACE(std::to_string(size.Width) + " x " + std::to_string(size.Height));
        const std::string path = dir.File("world.bmp");
        SaveWorldBmp(PaintWorld(size.Width, size.Height, size.Seed), path);
        const std::string bytes = ReadFile(path);
        const uint32_t rowBytes = (uint32_t(size.Width) * 3 + 3) / 4 * 4;
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        EXPECT_EQ(Read32(bytes, 2), bytes.size());
        EXPECT_EQ(Read32(bytes, 18), uint32_t(size.Width));
        EXPECT_EQ(uint32_t(std::abs(int32_t(Read32(bytes, 22)))), uint32_t(size.Height));
        EXPECT_EQ(Read16(bytes, 28), 24);    // bits per pixel
        EXPECT_EQ(Read32(bytes, 30), 0u);    // no compression
        EXPECT_EQ(bytes.size(), Read32(bytes, 10) + size_t(rowBytes) * size_t(size.Height));
    }
}

TEST(WorldImage, ModelLoadsTheCodesThePainterMeant)
{
    TTempDir dir;
    for (const auto &size : Sizes) {
        SCOPED_TRACE(std::to_string(size.Width) + " x " + std::to_string(size.Height));
        const TWorldPicture picture = PaintWorld(size.Width, size.Height, size.Seed);
        const std::string path = dir.File("world.bmp");
        SaveWorldBmp(picture, path);

        TTerrainImage model(BundledTilesPath());
        model.LoadFromBMP(path);
        ASSERT_EQ(model.GetWidth(), size.Width);
        ASSERT_EQ(model.GetHeight(), size.Height);
        int mismatches = 0;
        for (int y = 0; y < size.Height; ++y) {
            for (int x = 0; x < size.Width; ++x) {
                const uint8_t red = picture.RedAt(x, y);
                const uint16_t code = model.GetCell(x + 1, y + 1).Code;
                mismatches += code != DefaultCode(red) || code != model.CodeForColor(red);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(WorldImage, ImageCarriesTheRedValuesExactly)
{
    const TWorldPicture picture = PaintWorld(97, 55, 12);
    const QImage image = WorldToImage(picture);
    EXPECT_FALSE(image.hasAlphaChannel());
    int mismatches = 0;
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x)
            mismatches += qRed(image.pixel(x, y)) != picture.RedAt(x, y);
    EXPECT_EQ(mismatches, 0);
}

TEST(WorldImage, SameWorldGivesTheSameFileBytes)
{
    TTempDir dir;
    SaveWorldBmp(PaintWorld(200, 120, 5), dir.File("a.bmp"));
    SaveWorldBmp(PaintWorld(200, 120, 5), dir.File("b.bmp"));
    EXPECT_EQ(ReadFile(dir.File("a.bmp")), ReadFile(dir.File("b.bmp")));
}

TEST(WorldImage, SavingReplacesAnExistingFileWhole)
{
    TTempDir dir;
    const std::string path = dir.File("world.bmp");
    WriteFile(path, std::string(1000000, 'x'));
    SaveWorldBmp(PaintWorld(40, 30, 2), path);
    TTempDir other;
    SaveWorldBmp(PaintWorld(40, 30, 2), other.File("fresh.bmp"));
    EXPECT_EQ(ReadFile(path), ReadFile(other.File("fresh.bmp")));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"world.bmp"});
}

// A failed save names the file and leaves nothing behind.
TEST(WorldImage, UnwritablePathsFailWithTheirNameAndLeaveNoFile)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    WriteFile(dir.File("plain"), "x");
    const std::string paths[] = {
        dir.File("missing/world.bmp"), // a folder that does not exist
        dir.File("folder"),            // a folder, not a file
        dir.File("plain/world.bmp"),   // a file where a folder should be
    };
    const TWorldPicture picture = PaintWorld(16, 16, 1);
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        try {
            SaveWorldBmp(picture, path);
            ADD_FAILURE() << "saved";
        } catch (const EWorldSaveError &error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
        EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"folder", "plain"}));
        EXPECT_TRUE(ListDir(dir.File("folder")).empty());
        EXPECT_EQ(ReadFile(dir.File("plain")), "x");
    }
}

// A BMP counts its bytes in 32 bits; a larger picture is refused before any
// memory is taken or any file is made.
TEST(WorldImage, RefusesPicturesTooLargeForABmp)
{
    TTempDir dir;
    TWorldPicture huge;
    huge.Width = 65535;
    huge.Height = 65535;
    const std::string path = dir.File("huge.bmp");
    try {
        SaveWorldBmp(huge, path);
        ADD_FAILURE() << "saved";
    } catch (const EWorldSaveError &error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(ListDir(dir.Path()).empty());
}

} // namespace
