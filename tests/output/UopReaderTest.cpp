// The map reader on UOP files built here byte by byte: the game's own layout
// and ours read cell for cell, and lying or damaged files refused with the
// entry named. Also the entry names' hashes pinned to the values the game's
// files carry, and the cells next to a corner read where the writer put them.
#include "ByteOrder.h"
#include "Checksums.h"
#include "ClassTerrainImage.h"
#include "MapImport.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "Platform.h"
#include "TestSupport.h"
#include "UopFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace TestSupport;

namespace {

using ByteOrder::PutLe16;
using ByteOrder::PutLe32;
using ByteOrder::PutLe64;

// The cell bytes of the built files: tile and altitude from the block's index
// and the cell's place in it, so that any block or cell out of place shows.
TMapCell BuiltCell(uint64_t Block, int Cell)
{
    return {uint16_t(Block * 64 + uint64_t(Cell)), int8_t(uint8_t(Block * 7 + uint64_t(Cell)))};
}

// The cell (X, Y) of a built map with BlockRows blocks in a block-column:
// block-column-major blocks, row-major cells in a block.
TMapCell ExpectedCell(int BlockRows, int X, int Y)
{
    return BuiltCell(uint64_t(X / 8) * uint64_t(BlockRows) + uint64_t(Y / 8), (Y % 8) * 8 + X % 8);
}

struct TLayout
{
    uint64_t FirstTable; // where the first table starts
    uint32_t Capacity;   // records per table
    uint32_t EntryHeaderBytes;
};

// A sound map UOP file of Blocks blocks in this layout, and where the record
// of each table slot lies (slot = entry number, free slots after the last).
struct TBuilt
{
    std::vector<uint8_t> Bytes;
    std::vector<size_t> Records;
};

TBuilt BuildUop(int MapNumber, uint64_t Blocks, const TLayout &Layout)
{
    TBuilt built;
    std::vector<uint8_t> &file = built.Bytes;
    file.resize(Layout.FirstTable, 0);
    const uint64_t entries = (Blocks + 4095) / 4096;
    PutLe32(&file[0], Uop::Magic);
    PutLe32(&file[4], Uop::Version);
    PutLe32(&file[8], Uop::Signature);
    PutLe64(&file[12], Layout.FirstTable);
    PutLe32(&file[20], Layout.Capacity);
    PutLe32(&file[24], uint32_t(entries));
    for (uint64_t first = 0; first < entries; first += Layout.Capacity) {
        const size_t table = file.size();
        const uint64_t count = std::min<uint64_t>(Layout.Capacity, entries - first);
        file.resize(table + 12 + size_t(Layout.Capacity) * 34, 0);
        PutLe32(&file[table], uint32_t(count));
        for (uint32_t slot = 0; slot < Layout.Capacity; ++slot)
            built.Records.push_back(table + 12 + size_t(slot) * 34);
        for (uint64_t entry = first; entry < first + count; ++entry) {
            const size_t record = built.Records[size_t(entry)];
            const uint64_t blocks = std::min<uint64_t>(4096, Blocks - entry * 4096);
            PutLe64(&file[record], file.size());
            PutLe32(&file[record + 8], Layout.EntryHeaderBytes);
            PutLe32(&file[record + 12], uint32_t(blocks * 196));
            PutLe32(&file[record + 16], uint32_t(blocks * 196));
            PutLe64(&file[record + 20], HashLittle2(Uop::EntryName(MapNumber, entry)));
            file.resize(file.size() + Layout.EntryHeaderBytes, 0);
            for (uint64_t b = entry * 4096; b < entry * 4096 + blocks; ++b) {
                const size_t at = file.size();
                file.resize(at + 196, 0);
                PutLe32(&file[at], uint32_t(b));
                for (int cell = 0; cell < 64; ++cell) {
                    const TMapCell value = BuiltCell(b, cell);
                    PutLe16(&file[at + 4 + size_t(cell) * 3], value.Tile);
                    file[at + 6 + size_t(cell) * 3] = uint8_t(value.Altitude);
                }
            }
        }
        if (first + Layout.Capacity < entries)
            PutLe64(&file[table + 4], file.size()); // the next table follows these entries
    }
    return built;
}

void Save(const std::string &Path, const std::vector<uint8_t> &Bytes)
{
    WriteFile(Path, std::string(Bytes.begin(), Bytes.end()));
}

// 72 block-columns of 120 blocks: three entries (4096, 4096, 448 blocks), and
// block-columns that run from one entry into the next.
constexpr TMapSize SmallMap{576, 960};

std::string ReadError(const std::string &Path, std::optional<TMapSize> Size = SmallMap)
{
    try {
        TMapReader reader(Path, Size);
        return "";
    } catch (const EMapReadError &error) {
        return error.what();
    }
}

} // namespace

TEST(UopEntryNames, HashesArePinnedToTheGamesValues)
{
    struct TCase
    {
        int Map;
        uint64_t Entry;
        const char *Name;
        uint64_t Hash;
    };
    const TCase cases[] = {
        {0, 0, "build/map0legacymul/00000000.dat", 0xDBB7AFA433A3764Bull},
        {0, 10, "build/map0legacymul/00000010.dat", 0x000CE00AF7C95775ull},
        {0, 111, "build/map0legacymul/00000111.dat", 0xF9A476AE4B6F647Full},
        {1, 111, "build/map1legacymul/00000111.dat", 0x40EDE9AEAAED1C52ull},
        {2, 14, "build/map2legacymul/00000014.dat", 0x6790B6697D360EF3ull},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(Uop::EntryName(c.Map, c.Entry), c.Name);
        EXPECT_EQ(HashLittle2(c.Name), c.Hash) << c.Name;
    }
}

TEST(UopReader, ReadsOurLayoutAndTheGamesOwn)
{
    struct TCase
    {
        const char *Name;
        TLayout Layout;
    };
    const TCase cases[] = {
        {"ours: tables of 100 after the header, 12-byte entry headers", {40, 100, 12}},
        {"the game's: tables of 1000 at 0x200, longer entry headers", {0x200, 1000, 40}},
        {"a table for each entry", {40, 1, 12}},
    };
    TTempDir dir;
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.File("map3LegacyMUL.uop");
        Save(path, BuildUop(3, SmallMap.Blocks(), c.Layout).Bytes);
        TMapReader reader(path, SmallMap);
        EXPECT_EQ(reader.Format(), TMapFormat::Uop);
        EXPECT_EQ(reader.MapNumber(), 3);
        EXPECT_EQ(reader.Blocks(), SmallMap.Blocks());
        // Corners, the cells beside the first, cells of the second and third entries.
        for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {7, 3}, {3, 7}, {270, 500}, {575, 959}, {560, 10}})
            EXPECT_EQ(reader.Cell(x, y), ExpectedCell(SmallMap.BlockRows(), x, y)) << x << "/" << y;
        // Block-column 34 holds blocks 4080 to 4199: the first two entries.
        std::vector<uint8_t> column(SmallMap.ColumnBytes());
        reader.ReadBlockColumn(34, column.data());
        for (int by = 0; by < SmallMap.BlockRows(); ++by) {
            const uint64_t block = 34 * 120 + uint64_t(by);
            ASSERT_EQ(ByteOrder::Le32(&column[size_t(by) * 196]), block);
            ASSERT_EQ(ByteOrder::Le16(&column[size_t(by) * 196 + 4 + 63 * 3]), BuiltCell(block, 63).Tile);
        }
    }
}

TEST(UopReader, LyingEntriesAreRefusedByName)
{
    TTempDir dir;
    const std::string path = dir.File("map0LegacyMUL.uop");
    const TBuilt sound = BuildUop(0, SmallMap.Blocks(), {40, 100, 12});
    struct TCase
    {
        const char *Name;
        std::function<void(std::vector<uint8_t> &, const std::vector<size_t> &)> Damage;
        const char *Message;
    };
    const TCase cases[] = {
        {"an offset that wraps around past 2^64",
         [](auto &f, auto &r) { PutLe64(&f[r[1]], ~uint64_t(0) - 7); },
         "entry build/map0legacymul/00000001.dat lies beyond the end of the file"},
        {"a header longer than the file",
         [](auto &f, auto &r) { PutLe32(&f[r[2] + 8], 0xFFFFFFFFu); },
         "entry build/map0legacymul/00000002.dat lies beyond the end of the file"},
        {"a gap in the names",
         [](auto &f, auto &r) { PutLe64(&f[r[1] + 20], 0x0123456789ABCDEFull); },
         "entry build/map0legacymul/00000001.dat is missing, but build/map0legacymul/00000002.dat is there"},
        {"a name twice",
         [](auto &f, auto &r) {
             std::copy_n(f.begin() + ptrdiff_t(r[1]), 34, f.begin() + ptrdiff_t(r[3]));
             PutLe32(&f[40], 4); // the table lists the copy too
         },
         "entry build/map0legacymul/00000001.dat is listed 2 times"},
        {"an entry before the last that is short",
         [](auto &f, auto &r) {
             PutLe32(&f[r[0] + 12], 4095 * 196);
             PutLe32(&f[r[0] + 16], 4095 * 196);
         },
         "entry build/map0legacymul/00000000.dat holds 4095 blocks, but every entry before the last holds 4096"},
        {"a compressed size unlike the size",
         [](auto &f, auto &r) { PutLe32(&f[r[2] + 12], 1000); },
         "entry build/map0legacymul/00000002.dat is stored with 1000 bytes but holds 87808 bytes"},
        {"a compressed entry", [](auto &f, auto &r) { PutLe16(&f[r[0] + 32], 1); },
         "entry build/map0legacymul/00000000.dat is compressed"},
        {"the first table beyond the end", [](auto &f, auto &) { PutLe64(&f[12], uint64_t(1) << 40); },
         "a table lies beyond the end of the file"},
        {"a table that is its own next", [](auto &f, auto &) { PutLe64(&f[44], 40); },
         "its tables run in a circle"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> bytes = sound.Bytes;
        c.Damage(bytes, sound.Records);
        Save(path, bytes);
        const std::string message = ReadError(path);
        EXPECT_EQ(message.rfind(path + ": not a map UOP file: ", 0), 0u) << message;
        EXPECT_NE(message.find(c.Message), std::string::npos) << message;
    }
    Save(path, sound.Bytes);
    EXPECT_EQ(ReadError(path), "");
}

TEST(UopReader, AChainOfOverlappingTablesIsRefusedWithoutReadingItAgainAndAgain)
{
    // A megabyte of tables 34 bytes apart, each claiming every record up to
    // the end of the file: read table by table, the records would be read
    // some 30000 times over.
    const size_t fileBytes = 1 << 20;
    std::vector<uint8_t> file(fileBytes, 0);
    PutLe32(&file[0], Uop::Magic);
    PutLe32(&file[4], Uop::Version);
    PutLe64(&file[12], 40);
    for (size_t table = 40; table + 12 <= fileBytes; table += 34) {
        PutLe32(&file[table], uint32_t((fileBytes - table - 12) / 34));
        PutLe64(&file[table + 4], table + 34 + 12 <= fileBytes ? table + 34 : 0);
    }
    TTempDir dir;
    Save(dir.File("chain.uop"), file);
    EXPECT_NE(ReadError(dir.File("chain.uop"), std::nullopt).find("its tables run in a circle or overlap"),
              std::string::npos);
}

#ifndef _WIN32
TEST(UopReader, AHugeTableInASparseFileIsRefusedBeforeAnyMemoryIsTaken)
{
    // 64 GiB, nearly all of it a hole: a table of two billion records.
    TTempDir dir;
    const std::string path = dir.File("sparse.uop");
    std::vector<uint8_t> head(52, 0);
    PutLe32(&head[0], Uop::Magic);
    PutLe32(&head[4], Uop::Version);
    PutLe64(&head[12], 40);
    PutLe32(&head[40], 2000000000u);
    Save(path, head);
    std::filesystem::resize_file(path, uint64_t(1) << 36);
    EXPECT_NE(ReadError(path, std::nullopt).find("its tables hold more than 1048576 records"), std::string::npos);
}
#endif

// A pipe: in AtomicSavePosixTest.cpp, built where pipes exist.
TEST(MapReader, AFolderIsRefused)
{
    TTempDir dir;
    EXPECT_NE(ReadError(dir.Path()).find(dir.Path() + ": this is a folder"), std::string::npos);
}

TEST(MapReader, TheCellsBesideTheFirstAreReadWhereTheWriterPutsThem)
{
    // One tile per terrain, so that the map's bytes are known: grass 3 east
    // of dirt 113 in the first row, desert 22 below the dirt.
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), "[DIRT]\n113=\n[DESERT]\n22=\n[GRASS]\n3=\n[VOID]\n580=\n");
    TTerrainImage model(dir.File("Tiles.ini"));
    PaintGrid(model, {"DG", "SD"});
    model.SetCell(2, 1, -1, 5);
    model.SetCell(1, 2, -1, -6);
    const TMapSize size{8, 8};
    for (const char *name : {"map0.mul", "map0LegacyMUL.uop"}) {
        SCOPED_TRACE(name);
        const TMapOutput output = TMapOutput::ForFile(dir.File(name), size);
        ASSERT_EQ(WriteMapFile(model, output), TMapWriteResult::Written);
        const std::string bytes = ReadFile(output.FileName);
        // The block's data: at the start of a MUL file; in a UOP file after
        // the header, the table and the entry header.
        const size_t block = output.Format == TMapFormat::Uop ? 40 + 12 + 100 * 34 + 12 : 0;
        const auto written = [&](size_t Cell) {
            const size_t at = block + 4 + Cell * 3;
            return TMapCell{ByteOrder::Le16(reinterpret_cast<const uint8_t *>(bytes.data()) + at), int8_t(bytes[at + 2])};
        };
        EXPECT_EQ(written(1), (TMapCell{3, 5}));   // cell (1, 0): grass, the second of the first row
        EXPECT_EQ(written(8), (TMapCell{22, -6})); // cell (0, 1): desert, the first of the second row
        TMapReader reader(output.FileName, size);
        EXPECT_EQ(reader.Cell(1, 0), written(1));
        EXPECT_EQ(reader.Cell(0, 1), written(8));
        EXPECT_EQ(reader.Cell(1, 1), (TMapCell{113, model.GetCell(2, 2).Altitude}));
    }
}

// The whole map read into rows of cells, eight block-columns at a time on two
// threads: every cell in its place, from a UOP file whose block-columns run
// from one entry into the next and from a MUL file whose last group of
// block-columns is short (75 = 9 x 8 + 3); a read that fails names the file.
TEST(MapReader, EveryCellOfAMapIsReadIntoItsPlace)
{
    TTempDir dir;
    const TMapSize mulSize{600, 960};
    std::vector<uint8_t> mul(size_t(mulSize.Blocks()) * 196, 0);
    for (uint64_t b = 0; b < mulSize.Blocks(); ++b)
        for (int cell = 0; cell < 64; ++cell) {
            const TMapCell value = BuiltCell(b, cell);
            PutLe16(&mul[size_t(b) * 196 + 4 + size_t(cell) * 3], value.Tile);
            mul[size_t(b) * 196 + 6 + size_t(cell) * 3] = uint8_t(value.Altitude);
        }
    Save(dir.File("map9.mul"), mul);
    Save(dir.File("map3LegacyMUL.uop"), BuildUop(3, SmallMap.Blocks(), {40, 100, 12}).Bytes);
    for (const auto &[name, size] : {std::pair{"map9.mul", mulSize}, {"map3LegacyMUL.uop", SmallMap}}) {
        SCOPED_TRACE(name);
        TMapReader reader(dir.File(name), size);
        const TMapCells cells = ReadMapCells(reader);
        ASSERT_EQ(cells.Width, size.Width);
        ASSERT_EQ(cells.Height, size.Height);
        size_t wrong = 0;
        for (int y = 0; y < size.Height; ++y)
            for (int x = 0; x < size.Width; ++x) {
                const TMapCell expected = ExpectedCell(size.BlockRows(), x, y);
                wrong += cells.Tiles[cells.Index(x, y)] != expected.Tile ||
                         cells.Altitudes[cells.Index(x, y)] != expected.Altitude;
            }
        EXPECT_EQ(wrong, 0u);

        Platform::SetFaultHook([](const std::string &Operation, const std::string &) {
            return Operation == "read" ? Platform::TError{Platform::TErrorKind::InputOutput, 0} : Platform::TError{};
        });
        try {
            ReadMapCells(reader);
            ADD_FAILURE() << "a failed read was not reported";
        } catch (const EMapReadError &error) {
            EXPECT_NE(std::string(error.what()).find(dir.File(name)), std::string::npos) << error.what();
        }
        Platform::SetFaultHook(nullptr);
    }
}
