// The writer for maps of other sizes: the fast filler against the
// straightforward one, cut and void edges, statics files, all-or-nothing saves.
#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace TestSupport;

namespace {

const char *const SomeTiles = "[DIRT]\n1=\n2=\n3=\n[GRASS]\n5=\n[WATER]\n7=\n8=\n[COASTLINE]\n14=\n[VOID]\n580=\n"
                              "[TRANS_DIRT_GRASS]\nN=100\n";

void PaintRandomly(TTerrainImage &Model, int Width, int Height, uint64_t Seed)
{
    const uint16_t codes[] = {0, DIRT, GRASS, WATER, COASTLINE, SNOW, BORDER_MARK, 1 * 256 + 5 * 16 + 1};
    TPcg32 painter;
    painter.Seed(Seed, 1);
    Model.ResetGrid(uint16_t(Width), uint16_t(Height));
    for (int y = 1; y <= Height; ++y)
        for (int x = 1; x <= Width; ++x)
            Model.SetCell(x, y, codes[painter.Random(std::size(codes))], int(painter.Random(256)) - 128);
}

} // namespace

TEST(MapSizes, TheFastFillerGivesTheStraightforwardBytesAtEverySize)
{
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), SomeTiles);
    TTerrainImage model(dir.File("Tiles.ini"));
    // Sizes with a last band narrower than the rest (181 block-columns), maps
    // smaller and larger than the picture, a map of a single block.
    const struct
    {
        TMapSize Size;
        int PictureWidth, PictureHeight;
    } cases[] = {{{1448, 1448}, 1500, 700}, {{8, 8}, 13, 11}, {{136, 24}, 100, 30}, {{2304, 1600}, 9, 1601}};
    for (const auto &c : cases) {
        SCOPED_TRACE(FormatMapSize(c.Size));
        PaintRandomly(model, c.PictureWidth, c.PictureHeight, uint64_t(c.Size.Width));
        const size_t columnBytes = c.Size.ColumnBytes();
        Random::Generator().Seed(5, 5);
        const TPcg32 start = Random::Generator();
        std::vector<uint8_t> reference(size_t(c.Size.BlockColumns()) * columnBytes);
        for (int bx = 0; bx < c.Size.BlockColumns(); ++bx)
            FillBlockColumn(model, c.Size, bx, reference.data() + size_t(bx) * columnBytes);
        const TPcg32 end = Random::Generator();

        const TMapFiller filler(model, start, c.Size);
        std::vector<uint8_t> fast(reference.size(), 0xEE);
        for (int first = 0; first < c.Size.BlockColumns(); first += 16)
            filler.FillBand(first, std::min(16, c.Size.BlockColumns() - first), fast.data() + size_t(first) * columnBytes);
        EXPECT_EQ(fast, reference);
        EXPECT_EQ(filler.StateBefore(c.Size.BlockColumns()).State, end.State);

        // The writer's MUL file is the straightforward bytes, and leaves the
        // generator where they do.
        Random::Generator() = start;
        const std::string path = dir.File("map.mul");
        WriteMapFile(model, TMapOutput::ForFile(path, c.Size));
        EXPECT_EQ(Random::Generator().State, end.State);
        const std::string bytes = ReadFile(path);
        ASSERT_EQ(bytes.size(), reference.size());
        EXPECT_EQ(std::memcmp(bytes.data(), reference.data(), bytes.size()), 0);
    }
}

TEST(MapSizes, StaticsFilesHoldNoStaticsAndAreOfTheMapsSize)
{
    TTempDir dir;
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GGW"});
    const TMapOutput output =
        TMapOutput::ForFile(dir.File("map2LegacyMUL.uop"), {2304, 1600}, TStaticsChoice::Empty);
    ASSERT_EQ(WriteMapFile(model, output), TMapWriteResult::Written);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map2LegacyMUL.uop", "staidx2.mul", "statics2.mul"}));
    const std::string index = ReadFile(dir.File("staidx2.mul"));
    ASSERT_EQ(index.size(), 288u * 200u * 12u);
    const std::string record("\xFF\xFF\xFF\xFF\0\0\0\0\0\0\0\0", 12);
    for (size_t block = 0; block < 288u * 200u; ++block)
        ASSERT_EQ(index.compare(block * 12, 12, record), 0) << block;
    // One static of zeros that no block refers to: no block's statics start at
    // byte 0, and the file is not empty.
    EXPECT_EQ(ReadFile(dir.File("statics2.mul")), std::string(7, '\0'));
}

TEST(MapSizes, AllFilesOfARunChangeTogetherOrNotAtAll)
{
    TTempDir dir;
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GD"});
    for (const char *name : {"map0.mul", "staidx0.mul", "statics0.mul"})
        WriteFile(dir.File(name), std::string("old ") + name);
    const auto unchanged = [&] {
        for (const char *name : {"map0.mul", "staidx0.mul", "statics0.mul"})
            EXPECT_EQ(ReadFile(dir.File(name)), std::string("old ") + name);
        EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul", "staidx0.mul", "statics0.mul"}));
    };
    TMapOutput output = TMapOutput::ForFile(dir.File("map0.mul"), {64, 64}, TStaticsChoice::Empty);

    // Aborted after the first block-column.
    TMapWriterHooks hooks;
    hooks.AfterColumn = [](int) { return true; };
    EXPECT_EQ(WriteMapFile(model, output, hooks), TMapWriteResult::Aborted);
    unchanged();

    // A statics file that cannot be written: the map file stays as it was.
    std::filesystem::permissions(dir.File("statics0.mul"), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::group_read |
                                                               std::filesystem::perms::others_read);
    try {
        WriteMapFile(model, output);
        ADD_FAILURE() << "replaced a write-protected statics file";
    } catch (const EMapWriteError &error) {
        EXPECT_NE(std::string(error.what()).find(dir.File("statics0.mul") + ": the file is write-protected"),
                  std::string::npos)
            << error.what();
    }
    unchanged();

    std::filesystem::permissions(dir.File("statics0.mul"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(WriteMapFile(model, output), TMapWriteResult::Written);
    EXPECT_EQ(std::filesystem::file_size(dir.File("map0.mul")), 64u * 196u);
    EXPECT_EQ(std::filesystem::file_size(dir.File("staidx0.mul")), 64u * 12u);

    // A map file named like its own statics file.
    output.FileName = dir.File("staidx0.mul");
    EXPECT_THROW(WriteMapFile(model, output), EMapWriteError);
    output.Size = {12, 8};
    EXPECT_THROW(WriteMapFile(model, output), std::invalid_argument);
}

TEST(MapSizes, TheGenerateCommandStepsOncePerBlockColumnOfTheMap)
{
    TTempDir dir;
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GG"});
    struct TObserver : TGenerateObserver
    {
        void WritingBegins(int BlockColumns, const std::string &) override { Announced = BlockColumns; }
        void ColumnWritten(int BlockColumn, int) override { Columns.push_back(BlockColumn); }
        int Announced = 0;
        std::vector<int> Columns;
    } observer;
    const TMapOutput output =
        TMapOutput::ForFile(dir.File("map5LegacyMUL.uop"), {1280, 4096}, TStaticsChoice::Empty);
    EXPECT_EQ(RunGenerateCommand(model, output, observer).Outcome, TGenerateOutcome::Written);
    EXPECT_EQ(observer.Announced, 160);
    ASSERT_EQ(observer.Columns.size(), 160u);
    EXPECT_EQ(observer.Columns.back(), 159);
    TMapReader reader(output.FileName);
    EXPECT_EQ(reader.Size(), (TMapSize{1280, 4096}));
    EXPECT_EQ(reader.MapNumber(), 5);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map5LegacyMUL.uop", "staidx5.mul", "statics5.mul"}));
}
