// Maps of current clients: the UOP container as every reader of it finds its
// blocks, and maps made from the example world read back cell for cell.
#include "ByteOrder.h"
#include "Checksums.h"
#include "ClassTerrainImage.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "Pipeline.h"
#include "TestSupport.h"
#include "UopFile.h"
#include "WorldImage.h"
#include "WorldPainter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

using namespace TestSupport;

namespace {

// The little-endian number of Count (2, 4 or 8) bytes at At.
uint64_t Get(const std::string &Bytes, uint64_t At, int Count)
{
    const auto *p = reinterpret_cast<const uint8_t *>(Bytes.data()) + At;
    return Count == 2 ? ByteOrder::Le16(p) : Count == 4 ? ByteOrder::Le32(p) : ByteOrder::Le64(p);
}

// The example world, painted small, loaded and generated with a fixed seed.
class ExampleWorld : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Folder = new TTempDir;
        SaveWorldBmp(PaintWorld(640, 480, 1), Folder->File("world.bmp"));
        Random::SetFixedSeed(7);
        Model = new TTerrainImage(BundledTilesPath());
        Model->LoadFromBMP(Folder->File("world.bmp"));
        TRecordingProgressBar bar;
        TRecordingStatusBar status;
        Generate(*Model, bar, status);
        AfterGenerate = Random::Generator();
        Random::SetFixedSeed(std::nullopt);
    }
    static void TearDownTestSuite()
    {
        delete Model;
        delete Folder;
    }

    // Writes Output from the state Generate left, as a run does.
    static void Write(const TMapOutput &Output)
    {
        Random::Generator() = AfterGenerate;
        ASSERT_EQ(WriteMapFile(*Model, Output), TMapWriteResult::Written);
    }

    // Every block-column of the readers equals the straightforward filler's,
    // drawn from the same state; block headers are 0 in a MUL file and the
    // block index in a UOP file.
    static void ExpectTheModelsMap(const TMapSize &Size, std::vector<TMapReader *> Readers)
    {
        Random::Generator() = AfterGenerate;
        std::vector<uint8_t> reference(Size.ColumnBytes()), read(Size.ColumnBytes());
        for (int bx = 0; bx < Size.BlockColumns(); ++bx) {
            FillBlockColumn(*Model, Size, bx, reference.data());
            for (TMapReader *reader : Readers) {
                reader->ReadBlockColumn(bx, read.data());
                for (int by = 0; by < Size.BlockRows(); ++by) {
                    const size_t at = size_t(by) * 196;
                    const uint32_t block = uint32_t(bx) * uint32_t(Size.BlockRows()) + uint32_t(by);
                    const uint32_t header = reader->Format() == TMapFormat::Uop ? block : 0;
                    ASSERT_EQ(std::memcmp(read.data() + at + 4, reference.data() + at + 4, 192), 0)
                        << FormatName(reader->Format()) << " block " << bx << "/" << by;
                    ASSERT_EQ(ByteOrder::Le32(read.data() + at), header);
                }
            }
        }
    }

    static TTempDir *Folder;
    static TTerrainImage *Model;
    static TPcg32 AfterGenerate;
};

TTempDir *ExampleWorld::Folder = nullptr;
TTerrainImage *ExampleWorld::Model = nullptr;
TPcg32 ExampleWorld::AfterGenerate;

} // namespace

TEST_F(ExampleWorld, ClassicUopReadsBackAsTheModelsMap)
{
    TMapOutput output = TMapOutput::ForFile(Folder->File("map0LegacyMUL.uop"));
    Write(output);
    TMapReader uop(output.FileName);
    EXPECT_EQ(uop.Format(), TMapFormat::Uop);
    EXPECT_EQ(uop.Size(), MapSizes::Classic);
    EXPECT_EQ(uop.MapNumber(), 0);
    ExpectTheModelsMap(MapSizes::Classic, {&uop});
}

TEST_F(ExampleWorld, CurrentMulAndUopReadBackAsTheModelsMap)
{
    const TMapSize size{7168, 4096};
    const TMapOutput mul = TMapOutput::ForFile(Folder->File("map1.mul"), size);
    const TMapOutput uop = TMapOutput::ForFile(Folder->File("map1LegacyMUL.uop"), size);
    Write(mul);
    Write(uop);
    EXPECT_EQ(std::filesystem::file_size(mul.FileName), size.BlockBytes());
    TMapReader mulReader(mul.FileName), uopReader(uop.FileName);
    EXPECT_EQ(mulReader.Size(), size); // the facet of the name, found from the block count
    EXPECT_EQ(uopReader.Size(), size);
    EXPECT_EQ(uopReader.MapNumber(), 1);
    ExpectTheModelsMap(size, {&mulReader, &uopReader});
    // A cell of the picture, one right of it and one beyond the picture.
    for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {640, 100}, {7167, 4095}}) {
        const TCell cell = Model->GetCell(x + 1, y + 1);
        EXPECT_EQ(mulReader.Cell(x, y).Altitude, cell.Altitude);
        EXPECT_EQ(uopReader.Cell(x, y), mulReader.Cell(x, y)) << x << "," << y;
    }
    EXPECT_THROW(uopReader.Cell(7168, 0), EMapReadError);
}

TEST_F(ExampleWorld, TheUopFileIsLaidOutAsEveryReaderExpects)
{
    const TMapSize size{7168, 4096}; // 458752 blocks: 112 entries, two tables
    const TMapOutput output = TMapOutput::ForFile(Folder->File("map0LegacyMUL.uop"), size);
    Write(output);
    const std::string file = ReadFile(output.FileName);
    EXPECT_EQ(Get(file, 0, 4), 0x0050594Du); // "MYP\0"
    EXPECT_EQ(Get(file, 4, 4), 5u);
    EXPECT_EQ(Get(file, 8, 4), 0xFD23EC43u);
    EXPECT_EQ(Get(file, 12, 8), 40u);  // the first table right after the header
    EXPECT_EQ(Get(file, 20, 4), 100u); // table capacity
    EXPECT_EQ(Get(file, 24, 4), 112u); // files
    EXPECT_EQ(file.size(), 40 + 2 * (12 + 100 * 34) + 112 * 12 + size.BlockBytes());

    // The hashes of build/map0legacymul/00000000.dat, ...00000010.dat, ...00000111.dat.
    const std::map<uint64_t, uint64_t> PinnedHashes = {
        {0, 0xDBB7AFA433A3764Bull}, {10, 0x000CE00AF7C95775ull}, {111, 0xF9A476AE4B6F647Full}};
    uint64_t table = 40;
    uint64_t entry = 0;
    for (int t = 0; t < 2; ++t) {
        const uint64_t count = Get(file, table, 4);
        EXPECT_EQ(count, t == 0 ? 100u : 12u);
        const uint64_t next = Get(file, table + 4, 8);
        for (uint64_t i = 0; i < 100; ++i) {
            const uint64_t record = table + 12 + i * 34;
            if (i >= count) {
                EXPECT_EQ(file.compare(record, 34, std::string(34, '\0')), 0) << "unused record " << i;
                continue;
            }
            SCOPED_TRACE("entry " + std::to_string(entry));
            const uint64_t offset = Get(file, record, 8);
            const uint64_t headerLength = Get(file, record + 8, 4);
            EXPECT_EQ(headerLength, 12u);
            EXPECT_EQ(Get(file, record + 12, 4), 0xC4000u);
            EXPECT_EQ(Get(file, record + 16, 4), 0xC4000u);
            EXPECT_EQ(Get(file, record + 20, 8), HashLittle2(Uop::EntryName(0, entry)));
            // Names whose hashes the game's files are known to carry.
            if (const auto pinned = PinnedHashes.find(entry); pinned != PinnedHashes.end()) {
                EXPECT_EQ(Get(file, record + 20, 8), pinned->second);
            }
            EXPECT_EQ(Get(file, record + 32, 2), 0u);
            TAdler32 adler;
            adler.Add(file.data() + offset + headerLength, 0xC4000);
            EXPECT_EQ(Get(file, record + 28, 4), adler.Value());
            // Servers that skip 4 bytes and the 16-bit number at offset + 2 land
            // on the data too, and order the entries by its first four bytes.
            EXPECT_EQ(offset + 4 + Get(file, offset + 2, 2), offset + headerLength);
            EXPECT_EQ(Get(file, offset + headerLength, 4), entry * 4096);
            // Older servers compute the place of a block's cells from the layout.
            const uint64_t mulOffset = entry * 0xC4000 + 4;
            EXPECT_EQ(mulOffset + 0xD88 + 0xD54 * (entry / 100) + 12 * entry, offset + headerLength + 4);
            // The last entry's data end where the next table or the file begins.
            if (i + 1 == count) {
                EXPECT_EQ(offset + headerLength + 0xC4000, next != 0 ? next : file.size());
            }
            ++entry;
        }
        if (next == 0)
            break;
        table = next;
    }
    EXPECT_EQ(entry, 112u);
}

TEST_F(ExampleWorld, APartLastEntryHoldsWhatIsLeft)
{
    const TMapSize size{1448, 1448}; // 32761 blocks: 7 entries of 4096 and one of 4089
    const TMapOutput output = TMapOutput::ForFile(Folder->File("map4LegacyMUL.uop"), size);
    Write(output);
    const std::string file = ReadFile(output.FileName);
    EXPECT_EQ(Get(file, 24, 4), 8u);
    EXPECT_EQ(Get(file, 40 + 12 + 7 * 34 + 12, 4), 4089u * 196);
    EXPECT_EQ(file.size(), 40 + 12 + 100 * 34 + 8 * 12 + size.BlockBytes());
    TMapReader reader(output.FileName);
    EXPECT_EQ(reader.Size(), size);
    ExpectTheModelsMap(size, {&reader});
}

TEST(MapReader, WhatIsNoMapIsSaidSo)
{
    TTempDir dir;
    WriteFile(dir.File("notes.mul"), "not a map");
    WriteFile(dir.File("odd.mul"), std::string(196 * 7, '\0'));
    std::string circle(40 + 12, '\0');
    for (const auto &[at, value] : {std::pair{0, 0x0050594Du}, {4, 5u}, {12, 40u}})
        for (int i = 0; i < 4; ++i)
            circle[size_t(at + i)] = char(value >> (8 * i));
    circle[44] = 40; // the table's next table is itself
    WriteFile(dir.File("circle.uop"), circle);
    const struct
    {
        std::string Path;
        const char *Message;
    } cases[] = {
        {dir.File("missing.mul"), "does not exist"},
        {dir.Path(), "this is a folder"},
        {dir.File("notes.mul"), "not a whole number of 196-byte blocks"},
        {dir.File("odd.mul"), "7 blocks are no map size known here"},
        {dir.File("circle.uop"), "its tables run in a circle"},
    };
    for (const auto &c : cases) {
        try {
            TMapReader reader(c.Path);
            ADD_FAILURE() << c.Path << " was read";
        } catch (const EMapReadError &error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(c.Path + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(c.Message), std::string::npos) << message;
        }
    }
    // Given its size, any whole number of blocks is a map.
    TMapReader small(dir.File("odd.mul"), TMapSize{8, 56});
    EXPECT_EQ(small.Cell(7, 55), TMapCell{});
    EXPECT_THROW(TMapReader(dir.File("odd.mul"), TMapSize{16, 56}), EMapReadError);
}
