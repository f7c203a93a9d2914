// The void-tile report: its counts by cause on grids built to hold each cause
// a known number of times, its text, and its total against TileForCode itself.
#include "ClassTerrainImage.h"
#include "Random.h"
#include "TestSupport.h"
#include "VoidReport.h"

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

constexpr uint64_t MapCells = 6144ull * 4096ull;

// DESERT has no section and SWAMP an empty one; of the transitions only
// TRANS_DIRT_GRASS N and E and TRANS_FOREST_GRASS W have tiles. No list or
// transition names the void tile 999, so TileForCode gives 999 exactly for
// the cells without a tile of their own.
const char *const GappyTiles = "[DIRT]\n113=\n114=\n[MOUNTAIN]\n228=\n[SNOW]\n282=\n[GRASS]\n3=\n4=\n"
                               "[FOREST]\n196=\n[JUNGLE]\n172=\n[SWAMP]\n[WATER]\n168=\n[COASTLINE]\n51=\n"
                               "[VOID]\n999=\n[TRANS_DIRT_GRASS]\nN=301\nE=303\n[TRANS_FOREST_GRASS]\nW=607\n";

// Transition codes A*256 + B*16 + D.
constexpr uint16_t Transition(uint16_t A, uint16_t B, uint16_t D) { return uint16_t(A * 256 + B * 16 + D); }

TLegend ReportLegend()
{
    TLegend legend = DefaultLegend();
    legend['n'] = Transition(DIRT, GRASS, 1);   // TRANS_DIRT_GRASS N: has a tile
    legend['s'] = Transition(DIRT, GRASS, 5);   // TRANS_DIRT_GRASS S: none
    legend['e'] = Transition(SNOW, JUNGLE, 3);  // TRANS_SNOW_JUNGLE E: none
    legend['v'] = Transition(SNOW, JUNGLE, 7);  // TRANS_SNOW_JUNGLE W: none
    legend['f'] = Transition(FOREST, GRASS, 7); // TRANS_FOREST_GRASS W: has a tile
    legend['q'] = Transition(DIRT, DIRT, 1);    // no such transition: other
    legend['9'] = 9;                            // a code without a meaning: other
    return legend;
}

// Counts the map cells that TileForCode turns into the void tile, by asking it
// for every cell of a map of the size as the writer does. It draws from the generator.
uint64_t CountVoidByTileForCode(TTerrainImage &Model, const TMapSize &Size = MapSizes::Classic)
{
    uint64_t count = 0;
    const uint16_t voidTile = Model.GetVoidTile();
    for (int y = 1; y <= Size.Height; ++y)
        for (int x = 1; x <= Size.Width; ++x)
            count += Model.TileForCode(Model.GetCell(x, y).Code) == voidTile;
    return count;
}

class VoidReport : public ::testing::Test
{
protected:
    void Configure(const std::string &Tiles)
    {
        WriteFile(Dir.File("Tiles.ini"), Tiles);
        Model = std::make_unique<TTerrainImage>(Dir.File("Tiles.ini"));
    }
    void Paint(const std::vector<std::string> &Rows) { PaintGrid(*Model, Rows, ReportLegend()); }

    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Model;
};

} // namespace

TEST_F(VoidReport, CountsEachCauseAndNamesTheMissingTransitions)
{
    Configure(GappyTiles);
    ASSERT_EQ(Model->GetVoidTile(), 999);
    // 12 x 4 cells: no terrain 4, border marks 2, TRANS_DIRT_GRASS S 3,
    // TRANS_SNOW_JUNGLE E 3, TRANS_SNOW_JUNGLE W 1, swamp 4, coast marks 2,
    // code 9 once, dirt-with-dirt once; everything else has a tile.
    Paint({
        "GG0Gnn0sGGPP",
        "GxGGssfeeePP",
        "00GGGGfvGGcc",
        "xDDWWCC9qGGG",
    });
    const TVoidReport report = MakeVoidReport(*Model, MapSizes::Classic);

    EXPECT_EQ(report.NoTerrain, 4u);
    EXPECT_EQ(report.BorderMarks, 2u);
    ASSERT_EQ(report.MissingTransitions.size(), 3u);
    // Largest first; the two with three cells in code order (DIRT_GRASS 341 before SNOW_JUNGLE 1139).
    EXPECT_EQ(report.MissingTransitions[0].Section, "TRANS_DIRT_GRASS");
    EXPECT_EQ(report.MissingTransitions[0].Key, "S");
    EXPECT_EQ(report.MissingTransitions[0].Cells, 3u);
    EXPECT_EQ(report.MissingTransitions[1].Section, "TRANS_SNOW_JUNGLE");
    EXPECT_EQ(report.MissingTransitions[1].Key, "E");
    EXPECT_EQ(report.MissingTransitions[1].Cells, 3u);
    EXPECT_EQ(report.MissingTransitions[2].Key, "W");
    EXPECT_EQ(report.MissingTransitions[2].Cells, 1u);
    EXPECT_EQ(report.TransitionCells, 7u);
    ASSERT_EQ(report.EmptyLists.size(), 2u);
    EXPECT_EQ(report.EmptyLists[0].Name, "DESERT");
    EXPECT_EQ(report.EmptyLists[0].Cells, 0u);
    EXPECT_EQ(report.EmptyLists[1].Name, "SWAMP");
    EXPECT_EQ(report.EmptyLists[1].Cells, 4u);
    EXPECT_EQ(report.OtherCells, 4u);
    EXPECT_EQ(report.OutsidePicture, MapCells - 12 * 4);
    EXPECT_EQ(report.Total, 4u + 2u + 7u + 4u + 4u + (MapCells - 48));

    const std::vector<std::string> expected = {
        "Void tiles: 25165797 cells",
        "  pixels of no terrain: 4 cells",
        "  border cells left without a transition: 2 cells",
        "  transitions without a tile: 7 cells",
        "    TRANS_DIRT_GRASS S: 3 cells",
        "    TRANS_SNOW_JUNGLE E: 3 cells",
        "    TRANS_SNOW_JUNGLE W: 1 cell",
        "  empty tile lists:",
        "    DESERT: 0 cells",
        "    SWAMP: 4 cells",
        "  other codes: 4 cells (code 9: 1 cell, code 19: 2 cells, code 273: 1 cell)",
        "  outside the picture: 25165776 cells",
    };
    EXPECT_EQ(FormatVoidReport(report), expected);
}

TEST_F(VoidReport, TheTotalIsWhatTileForCodeGivesTheVoidTile)
{
    Configure(GappyTiles);
    struct TCase
    {
        const char *Name;
        std::vector<std::string> Rows;
    };
    const TCase cases[] = {
        {"every cause", {"G0GnnsGGPP", "GxGGssfeee", "00GGGGfvGc", "xDDWWCC9qG"}},
        // Wider than the map: the columns past 6144 are not in the file.
        {"wider than the map", {std::string(6140, 'G') + "PP0xsss0", std::string(6148, 'W')}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        Paint(c.Rows);
        const TVoidReport report = MakeVoidReport(*Model, MapSizes::Classic);
        EXPECT_EQ(report.Total, CountVoidByTileForCode(*Model));
    }
    // The wide picture: the swamp pair, one code-0 cell and no transition are in the map.
    const TVoidReport report = MakeVoidReport(*Model, MapSizes::Classic);
    EXPECT_EQ(report.EmptyLists[1].Cells, 2u);
    EXPECT_EQ(report.NoTerrain, 1u);
    EXPECT_EQ(report.BorderMarks, 1u);
    EXPECT_TRUE(report.MissingTransitions.empty());
    EXPECT_EQ(report.OutsidePicture, MapCells - 2 * 6144);

    // Without a picture every map cell is outside it.
    Paint({});
    EXPECT_EQ(MakeVoidReport(*Model, MapSizes::Classic).Total, MapCells);
    EXPECT_EQ(MakeVoidReport(*Model, MapSizes::Classic).OutsidePicture, MapCells);
}

TEST_F(VoidReport, CountsTheCellsOfTheMapsSize)
{
    Configure(GappyTiles);
    // Grass, wider than the classic map and higher than map2's, with void
    // cells placed about the edges of the sizes (1-based grid cells).
    Model->ResetGrid(7200, 1700);
    for (int y = 1; y <= 1700; ++y)
        for (int x = 1; x <= 7200; ++x)
            Model->SetCell(x, y, GRASS, 0);
    Model->SetCell(6145, 10, NO_TERRAIN, -1);  // right of the classic map, in 7168 x 4096
    Model->SetCell(7168, 20, SWAMP, -1);       // the last column of 7168 x 4096
    Model->SetCell(7169, 30, BORDER_MARK, -1); // right of every map here
    Model->SetCell(2000, 1650, NO_TERRAIN, -1); // below map2
    Model->SetCell(2304, 1600, BORDER_MARK, -1); // map2's last cell
    Model->SetCell(2305, 1, NO_TERRAIN, -1);   // right of map2
    struct TCase
    {
        TMapSize Size;
        uint64_t NoTerrain, BorderMarks, Swamp, Outside;
    };
    const TCase cases[] = {
        {MapSizes::Classic, 2, 1, 0, 6144ull * (4096 - 1700)},
        {{7168, 4096}, 3, 1, 1, 7168ull * (4096 - 1700)},
        {{2304, 1600}, 0, 1, 0, 0},
        {{8, 8}, 0, 0, 0, 0},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(FormatMapSize(c.Size));
        const TVoidReport report = MakeVoidReport(*Model, c.Size);
        EXPECT_EQ(report.NoTerrain, c.NoTerrain);
        EXPECT_EQ(report.BorderMarks, c.BorderMarks);
        ASSERT_EQ(report.EmptyLists.size(), 2u);
        EXPECT_EQ(report.EmptyLists[1].Name, "SWAMP");
        EXPECT_EQ(report.EmptyLists[1].Cells, c.Swamp);
        EXPECT_EQ(report.OutsidePicture, c.Outside);
        EXPECT_EQ(report.Total, c.NoTerrain + c.BorderMarks + c.Swamp + c.Outside);
        // The classic size is checked against TileForCode above.
        if (c.Size != MapSizes::Classic) {
            EXPECT_EQ(report.Total, CountVoidByTileForCode(*Model, c.Size));
        }
    }

    // A picture smaller than the map: the rest of the map is outside it.
    Paint({"GG0G", "GGGG"});
    const TVoidReport small = MakeVoidReport(*Model, {2304, 1600});
    EXPECT_EQ(small.OutsidePicture, 2304u * 1600u - 8u);
    EXPECT_EQ(small.Total, 2304u * 1600u - 7u);
    EXPECT_EQ(FormatVoidReport(small).back(), "  outside the picture: 3686392 cells");

    for (const TMapSize size : {TMapSize{0, 0}, TMapSize{7, 8}, TMapSize{-8, 8}, TMapSize{65536, 8}})
        EXPECT_THROW(MakeVoidReport(*Model, size), std::invalid_argument) << FormatMapSize(size);
}

TEST_F(VoidReport, ATileThatIsTheVoidTileItselfIsATileOfItsOwn)
{
    // Grass and one transition name tile 580, which is also the void tile.
    Configure("[DIRT]\n113=\n[GRASS]\n580=\n[VOID]\n580=\n[TRANS_DIRT_GRASS]\nS=580\n");
    Paint({"GGsD"});
    const TVoidReport report = MakeVoidReport(*Model, MapSizes::Classic);
    EXPECT_TRUE(report.MissingTransitions.empty());
    EXPECT_EQ(report.Total, MapCells - 4);
    EXPECT_FALSE(TVoidCodes::IsVoid(*Model, GRASS));
    EXPECT_FALSE(TVoidCodes::IsVoid(*Model, Transition(DIRT, GRASS, 5)));
    EXPECT_TRUE(TVoidCodes::IsVoid(*Model, Transition(DIRT, GRASS, 1)));
}

TEST_F(VoidReport, TheBundledConfigurationLeavesOnlyMarksAndEmptyPixels)
{
    Configure(ReadFile(BundledTilesPath()));
    Paint({"GGsD", "0xeF"});
    const TVoidReport report = MakeVoidReport(*Model, MapSizes::Classic);
    EXPECT_TRUE(report.MissingTransitions.empty());
    EXPECT_TRUE(report.EmptyLists.empty());
    EXPECT_EQ(report.NoTerrain, 1u);
    EXPECT_EQ(report.BorderMarks, 1u);
    EXPECT_EQ(report.Total, 2u + MapCells - 8);
}

TEST_F(VoidReport, DrawsNoRandomNumber)
{
    Configure(GappyTiles);
    Paint({"GGsD", "0xeF"});
    Random::Generator().Seed(9, 2);
    const uint64_t before = Random::Generator().State;
    MakeVoidReport(*Model, MapSizes::Classic);
    EXPECT_EQ(Random::Generator().State, before);
}

TEST(VoidReportNames, CodesAreNamedAsTheReportAndTilesIniNameThem)
{
    struct TCase
    {
        uint16_t Code;
        const char *Name;
    };
    const TCase cases[] = {
        {0, "no terrain"},
        {GRASS, "GRASS"},
        {WATER, "WATER"},
        {COASTLINE, "COASTLINE"},
        {COAST_MARK, "COAST_MARK"},
        {BORDER_MARK, "BORDER_MARK"},
        {Transition(SNOW, JUNGLE, 3), "TRANS_SNOW_JUNGLE E"},
        {Transition(DIRT, GRASS, 8), "TRANS_DIRT_GRASS NW"},
        {9, "code 9"},
        {Transition(DIRT, DIRT, 1), "code 273"},
        {Transition(DIRT, GRASS, 9), "code 345"},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(CodeName(c.Code), c.Name) << c.Code;
}
