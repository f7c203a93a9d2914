// The heights picture: grey = altitude + 128 in an 8-bit grey PNG, read back
// by the tests' own PNG reader; as part of a map's save it holds the map
// file's altitudes (read back by the map reader) and goes with the map file,
// all or nothing.
#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "HeightsPicture.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "PlainPng.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace TestSupport;

namespace {

std::vector<uint8_t> HeightsPng(const std::vector<std::vector<int>> &altitudes)
{
    std::vector<uint8_t> bytes;
    WriteHeightsPng(int(altitudes[0].size()), int(altitudes.size()),
                    [&](int Y, int8_t *out) {
                        for (size_t x = 0; x < altitudes[size_t(Y)].size(); ++x)
                            out[x] = int8_t(altitudes[size_t(Y)][x]);
                    },
                    [&](const uint8_t *data, size_t size) { bytes.insert(bytes.end(), data, data + size); });
    return bytes;
}

uint32_t Grey(int value) { return 0xFF000000u | uint32_t(value) * 0x010101u; }

} // namespace

TEST(HeightsPicture, GreyIsTheAltitudePlus128)
{
    const std::vector<uint8_t> file = HeightsPng({{-128, 0, 127}, {-1, 1, 50}});
    const std::vector<std::string> chunks = PlainPng::ChunkTypes(file);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks.front(), "IHDR");
    EXPECT_EQ(chunks.back(), "IEND");
    ASSERT_GT(file.size(), 26u);
    EXPECT_EQ(file[24], 8);  // bits per sample
    EXPECT_EQ(file[25], 0);  // colour type: grey
    const PlainPng::TPicture picture = PlainPng::Decode(file);
    ASSERT_EQ(picture.Width, 3);
    ASSERT_EQ(picture.Height, 2);
    EXPECT_EQ(picture.Pixels, (std::vector<uint32_t>{Grey(0), Grey(128), Grey(255), Grey(127), Grey(129), Grey(178)}));
}

TEST(HeightsPicture, SavedWithTheMapItHoldsTheMapsAltitudes)
{
    TTempDir dir;
    TTerrainImage model(BundledTilesPath());
    model.ResetGrid(10, 20); // narrower and taller than the map: cut below, 0 beyond on the right
    for (int y = 1; y <= 20; ++y)
        for (int x = 1; x <= 10; ++x)
            model.SetCell(x, y, GRASS, (x * 7 + y * 13) % 256 - 128);
    TMapOutput output = TMapOutput::ForFile(dir.File("map.mul"), TMapSize{16, 16});
    output.HeightsPicture = dir.File("heights.png");
    ASSERT_EQ(WriteMapFile(model, output), TMapWriteResult::Written);

    TMapReader map(dir.File("map.mul"), TMapSize{16, 16});
    const PlainPng::TPicture picture = PlainPng::Read(dir.File("heights.png"));
    ASSERT_EQ(picture.Width, 16);
    ASSERT_EQ(picture.Height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(picture.Pixel(x, y), Grey(map.Cell(x, y).Altitude + 128)) << x << "," << y;
    EXPECT_EQ(picture.Pixel(3, 4), Grey((4 * 7 + 5 * 13) % 256)); // the grid's, as written
    EXPECT_EQ(picture.Pixel(12, 4), Grey(128));                   // beyond the grid: 0

    // A heights picture that cannot be saved keeps the map file from changing too.
    const std::string before = ReadFile(dir.File("map.mul"));
    model.SetCell(1, 1, -1, 99);
    std::filesystem::create_directory(dir.File("folder.png"));
    output.HeightsPicture = dir.File("folder.png");
    EXPECT_THROW(WriteMapFile(model, output), EMapWriteError);
    EXPECT_EQ(ReadFile(dir.File("map.mul")), before);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"folder.png", "heights.png", "map.mul"}));
    output.HeightsPicture = dir.File("map.mul");
    EXPECT_THROW(WriteMapFile(model, output), EMapWriteError);
}

TEST(HeightsPicture, SavedOnItsOwnAllOrNothing)
{
    TTempDir dir;
    const auto rows = [](int, int8_t *out) { std::fill(out, out + 4, int8_t(-20)); };
    SaveHeightsPng(4, 3, rows, dir.File("h.png"));
    EXPECT_EQ(PlainPng::Read(dir.File("h.png")).Pixel(3, 2), Grey(108));
    EXPECT_THROW(SaveHeightsPng(4, 3, rows, dir.File("none/h.png")), EFileWriteError);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"h.png"}));
}
