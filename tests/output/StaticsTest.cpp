// The statics files of a decorated map, read back by a reader written from
// the files' layout: 12-byte index entries (offset, length, unused) per block
// in block-column order, (-1, 0, 0) for an empty block, 7-byte records (id,
// x, y, z, hue) in the data file after one record that no block uses.
#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "MapWriter.h"
#include "Random.h"
#include "Statics.h"
#include "StaticsReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

struct TStatic
{
    uint16_t Id;
    int X, Y; // map cell
    int Z;
};

// The statics files as a client reads them; Fault names the first breach of
// the layout, empty when there is none.
struct TReadBack
{
    std::multimap<std::pair<int, int>, TStatic> ByCell;
    int MostInBlock = 0;
    std::string Fault;
};

uint32_t U32(const std::vector<uint8_t> &Bytes, size_t At)
{
    return uint32_t(Bytes[At]) | uint32_t(Bytes[At + 1]) << 8 | uint32_t(Bytes[At + 2]) << 16 |
           uint32_t(Bytes[At + 3]) << 24;
}

TReadBack ReadBack(const TStaticsFiles &Files, const TMapSize &Size)
{
    TReadBack result;
    const auto fault = [&](const std::string &text) {
        if (result.Fault.empty())
            result.Fault = text;
    };
    const size_t blocks = size_t(Size.Width / 8) * size_t(Size.Height / 8);
    if (Files.Index.size() != blocks * 12)
        fault("index of " + std::to_string(Files.Index.size()) + " bytes");
    if (Files.Data.size() < 7 || std::any_of(Files.Data.begin(), Files.Data.begin() + 7, [](uint8_t b) { return b; }))
        fault("the data file does not start with one all-zero record");
    size_t expectedOffset = 7; // blocks follow one another in index order
    for (size_t block = 0; block < blocks && 12 * block + 12 <= Files.Index.size(); ++block) {
        const uint32_t offset = U32(Files.Index, 12 * block), length = U32(Files.Index, 12 * block + 4),
                       unused = U32(Files.Index, 12 * block + 8);
        const std::string where = "block " + std::to_string(block);
        if (unused != 0)
            fault(where + ": unused field " + std::to_string(unused));
        if (offset == 0xFFFFFFFFu) {
            if (length != 0)
                fault(where + ": empty with length " + std::to_string(length));
            continue;
        }
        if (offset == 0 || length == 0 || length % 7 != 0 || offset != expectedOffset ||
            uint64_t(offset) + length > Files.Data.size()) {
            fault(where + ": offset " + std::to_string(offset) + " length " + std::to_string(length));
            continue;
        }
        expectedOffset = offset + length;
        result.MostInBlock = std::max(result.MostInBlock, int(length / 7));
        const int bx = int(block) / (Size.Height / 8), by = int(block) % (Size.Height / 8);
        for (uint32_t at = offset; at < offset + length; at += 7) {
            const uint8_t *r = Files.Data.data() + at;
            if (r[2] > 7 || r[3] > 7 || r[5] != 0 || r[6] != 0)
                fault(where + ": record at " + std::to_string(at));
            const TStatic s{uint16_t(r[0] | r[1] << 8), bx * 8 + r[2], by * 8 + r[3], int(int8_t(r[4]))};
            result.ByCell.insert({{s.X, s.Y}, s});
        }
    }
    if (expectedOffset != Files.Data.size())
        fault("the data file has bytes no block uses");
    return result;
}

// The wave table of the game's coastline tool: where the water is, the waves,
// the other water neighbours tolerated.
struct TWaveRow
{
    const char *Water;
    std::set<uint16_t> Waves;
    const char *Tolerated;
};
const TWaveRow WaveRows[] = {
    {"W", {0x179D, 0x179E}, "SW NW"}, {"S", {0x179F, 0x17A0}, "SW SE"}, {"N", {0x17A1, 0x17A2}, "NW NE"},
    {"E", {0x17A3, 0x17A4}, "NE SE"}, {"SW", {0x17A5}, ""},            {"SE", {0x17A6}, ""},
    {"NW", {0x17A7}, ""},             {"NE", {0x17A8}, ""},            {"S SW W", {0x17A9}, "SE NW"},
    {"W NW N", {0x17AA}, "SW NE"},    {"N NE E", {0x17AB}, "SE NW"},   {"E SE S", {0x17AC}, "SW NE"},
};
const int Dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
const int Dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
const char *const DirNames[8] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};

std::set<std::string> Words(const std::string &Text)
{
    std::istringstream in(Text);
    std::set<std::string> words;
    for (std::string w; in >> w;)
        words.insert(w);
    return words;
}

// The waves that may stand on a cell with water at these neighbours.
std::set<uint16_t> WavesFor(const std::set<std::string> &Water)
{
    for (const TWaveRow &row : WaveRows) {
        const std::set<std::string> need = Words(row.Water), may = Words(row.Tolerated);
        bool fits = std::includes(Water.begin(), Water.end(), need.begin(), need.end());
        for (const std::string &w : Water)
            fits = fits && (need.count(w) || may.count(w));
        if (fits)
            return row.Waves;
    }
    return {};
}

const std::set<uint16_t> &AllWaves()
{
    static const std::set<uint16_t> all = [] {
        std::set<uint16_t> ids;
        for (const TWaveRow &row : WaveRows)
            ids.insert(row.Waves.begin(), row.Waves.end());
        return ids;
    }();
    return all;
}

// Tiles for the painted grids: grass, forest, dirt, water, coastline, the
// dirt-grass transition N (code 0x151) and nothing for desert and for the
// dirt-grass transition E (a void cell).
const char *const Tiles = "[GRASS]\n3=\n[FOREST]\n196=\n[DIRT]\n113=\n[MOUNTAIN]\n556=\n[WATER]\n168=\n"
                          "[COASTLINE]\n22=\n[VOID]\n580=\n[TRANS_DIRT_GRASS]\nN=0x8B\n";
constexpr uint16_t TransitionN = DIRT * 256 + GRASS * 16 + 1, TransitionE = DIRT * 256 + GRASS * 16 + 3;

const TLegend &Legend()
{
    static const TLegend legend = [] {
        TLegend l = DefaultLegend();
        l['T'] = TransitionN;
        l['V'] = TransitionE;
        return l;
    }();
    return legend;
}

struct TWorld
{
    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Model;
    explicit TWorld(const std::vector<std::string> &Rows)
    {
        WriteFile(Dir.File("Tiles.ini"), Tiles);
        Model = std::make_unique<TTerrainImage>(Dir.File("Tiles.ini"));
        PaintGrid(*Model, Rows, Legend());
    }
    // Fills every plain cell of one terrain, one id, at 100 %.
    TDecorationConfig Everywhere(uint16_t Code, uint16_t Id, uint32_t Spacing = 1) const
    {
        TDecorationConfig config;
        TTerrainDecoration &t = config.Terrains[Code];
        t.Density = TDecorationConfig::DensityScale;
        t.Spacing = Spacing;
        t.TotalWeight = 1;
        t.Groups.push_back({"one", 1, {{{{Id, Id}}, 1}}});
        return config;
    }
};

TPcg32 Stream(uint64_t Seed)
{
    TPcg32 g;
    g.Seed(Seed, 6);
    return g;
}

std::vector<uint16_t> IdsAt(const TReadBack &Back, int X, int Y)
{
    std::vector<uint16_t> ids;
    const auto [first, last] = Back.ByCell.equal_range({X, Y});
    for (auto it = first; it != last; ++it)
        ids.push_back(it->second.Id);
    return ids;
}

} // namespace

// A pond in grass: the waves of a hand-checked shore, at the water's altitude.
TEST(Statics, WavesOfAPond)
{
    TWorld world({"GGGGG", "GWWGG", "GGGGG", "GGGGG", "GGGGG"});
    world.Model->SetCell(2, 2, -1, -5);
    world.Model->SetCell(3, 2, -1, -3);
    const TMapSize size{8, 8};
    const TReadBack back = ReadBack(BuildStatics(*world.Model, size, {}, Stream(1)), size);
    ASSERT_EQ(back.Fault, "");
    // Map cells: water at (1, 1), altitude -5, and (2, 1), altitude -3.
    struct TWave
    {
        int X, Y;
        uint16_t Id;
        int Z;
    };
    const TWave expected[] = {
        {0, 0, 0x17A6, -5},                     // water to the SE only
        {1, 0, 0x17A0, -3}, {2, 0, 0x179F, -3}, // to the S (SW or SE tolerated), alternating
        {3, 0, 0x17A5, -3},                     // SW only
        {0, 1, 0x17A4, -5},                     // to the E
        {3, 1, 0x179D, -3},                     // to the W
        {0, 2, 0x17A8, -5},                     // NE only
        {1, 2, 0x17A2, -3}, {2, 2, 0x17A1, -3}, // to the N
        {3, 2, 0x17A7, -3},                     // NW only
    };
    EXPECT_EQ(back.ByCell.size(), std::size(expected));
    for (const TWave &w : expected) {
        EXPECT_EQ(IdsAt(back, w.X, w.Y), std::vector<uint16_t>{w.Id}) << w.X << "," << w.Y;
        const auto it = back.ByCell.find({w.X, w.Y});
        if (it != back.ByCell.end()) { // the highest water around the cell
            EXPECT_EQ(it->second.Z, w.Z) << w.X << "," << w.Y;
        }
    }
}

// A mixed painted world: every cell gets what the table and the rules say,
// decoration only on plain cells without a wave, never on water, transition,
// coastline or void cells.
TEST(Statics, EveryCellGetsWhatTheRulesSay)
{
    const char letters[] = "GGGGFFFWWWCCTVDS0";
    TPcg32 paint;
    paint.Seed(7, 99);
    std::vector<std::string> rows(40, std::string(48, 'G'));
    for (auto &row : rows)
        for (char &c : row)
            c = letters[paint.Random(sizeof letters - 1)];
    TWorld world(rows);
    TDecorationConfig config = world.Everywhere(GRASS, 0x0CAC);
    config.Terrains[FOREST] = world.Everywhere(FOREST, 0x0CCD).Terrains[FOREST];
    config.Terrains[DESERT] = world.Everywhere(DESERT, 0x0D25).Terrains[DESERT]; // desert has no tiles: void
    const TMapSize size{48, 40};
    TStaticsCounts counts;
    const TReadBack back = ReadBack(BuildStatics(*world.Model, size, config, Stream(3), &counts), size);
    ASSERT_EQ(back.Fault, "");

    uint64_t waves = 0, decorated = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 48; ++x) {
            const char c = rows[size_t(y)][size_t(x)];
            std::set<std::string> water;
            for (int d = 0; d < 8; ++d) {
                const int nx = x + Dx[d], ny = y + Dy[d];
                if (nx >= 0 && ny >= 0 && nx < 48 && ny < 40 && rows[size_t(ny)][size_t(nx)] == 'W')
                    water.insert(DirNames[d]);
            }
            const bool voidCell = c == 'V' || c == 'S' || c == '0';
            const std::set<uint16_t> wave = c == 'W' || voidCell ? std::set<uint16_t>{} : WavesFor(water);
            const std::vector<uint16_t> ids = IdsAt(back, x, y);
            const std::string where = std::string(1, c) + " at " + std::to_string(x) + "," + std::to_string(y);
            if (!wave.empty()) {
                ASSERT_EQ(ids.size(), 1u) << where;
                EXPECT_TRUE(wave.count(ids[0])) << where << " has " << ids[0];
                ++waves;
            } else if (c == 'G' || c == 'F') {
                EXPECT_EQ(ids, std::vector<uint16_t>{uint16_t(c == 'G' ? 0x0CAC : 0x0CCD)}) << where;
                ++decorated;
            } else {
                EXPECT_TRUE(ids.empty()) << where << " has " << ids.size() << " statics";
            }
        }
    }
    EXPECT_GT(waves, 100u);
    EXPECT_GT(decorated, 100u);
    EXPECT_EQ(counts.Waves, waves);
    EXPECT_EQ(counts.Decorated[GRASS] + counts.Decorated[FOREST], decorated);
    EXPECT_EQ(counts.Records, waves + decorated);
}

// z of a static: the higher of the cell's altitude and the floor of the mean
// of the diagonal (cell and SE, or E and S) whose ends differ less.
TEST(Statics, AltitudeClearOfTheSlope)
{
    struct TCase
    {
        int Z, E, S, SE, Expected;
    };
    const TCase cases[] = {
        {0, 10, 20, 8, 4},     // cell-SE differ by 8, E-S by 10: (0 + 8) / 2
        {0, 2, 4, 20, 3},      // E-S closer: (2 + 4) / 2
        {10, -3, -4, 30, 10},  // the mean -4 (floor of -3.5) is below the cell
        {-5, -4, -3, -20, -4}, // floor of -3.5 is -4, above the cell's -5
        {0, 3, -3, 6, 3},      // a tie takes the cell and SE: 3, not 0
        {0, 3, -3, 5, 2},      // floor of 2.5
        {-128, 127, 127, 127, 127},
    };
    for (const TCase &c : cases) {
        TWorld world({"GD", "DD"});
        world.Model->SetCell(1, 1, -1, c.Z);
        world.Model->SetCell(2, 1, -1, c.E);
        world.Model->SetCell(1, 2, -1, c.S);
        world.Model->SetCell(2, 2, -1, c.SE);
        const TMapSize size{8, 8};
        const TReadBack back = ReadBack(BuildStatics(*world.Model, size, world.Everywhere(GRASS, 0x0CAC), Stream(1)), size);
        ASSERT_EQ(back.ByCell.size(), 1u);
        EXPECT_EQ(back.ByCell.begin()->second.Z, c.Expected) << c.Z << " " << c.E << " " << c.S << " " << c.SE;
        EXPECT_EQ(StaticAltitude(*world.Model, size, 0, 0), c.Expected);
    }
}

// At the map's last column and row the neighbours beyond the map count with
// the cell's own altitude; map cells beyond the picture have altitude 0.
TEST(Statics, AltitudeAtTheEdges)
{
    TWorld world(std::vector<std::string>(8, "GGGGGGGG"));
    world.Model->SetCell(8, 8, -1, -20); // the last cell of the picture
    world.Model->SetCell(7, 8, -1, 30);  // its west and north neighbours do not count
    world.Model->SetCell(8, 7, -1, 30);
    EXPECT_EQ(StaticAltitude(*world.Model, {8, 8}, 7, 7), -20); // E, S, SE beyond the map: as the cell
    EXPECT_EQ(StaticAltitude(*world.Model, {16, 16}, 7, 7), 0); // E, S, SE beyond the picture: 0
}

// Many cells of one terrain: the share decorated is the density within 5 %
// of the asked share (4 standard deviations at this count), and reproducible.
TEST(Statics, DensityAndReproducibility)
{
    TWorld world(std::vector<std::string>(256, std::string(256, 'F')));
    TDecorationConfig config = world.Everywhere(FOREST, 0x0CCD);
    config.Terrains[FOREST].Density = 1000; // 10 %
    config.Terrains[FOREST].Groups.push_back({"tree", 3, {{{{0x0CD0, 0x0CD0}}, 1}, {{{0x0CD1, 0x0CD2}}, 2}}});
    config.Terrains[FOREST].TotalWeight = 4;
    const TMapSize size{256, 256};
    TStaticsCounts counts;
    const TStaticsFiles files = BuildStatics(*world.Model, size, config, Stream(11), &counts);
    const TReadBack back = ReadBack(files, size);
    ASSERT_EQ(back.Fault, "");
    EXPECT_EQ(counts.PlainCells[FOREST], 65536u);
    EXPECT_NEAR(double(counts.Decorated[FOREST]), 6553.6, 6553.6 * 0.05);
    // The groups by weight: a quarter single ids, three quarters trunk and leaves.
    std::map<uint16_t, int> byId;
    for (const auto &[cell, s] : back.ByCell)
        ++byId[s.Id];
    EXPECT_NEAR(byId[0x0CCD], counts.Decorated[FOREST] / 4.0, counts.Decorated[FOREST] * 0.03);
    EXPECT_EQ(byId[0x0CD0], byId[0x0CD1] + byId[0x0CD2]);
    EXPECT_NEAR(byId[0x0CD1], byId[0x0CD2], byId[0x0CD0] * 0.06);
    for (const auto &[cell, s] : back.ByCell) {
        if (s.Id == 0x0CD0) {
            EXPECT_EQ(back.ByCell.count(cell), 2u);
        }
    }

    EXPECT_EQ(BuildStatics(*world.Model, size, config, Stream(11)).Data, files.Data);
    EXPECT_EQ(BuildStatics(*world.Model, size, config, Stream(11)).Index, files.Index);
    EXPECT_NE(BuildStatics(*world.Model, size, config, Stream(12)).Data, files.Data);
}

// No two items closer than the spacing, waves not counted; the spacing caps
// the density.
TEST(Statics, SpacingIsKept)
{
    for (uint32_t spacing : {2u, 3u, 5u}) {
        std::vector<std::string> rows(70, std::string(70, 'F'));
        rows[30] = std::string(70, 'W');
        TWorld world(rows);
        const TMapSize size{72, 72};
        const TReadBack back =
            ReadBack(BuildStatics(*world.Model, size, world.Everywhere(FOREST, 0x0CCD, spacing), Stream(5)), size);
        ASSERT_EQ(back.Fault, "");
        std::vector<std::pair<int, int>> items;
        for (const auto &[cell, s] : back.ByCell)
            if (!AllWaves().count(s.Id))
                items.push_back(cell);
        for (size_t i = 0; i < items.size(); ++i)
            for (size_t j = i + 1; j < items.size(); ++j)
                ASSERT_GE(std::max(std::abs(items[i].first - items[j].first), std::abs(items[i].second - items[j].second)),
                          int(spacing))
                    << items[i].first << "," << items[i].second << " and " << items[j].first << "," << items[j].second;
        // At 100 % the cells are taken as densely as the spacing lets them.
        EXPECT_GE(items.size(), size_t(70 * 68 / (spacing * spacing) / 2)) << spacing;
    }
}

// A group of eight parts on every cell: 512 statics in a block, within the
// 1024 a client reads.
TEST(Statics, BlocksStayWithinTheClientsLimit)
{
    TWorld world(std::vector<std::string>(16, std::string(16, 'G')));
    TDecorationConfig config = world.Everywhere(GRASS, 1);
    config.Terrains[GRASS].Groups[0].Parts.assign(TDecorationConfig::MaxParts, {{{5, 9}}, 5});
    const TMapSize size{16, 16};
    const TReadBack back = ReadBack(BuildStatics(*world.Model, size, config, Stream(2)), size);
    ASSERT_EQ(back.Fault, "");
    EXPECT_EQ(back.MostInBlock, 512);
    EXPECT_LE(back.MostInBlock, StaticsFile::MaxPerBlock);
}

// The map may be larger or smaller than the picture: nothing beyond the
// picture, and water beyond the map's edge makes no wave.
TEST(Statics, MapAndPictureOfDifferentSizes)
{
    std::vector<std::string> rows(12, std::string(12, 'G'));
    for (auto &row : rows)
        row[8] = 'W';
    TWorld world(rows);
    const TDecorationConfig config = world.Everywhere(GRASS, 0x0CAC);
    const TMapSize small{8, 8}, large{24, 16};
    const TReadBack cut = ReadBack(BuildStatics(*world.Model, small, config, Stream(4)), small);
    ASSERT_EQ(cut.Fault, "");
    EXPECT_EQ(cut.ByCell.size(), 64u);
    for (const auto &[cell, s] : cut.ByCell)
        EXPECT_EQ(s.Id, 0x0CAC) << cell.first << "," << cell.second;

    const TReadBack wide = ReadBack(BuildStatics(*world.Model, large, config, Stream(4)), large);
    ASSERT_EQ(wide.Fault, "");
    for (const auto &[cell, s] : wide.ByCell)
        EXPECT_TRUE(cell.first < 12 && cell.second < 12) << cell.first << "," << cell.second;
    EXPECT_EQ(IdsAt(wide, 7, 3).size(), 1u);
    EXPECT_TRUE(AllWaves().count(IdsAt(wide, 7, 3).at(0)));
}

TEST(Statics, EmptyFiles)
{
    const TMapSize size{16, 24};
    const TStaticsFiles files = BuildEmptyStatics(size);
    const TReadBack back = ReadBack(files, size);
    EXPECT_EQ(back.Fault, "");
    EXPECT_TRUE(back.ByCell.empty());
    EXPECT_EQ(files.Index.size(), 6u * 12u);
    EXPECT_EQ(files.Data, std::vector<uint8_t>(7, 0));
}

// The decoration draws from a stream of its own: the map's generator, and so
// the map file, are the same whether statics are made or not; with a fixed
// seed the decoration's stream is seed(S, 6).
TEST(Statics, TheMapsDrawsStayTheSame)
{
    Random::SetFixedSeed(1234);
    TWorld world(std::vector<std::string>(64, std::string(64, 'G')));
    const TMapSize size{64, 64};
    const TPcg32 before = Random::Generator();
    std::vector<uint8_t> mapBefore(size.ColumnBytes() * 8), mapAfter(size.ColumnBytes() * 8);
    TMapFiller(*world.Model, Random::Generator(), size).FillBand(0, 8, mapBefore.data());
    const TStaticsFiles files =
        BuildStatics(*world.Model, size, world.Everywhere(GRASS, 3), Random::NewStream(TSeedSite::Decoration));
    EXPECT_EQ(Random::Generator().State, before.State);
    TMapFiller(*world.Model, Random::Generator(), size).FillBand(0, 8, mapAfter.data());
    EXPECT_EQ(mapBefore, mapAfter);
    EXPECT_EQ(BuildStatics(*world.Model, size, world.Everywhere(GRASS, 3), Stream(1234)).Data, files.Data);
    Random::SetFixedSeed(std::nullopt);
}

// The writer puts the statics into the same save as the map, after the map's
// bytes and from the decoration's own stream: the map file is the same byte
// for byte with no statics, empty ones or decorated ones, and the decorated
// files are those of seed(S, 6).
TEST(Statics, TheWriterSavesTheMapUnchangedWithStatics)
{
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), "[GRASS]\n3=\n4=\n5=\n6=\n[WATER]\n168=\n169=\n[COASTLINE]\n22=\n");
    std::vector<std::string> rows(64, std::string(64, 'G'));
    for (int y = 20; y < 30; ++y)
        rows[size_t(y)].replace(20, 10, std::string(10, 'W'));
    TDecorationConfig config;
    TTerrainDecoration &grass = config.Terrains[GRASS];
    grass.Density = 3000;
    grass.TotalWeight = 1;
    grass.Groups.push_back({"bush", 1, {{{{0x0C8F, 0x0C92}}, 4}}});
    const TMapSize size{64, 64};
    std::vector<std::string> maps;
    TPcg32 after;
    for (const TStaticsChoice choice : {TStaticsChoice::None, TStaticsChoice::Empty, TStaticsChoice::Decorated}) {
        SCOPED_TRACE(int(choice));
        Random::SetFixedSeed(77);
        TTerrainImage model(dir.File("Tiles.ini"));
        PaintGrid(model, rows, Legend());
        TMapOutput output = TMapOutput::ForFile(dir.File("map0.mul"), size, choice);
        output.Decoration = config;
        TStaticsCounts counts;
        bool built = false;
        TMapWriterHooks hooks;
        hooks.StaticsBuilt = [&](const TStaticsCounts &Counts) {
            counts = Counts;
            built = true;
        };
        fs::remove(dir.File("staidx0.mul"));
        fs::remove(dir.File("statics0.mul"));
        ASSERT_EQ(WriteMapFile(model, output, hooks), TMapWriteResult::Written);
        maps.push_back(ReadFile(dir.File("map0.mul")));
        if (choice == TStaticsChoice::None) {
            after = Random::Generator();
            EXPECT_FALSE(fs::exists(dir.File("staidx0.mul")));
        } else {
            EXPECT_EQ(Random::Generator().State, after.State); // the map's stream left where the map left it
        }
        EXPECT_EQ(built, choice == TStaticsChoice::Decorated);
        if (choice == TStaticsChoice::Empty) {
            EXPECT_EQ(ReadFile(dir.File("statics0.mul")), std::string(7, '\0'));
        }
        if (choice == TStaticsChoice::Decorated) {
            const TStaticsFiles expected = BuildStatics(model, size, config, Stream(77));
            EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), std::string(expected.Index.begin(), expected.Index.end()));
            EXPECT_EQ(ReadFile(dir.File("statics0.mul")), std::string(expected.Data.begin(), expected.Data.end()));
            EXPECT_GT(counts.Decorated[GRASS], 0u);
            EXPECT_GT(counts.Waves, 0u);
            EXPECT_EQ(counts.Records * 7 + 7, expected.Data.size());
        }
    }
    Random::SetFixedSeed(std::nullopt);
    EXPECT_EQ(maps[1], maps[0]);
    EXPECT_EQ(maps[2], maps[0]);
}

// The reader of --info against the layout reader above, block by block.
TEST(Statics, TheReaderFindsWhatTheLayoutHolds)
{
    TWorld world(std::vector<std::string>(32, std::string(40, 'F')));
    const TMapSize size{40, 32};
    const TStaticsFiles files = BuildStatics(*world.Model, size, world.Everywhere(FOREST, 0x0CCD, 2), Stream(5));
    WriteFile(world.Dir.File("staidx0.mul"), std::string(files.Index.begin(), files.Index.end()));
    WriteFile(world.Dir.File("statics0.mul"), std::string(files.Data.begin(), files.Data.end()));
    const TReadBack back = ReadBack(files, size);
    ASSERT_EQ(back.Fault, "");
    const TStaticsReader reader(world.Dir.File("staidx0.mul"), world.Dir.File("statics0.mul"), size);
    size_t found = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const std::vector<TStaticItem> items = reader.At(x, y);
            ASSERT_EQ(items.size(), back.ByCell.count({x, y})) << x << "," << y;
            for (const TStaticItem &item : items) {
                const auto it = back.ByCell.find({x, y});
                EXPECT_EQ(item.Id, it->second.Id);
                EXPECT_EQ(item.Z, it->second.Z);
            }
            found += items.size();
        }
    EXPECT_EQ(found, back.ByCell.size());
    EXPECT_GT(found, 100u);
    EXPECT_THROW(reader.At(40, 0), EStaticsReadError);
    EXPECT_THROW(TStaticsReader(world.Dir.File("staidx0.mul"), world.Dir.File("statics0.mul"), TMapSize{40, 40}),
                 EStaticsReadError);
    EXPECT_THROW(TStaticsReader(world.Dir.File("none.mul"), world.Dir.File("statics0.mul"), size), EStaticsReadError);
}

// The fast walk (runs, water found a row at a time) against the
// straightforward one (every cell on its own): the same bytes and counts on
// random grids of runs of every kind of cell, with the map smaller than, as
// large as and larger than the grid, and lakes and single water cells at the
// edges, for several configurations and seeds.
TEST(Statics, TheFastWalkGivesTheStraightforwardFiles)
{
    const TDecorationConfig bundled = ReadDecorationConfig(BundledTilesPath());
    TDecorationConfig spaced = bundled;
    spaced.Terrains[GRASS].Spacing = 3;
    spaced.Terrains[DIRT].Density = TDecorationConfig::DensityScale;
    spaced.Terrains[DIRT].Spacing = 2;
    // Letters of the grids: land terrains, water (often), coastline, a
    // transition with a tile and one without, a code without a meaning.
    const std::string letters = "DMSNGFJPWWWWCTV0";
    struct TCase
    {
        const char *Name;
        int GridWidth, GridHeight;
        TMapSize Size;
        uint64_t Seed;
        const TDecorationConfig *Config;
    };
    const TCase cases[] = {
        {"grid as large as the map", 64, 48, {64, 48}, 1, &bundled},
        {"grid larger than the map", 75, 61, {64, 56}, 2, &bundled},
        {"grid smaller than the map", 37, 29, {48, 40}, 3, &spaced},
        {"one row", 16, 1, {16, 8}, 4, &spaced},
        {"one column", 1, 16, {8, 16}, 5, &bundled},
        {"long runs", 200, 120, {200, 120}, 6, &spaced},
    };
    uint64_t waves = 0, decorated = 0;
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TPcg32 paint = Stream(c.Seed * 1000);
        const int longest = std::string(c.Name) == "long runs" ? 60 : 6;
        std::vector<std::string> rows(size_t(c.GridHeight), std::string(size_t(c.GridWidth), 'G'));
        for (std::string &row : rows)
            for (size_t x = 0; x < row.size();) {
                const char letter = letters[paint.Random(uint32_t(letters.size()))];
                const size_t run = 1 + paint.Random(uint32_t(longest));
                for (size_t i = 0; i < run && x < row.size(); ++i, ++x)
                    row[x] = letter;
            }
        TWorld world(rows);
        for (int y = 1; y <= c.GridHeight; ++y)
            for (int x = 1; x <= c.GridWidth; ++x)
                world.Model->SetCell(x, y, world.Model->GetCell(x, y).Code, int(paint.Random(60)) - 10);
        TStaticsCounts fastCounts, plainCounts;
        const TStaticsFiles fast =
            BuildStatics(*world.Model, c.Size, *c.Config, Stream(c.Seed), &fastCounts, TStaticsWalk::Fast);
        const TStaticsFiles plain = BuildStatics(*world.Model, c.Size, *c.Config, Stream(c.Seed), &plainCounts,
                                                 TStaticsWalk::Straightforward);
        EXPECT_EQ(fast.Index, plain.Index);
        EXPECT_EQ(fast.Data, plain.Data);
        EXPECT_EQ(fastCounts.PlainCells, plainCounts.PlainCells);
        EXPECT_EQ(fastCounts.Decorated, plainCounts.Decorated);
        EXPECT_EQ(fastCounts.Waves, plainCounts.Waves);
        EXPECT_EQ(fastCounts.Records, plainCounts.Records);
        waves += plainCounts.Waves;
        decorated += plainCounts.Records - plainCounts.Waves;
    }
    // The walks had waves and decoration to place.
    EXPECT_GT(waves, 100u);
    EXPECT_GT(decorated, 100u);
}

// The decoration is built on a thread of its own while the map is written: a
// stop during the writing waits for it and leaves no file; a full run hands
// its counts over once, after the map's last block-column.
TEST(Statics, AStopWhileTheDecorationIsBuiltLeavesNothing)
{
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), "[GRASS]\n3=\n4=\n[WATER]\n168=\n");
    std::vector<std::string> rows(256, std::string(256, 'G'));
    rows[100].replace(100, 20, std::string(20, 'W'));
    TDecorationConfig config;
    TTerrainDecoration &grass = config.Terrains[GRASS];
    grass.Density = 2000;
    grass.TotalWeight = 1;
    grass.Groups.push_back({"bush", 1, {{{{0x0C8F, 0x0C92}}, 4}}});
    Random::SetFixedSeed(5);
    TTerrainImage model(dir.File("Tiles.ini"));
    PaintGrid(model, rows, Legend());
    TMapOutput output = TMapOutput::ForFile(dir.File("map0.mul"), {256, 256}, TStaticsChoice::Decorated);
    output.Decoration = config;
    struct TCase
    {
        const char *Name;
        int StopAt; // block-column after which to stop; -1 for none
    };
    for (const TCase c : {TCase{"stop after the first block-column", 0}, TCase{"stop after the last", 31},
                          TCase{"no stop", -1}}) {
        SCOPED_TRACE(c.Name);
        int built = 0, lastColumn = -1, columnWhenBuilt = -1;
        TMapWriterHooks hooks;
        hooks.AfterColumn = [&](int Column) {
            lastColumn = Column;
            return Column == c.StopAt;
        };
        hooks.StaticsBuilt = [&](const TStaticsCounts &Counts) {
            ++built;
            columnWhenBuilt = lastColumn;
            EXPECT_GT(Counts.Decorated[GRASS], 1000u);
            EXPECT_EQ(Counts.Waves, 46u); // the 22 x 3 cells around the 20 x 1 lake, less the lake
        };
        const TMapWriteResult result = WriteMapFile(model, output, hooks);
        if (c.StopAt >= 0) {
            EXPECT_EQ(result, TMapWriteResult::Aborted);
            EXPECT_EQ(built, 0);
            EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"Tiles.ini"});
        } else {
            EXPECT_EQ(result, TMapWriteResult::Written);
            EXPECT_EQ(built, 1);
            EXPECT_EQ(columnWhenBuilt, 31);
            const TStaticsFiles expected =
                BuildStatics(model, output.Size, config, Random::NewStream(TSeedSite::Decoration));
            EXPECT_EQ(ReadFile(dir.File("statics0.mul")), std::string(expected.Data.begin(), expected.Data.end()));
        }
    }
    Random::SetFixedSeed(std::nullopt);
}
