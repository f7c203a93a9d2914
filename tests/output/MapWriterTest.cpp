#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "MapWriter.h"
#include "Platform.h"
#include "Random.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

using namespace TestSupport;

namespace {

// One tile per list, so every byte of the file is known.
const char *const SingleTiles = "[DIRT]\n0x1234=\n[GRASS]\n5=\n[WATER]\n168=\n[COASTLINE]\n51=\n"
                                "[VOID]\n580=\n[TRANS_DIRT_GRASS]\nNE=0xABCD\n";

class MapWriter : public ::testing::Test
{
protected:
    MapWriter()
    {
        WriteFile(Dir.File("Tiles.ini"), SingleTiles);
        Model = std::make_unique<TTerrainImage>(Dir.File("Tiles.ini"));
    }

    // The tile and altitude stored for map cell (mx, my), 0-based.
    static std::pair<uint16_t, int8_t> CellAt(const std::string &bytes, int mx, int my)
    {
        const size_t block = size_t(mx / 8) * 512 + size_t(my / 8);
        const size_t at = block * 196 + 4 + size_t((my % 8) * 8 + mx % 8) * 3;
        return {ByteOrder::Le16(reinterpret_cast<const uint8_t *>(bytes.data()) + at), int8_t(bytes[at + 2])};
    }

    std::string Write()
    {
        const std::string path = Dir.File("map0.mul");
        EXPECT_EQ(WriteMapFile(*Model, path), TMapWriteResult::Written);
        return ReadFile(path);
    }

    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Model;
};

} // namespace

TEST_F(MapWriter, CellsLandAtTheirBytes)
{
    PaintGrid(*Model, {"DGW", "GDC", "x0D"});
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            Model->SetCell(x, y, -1, x * 10 + y);
    Model->SetCell(1, 1, -1, -15);
    Model->SetCell(2, 1, -1, 124);
    Model->SetCell(3, 3, 338, -128);
    const std::string bytes = Write();
    ASSERT_EQ(bytes.size(), size_t(MapFile::FileBytes));
    ASSERT_EQ(bytes.size(), 77070336u);

    // The top-left pixel is bytes 4 to 6: tile 0x1234 little-endian, altitude -15.
    EXPECT_EQ(uint8_t(bytes[4]), 0x34);
    EXPECT_EQ(uint8_t(bytes[5]), 0x12);
    EXPECT_EQ(uint8_t(bytes[6]), 0xF1);
    // Its right neighbour is bytes 7 to 9 (grass, 124), the cell below 28 to 30.
    EXPECT_EQ(uint8_t(bytes[7]), 5);
    EXPECT_EQ(uint8_t(bytes[8]), 0);
    EXPECT_EQ(uint8_t(bytes[9]), 0x7C);
    EXPECT_EQ(uint8_t(bytes[28]), 5);
    EXPECT_EQ(int8_t(bytes[30]), 12);

    EXPECT_EQ(CellAt(bytes, 2, 0), (std::pair<uint16_t, int8_t>{168, 31}));
    EXPECT_EQ(CellAt(bytes, 2, 1), (std::pair<uint16_t, int8_t>{51, 32}));
    EXPECT_EQ(CellAt(bytes, 0, 2), (std::pair<uint16_t, int8_t>{580, 13})); // a border cell
    EXPECT_EQ(CellAt(bytes, 1, 2), (std::pair<uint16_t, int8_t>{580, 23})); // no terrain
    EXPECT_EQ(CellAt(bytes, 2, 2), (std::pair<uint16_t, int8_t>{0xABCD, -128})); // a transition
    // Beyond the picture: the void tile at altitude 0, to the end of the file.
    EXPECT_EQ(CellAt(bytes, 3, 0), (std::pair<uint16_t, int8_t>{580, 0}));
    EXPECT_EQ(CellAt(bytes, 0, 3), (std::pair<uint16_t, int8_t>{580, 0}));
    EXPECT_EQ(CellAt(bytes, 6143, 4095), (std::pair<uint16_t, int8_t>{580, 0}));

    // Every block starts with four zero bytes.
    for (size_t block = 0; block < 393216; ++block)
        ASSERT_EQ(bytes.compare(block * 196, 4, std::string(4, '\0')), 0) << block;
}

TEST_F(MapWriter, BlocksRunDownEachBlockColumnFirst)
{
    // Column 1 of rows 9 and 16 (1-based) lie in the second block, bytes 196 to 391;
    // column 9 of row 1 starts the second block-column at byte 100352.
    Model->ResetGrid(9, 16);
    Model->SetCell(1, 9, DIRT, 1);
    Model->SetCell(8, 16, DIRT, 2);
    Model->SetCell(9, 1, DIRT, 3);
    const std::string bytes = Write();
    EXPECT_EQ(uint8_t(bytes[196 + 4]), 0x34);
    EXPECT_EQ(int8_t(bytes[196 + 6]), 1);
    EXPECT_EQ(uint8_t(bytes[196 + 4 + 63 * 3]), 0x34);
    EXPECT_EQ(int8_t(bytes[196 + 6 + 63 * 3]), 2);
    EXPECT_EQ(uint8_t(bytes[100352 + 4]), 0x34);
    EXPECT_EQ(int8_t(bytes[100352 + 6]), 3);
}

TEST_F(MapWriter, AnEmptyGridIsAMapOfVoidTiles)
{
    const std::string bytes = Write();
    ASSERT_EQ(bytes.size(), 77070336u);
    for (int mx : {0, 7, 8, 3000, 6143})
        for (int my : {0, 9, 2047, 4095})
            EXPECT_EQ(CellAt(bytes, mx, my), (std::pair<uint16_t, int8_t>{580, 0}));
}

TEST_F(MapWriter, APictureLargerThanTheMapIsCut)
{
    Model->ResetGrid(6145, 4097);
    Model->SetCell(6144, 4096, DIRT, 9);
    Model->SetCell(6145, 1, DIRT, 9);
    Model->SetCell(1, 4097, DIRT, 9);
    const std::string bytes = Write();
    ASSERT_EQ(bytes.size(), 77070336u);
    EXPECT_EQ(CellAt(bytes, 6143, 4095), (std::pair<uint16_t, int8_t>{0x1234, 9}));
    EXPECT_EQ(CellAt(bytes, 6143, 0), (std::pair<uint16_t, int8_t>{580, 0}));
    EXPECT_EQ(CellAt(bytes, 0, 4095), (std::pair<uint16_t, int8_t>{580, 0}));
}

TEST_F(MapWriter, TilesAreDrawnInFileOrderFromTheSharedGenerator)
{
    WriteFile(Dir.File("Many.ini"), "[GRASS]\n3=\n4=\n5=\n6=\n[VOID]\n580=\n");
    TTerrainImage model(Dir.File("Many.ini"));
    model.ResetGrid(9, 9);
    for (int y = 1; y <= 9; ++y)
        for (int x = 1; x <= 9; ++x)
            model.SetCell(x, y, GRASS, 0);
    Random::Generator().Seed(5, 5);
    const std::string path = Dir.File("map0.mul");
    WriteMapFile(model, path);
    const std::string bytes = ReadFile(path);
    // Block-column 0: block 0 holds columns 1-8 of rows 1-8 row by row, block 1 row 9;
    // then block-column 1 holds column 9.
    TPcg32 reference;
    reference.Seed(5, 5);
    const auto next = [&] { return uint16_t(3 + reference.Random(4)); };
    for (int my = 0; my < 8; ++my)
        for (int mx = 0; mx < 8; ++mx)
            ASSERT_EQ(CellAt(bytes, mx, my).first, next()) << mx << "," << my;
    for (int mx = 0; mx < 8; ++mx)
        ASSERT_EQ(CellAt(bytes, mx, 8).first, next()) << mx;
    for (int my = 0; my < 9; ++my)
        ASSERT_EQ(CellAt(bytes, 8, my).first, next()) << my;
}

TEST_F(MapWriter, AbortLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string path = Dir.File("map0.mul");
    WriteFile(path, "the map a user already had");
    PaintGrid(*Model, {"DG"});
    int columns = 0;
    bool opened = false;
    TMapWriterHooks hooks;
    hooks.Opened = [&] { opened = true; };
    hooks.AfterColumn = [&](int bx) {
        EXPECT_EQ(bx, columns);
        return ++columns == 5;
    };
    Random::Generator().Seed(3, 3);
    EXPECT_EQ(WriteMapFile(*Model, path, hooks), TMapWriteResult::Aborted);
    EXPECT_TRUE(opened);
    // The generator stands where the five block-columns written have left it.
    const TPcg32 afterAbort = Random::Generator();
    Random::Generator().Seed(3, 3);
    std::vector<uint8_t> column(MapFile::ColumnBytes);
    for (int bx = 0; bx < 5; ++bx)
        FillBlockColumn(*Model, bx, column.data());
    EXPECT_EQ(afterAbort.State, Random::Generator().State);
    EXPECT_EQ(columns, 5);
    EXPECT_EQ(ReadFile(path), "the map a user already had");
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "map0.mul"}));
}

TEST_F(MapWriter, FailuresNameTheFileAndLeaveTheOldOne)
{
    PaintGrid(*Model, {"DG"});
    const std::string missingFolder = Dir.File("no/such/folder/map0.mul");
    try {
        WriteMapFile(*Model, missingFolder);
        FAIL() << "wrote into a missing folder";
    } catch (const EMapWriteError &error) {
        EXPECT_NE(std::string(error.what()).find(missingFolder), std::string::npos) << error.what();
    }

    const std::string protectedFile = Dir.File("protected.mul");
    WriteFile(protectedFile, "keep me");
    std::filesystem::permissions(protectedFile, std::filesystem::perms::owner_read);
    try {
        WriteMapFile(*Model, protectedFile);
        FAIL() << "replaced a write-protected file";
    } catch (const EMapWriteError &error) {
        EXPECT_NE(std::string(error.what()).find(protectedFile), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("write-protected"), std::string::npos) << error.what();
    }
    EXPECT_EQ(ReadFile(protectedFile), "keep me");

    const std::string folder = Dir.File("folder.mul");
    std::filesystem::create_directory(folder);
    EXPECT_THROW(WriteMapFile(*Model, folder), EMapWriteError);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "folder.mul", "protected.mul"}));
}

TEST_F(MapWriter, AFullWriteReplacesTheOldFile)
{
    const std::string path = Dir.File("map0.mul");
    WriteFile(path, "old");
    PaintGrid(*Model, {"D"});
    EXPECT_EQ(WriteMapFile(*Model, path), TMapWriteResult::Written);
    EXPECT_EQ(std::filesystem::file_size(path), 77070336u);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "map0.mul"}));
}

// Block-columns kept whole (every third one, and the last) written ahead,
// the others then in place: the same file and draws as writing them in
// order; a failure while writing ahead names the file and leaves the old one.
TEST_F(MapWriter, AKeptPartWrittenAheadGivesTheFileThatWritingInOrderGives)
{
    PaintGrid(*Model, {"DGWDG", "GDCDD", "x0DGW", "DDDDD"});
    const TMapSize size{64, 32};
    const auto kept = [](int BlockColumn) { return BlockColumn % 3 == 1 || BlockColumn == 7; };
    std::vector<uint8_t> pattern(size_t(size.BlockColumns()) * size.ColumnBytes());
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = uint8_t(i * 7 + i / 196);
    TMapWriterHooks hooks;
    hooks.KeepColumn = kept;
    hooks.KeptColumn = [&](int BlockColumn) -> const uint8_t * {
        return kept(BlockColumn) ? pattern.data() + size_t(BlockColumn) * size.ColumnBytes() : nullptr;
    };
    // Written ahead: the kept block-columns only, or the whole map the run
    // starts from (the others written over it later).
    TMapWriterHooks fromStart = hooks;
    fromStart.StartColumn = [&](int BlockColumn, std::vector<uint8_t> &) -> const uint8_t * {
        return pattern.data() + size_t(BlockColumn) * size.ColumnBytes();
    };
    const auto write = [&](const std::string &Name, const TMapWriterHooks *Ahead) {
        const TMapOutput output = TMapOutput::ForFile(Dir.File(Name), size);
        Random::Generator().Seed(5, 9);
        std::optional<TMapWriteAhead> ahead;
        TMapWriterHooks these = hooks;
        if (Ahead) {
            EXPECT_TRUE(TMapWriteAhead::Applies(output));
            these.Ahead = &ahead.emplace(output, *Ahead);
        }
        EXPECT_EQ(WriteMapFile(*Model, output, these), TMapWriteResult::Written);
        return std::pair{ReadFile(Dir.File(Name)), Random::Generator().State};
    };
    const auto inOrder = write("order.mul", nullptr), ahead = write("ahead.mul", &hooks);
    ASSERT_EQ(ahead.first.size(), size.BlockBytes());
    EXPECT_TRUE(ahead.first == inOrder.first);
    EXPECT_EQ(ahead.second, inOrder.second);
    const auto whole = write("whole.mul", &fromStart);
    EXPECT_TRUE(whole.first == inOrder.first);
    EXPECT_EQ(whole.second, inOrder.second);
    for (int bx = 0; bx < size.BlockColumns(); ++bx)
        EXPECT_EQ(ahead.first.compare(size_t(bx) * size.ColumnBytes(), size.ColumnBytes(),
                                      reinterpret_cast<const char *>(pattern.data()) + size_t(bx) * size.ColumnBytes(),
                                      size.ColumnBytes()) == 0,
                  kept(bx))
            << bx;
    EXPECT_FALSE(TMapWriteAhead::Applies(TMapOutput::ForFile(Dir.File("map0LegacyMUL.uop"))));

    Platform::SetFaultHook([](const std::string &Operation, const std::string &) {
        return Operation == "write" ? Platform::TError{Platform::TErrorKind::InputOutput, 0} : Platform::TError{};
    });
    {
        // Its files go with it.
        const TMapOutput output = TMapOutput::ForFile(Dir.File("ahead.mul"), size);
        TMapWriteAhead failing(output, hooks);
        TMapWriterHooks these = hooks;
        these.Ahead = &failing;
        try {
            WriteMapFile(*Model, output, these);
            ADD_FAILURE() << "a failed write was not reported";
        } catch (const EMapWriteError &error) {
            EXPECT_NE(std::string(error.what()).find(Dir.File("ahead.mul")), std::string::npos) << error.what();
        }
    }
    Platform::SetFaultHook(nullptr);
    EXPECT_TRUE(ReadFile(Dir.File("ahead.mul")) == ahead.first);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "ahead.mul", "order.mul", "whole.mul"}));
}

// The thread writing ahead runs only where a processor is idle: what it has
// not taken when the writer starts, the writer writes itself. Here the thread
// holds the first band of block-columns until the writer has taken the second.
TEST_F(MapWriter, TheWriterWritesTheBandsTheThreadWritingAheadHasNotTaken)
{
    PaintGrid(*Model, {"DG", "GW"});
    const TMapSize size{256, 32}; // 32 block-columns: two bands
    std::vector<uint8_t> pattern(size_t(size.BlockColumns()) * size.ColumnBytes());
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = uint8_t(i * 13 + i / 196);
    std::mutex lock;
    std::condition_variable changed;
    bool holding = false, released = false;
    std::vector<std::thread::id> writtenBy(size_t(size.BlockColumns()));
    TMapWriterHooks hooks;
    hooks.KeepColumn = [](int) { return true; };
    hooks.StartColumn = [&](int BlockColumn, std::vector<uint8_t> &) -> const uint8_t * {
        writtenBy[size_t(BlockColumn)] = std::this_thread::get_id();
        std::unique_lock<std::mutex> held(lock);
        if (BlockColumn == 0) {
            holding = true;
            changed.notify_all();
            changed.wait_for(held, std::chrono::seconds(10), [&] { return released; });
        } else if (BlockColumn == 16) {
            released = true;
            changed.notify_all();
        }
        return pattern.data() + size_t(BlockColumn) * size.ColumnBytes();
    };
    const TMapOutput output = TMapOutput::ForFile(Dir.File("ahead.mul"), size);
    TMapWriteAhead ahead(output, hooks);
    {
        std::unique_lock<std::mutex> held(lock);
        ASSERT_TRUE(changed.wait_for(held, std::chrono::seconds(30), [&] { return holding; }));
    }
    TMapWriterHooks these = hooks;
    these.Ahead = &ahead;
    EXPECT_EQ(WriteMapFile(*Model, output, these), TMapWriteResult::Written);
    EXPECT_TRUE(released);
    EXPECT_TRUE(ReadFile(Dir.File("ahead.mul")) == std::string(pattern.begin(), pattern.end()));
    for (int bx = 0; bx < size.BlockColumns(); ++bx)
        EXPECT_EQ(writtenBy[size_t(bx)] == std::this_thread::get_id(), bx >= 16) << bx;
}

TEST(MapWriterFiller, GivesTheBytesAndDrawsOfTheStraightforwardFiller)
{
    // Lists of several sizes, one empty list (SNOW), configured and missing transitions.
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), "[DIRT]\n1=\n2=\n3=\n[GRASS]\n5=\n[WATER]\n7=\n8=\n9=\n10=\n11=\n"
                                     "[MOUNTAIN]\n12=\n13=\n[COASTLINE]\n14=\n15=\n[VOID]\n580=\n"
                                     "[DESERT]\n20=\n[FOREST]\n21=\n22=\n[JUNGLE]\n23=\n[SWAMP]\n24=\n25=\n26=\n"
                                     "[TRANS_DIRT_GRASS]\nN=100\nE=101\n[TRANS_SNOW_JUNGLE]\nSW=102\n");
    TTerrainImage model(dir.File("Tiles.ini"));
    const uint16_t codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 17, 18, 19, 20, 21, 22,
                              1 * 256 + 5 * 16 + 1, 1 * 256 + 5 * 16 + 3, 4 * 256 + 7 * 16 + 6, 5 * 256 + 1 * 16 + 2};
    const std::pair<int, int> sizes[] = {{13, 11}, {1, 1}, {8, 8}, {17, 4100}, {6150, 3}};
    TPcg32 painter;
    painter.Seed(1, 1);
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        model.ResetGrid(uint16_t(width), uint16_t(height));
        for (int y = 1; y <= height; ++y)
            for (int x = 1; x <= width; ++x)
                model.SetCell(x, y, codes[painter.Random(std::size(codes))], int(painter.Random(256)) - 128);

        // The straightforward filler, block-column after block-column, from one generator.
        std::vector<uint8_t> reference(size_t(MapFile::BlockColumns) * MapFile::ColumnBytes);
        std::vector<TPcg32> referenceStates;
        Random::Generator().Seed(77, 5);
        const TPcg32 start = Random::Generator();
        for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
            referenceStates.push_back(Random::Generator());
            FillBlockColumn(model, bx, reference.data() + size_t(bx) * MapFile::ColumnBytes);
        }
        referenceStates.push_back(Random::Generator());

        // The fast filler, in bands of several widths and out of order.
        const TMapFiller filler(model, start);
        std::vector<uint8_t> fast(reference.size(), 0xEE);
        for (int first = MapFile::BlockColumns; first > 0;) {
            const int count = std::min(first, 1 + int(painter.Random(40)));
            first -= count;
            filler.FillBand(first, count, fast.data() + size_t(first) * MapFile::ColumnBytes);
        }
        for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
            ASSERT_EQ(filler.StateBefore(bx).State, referenceStates[size_t(bx)].State) << bx;
            ASSERT_EQ(0, std::memcmp(fast.data() + size_t(bx) * MapFile::ColumnBytes,
                                     reference.data() + size_t(bx) * MapFile::ColumnBytes, MapFile::ColumnBytes))
                << "block-column " << bx;
        }
        EXPECT_EQ(filler.StateBefore(MapFile::BlockColumns).State, referenceStates.back().State);

        // Only some blocks filled (about one in three, and whole block-columns
        // of them): the others are left alone and the filled ones get the
        // same bytes, their block-column's generator moved past the others.
        std::vector<uint8_t> blocks(size_t(MapFile::BlockColumns) * MapFile::BlockRows);
        for (size_t b = 0; b < blocks.size(); ++b)
            blocks[b] = b / MapFile::BlockRows % 7 == 3 || painter.Random(3) == 0;
        std::vector<uint8_t> some(reference.size(), 0xEE);
        for (int first = 0; first < MapFile::BlockColumns;) {
            const int count = std::min(MapFile::BlockColumns - first, 1 + int(painter.Random(40)));
            filler.FillBand(first, count, some.data() + size_t(first) * MapFile::ColumnBytes, blocks.data());
            first += count;
        }
        for (size_t b = 0; b < blocks.size(); ++b) {
            const size_t at = b * MapFile::BlockBytes;
            if (blocks[b]) {
                ASSERT_EQ(0, std::memcmp(some.data() + at, reference.data() + at, MapFile::BlockBytes)) << "block " << b;
            } else {
                ASSERT_TRUE(std::all_of(some.begin() + std::ptrdiff_t(at), some.begin() + std::ptrdiff_t(at + MapFile::BlockBytes),
                                        [](uint8_t Byte) { return Byte == 0xEE; })) << "block " << b;
            }
        }
    }
}
