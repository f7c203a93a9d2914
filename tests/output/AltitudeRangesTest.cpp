// The altitude range of each terrain: a painted grid with altitudes chosen by
// hand, the expected lowest, highest and count per terrain worked out from the
// table below, the cells beyond the map left out, and the report's text.
#include "AltitudeRanges.h"
#include "ClassTerrainImage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// Two transitions (A*256 + B*16 + D) of different pairs and directions: they are one group.
TLegend RangesLegend()
{
    TLegend legend = DefaultLegend();
    legend['t'] = DIRT * 256 + GRASS * 16 + 1; // TRANS_DIRT_GRASS N
    legend['u'] = SNOW * 256 + JUNGLE * 16 + 7; // TRANS_SNOW_JUNGLE W
    return legend;
}

// Paints the letters, then gives each cell its altitude.
void PaintWithAltitudes(TTerrainImage &Model, const std::vector<std::string> &Rows,
                        const std::vector<std::vector<int>> &Altitudes)
{
    PaintGrid(Model, Rows, RangesLegend());
    for (size_t y = 0; y < Rows.size(); ++y)
        for (size_t x = 0; x < Rows[y].size(); ++x) {
            const TCell cell = Model.GetCell(int(x) + 1, int(y) + 1);
            Model.SetCell(int(x) + 1, int(y) + 1, cell.Code, int8_t(Altitudes[y][x]));
        }
}

class AltitudeRanges : public ::testing::Test
{
protected:
    AltitudeRanges() : Model(FrozenTilesPath()) {}
    TTerrainImage Model;
};

} // namespace

TEST_F(AltitudeRanges, LowestHighestAndCellsOfEachTerrain)
{
    // 0 no terrain, x border mark, c coast mark: in no group.
    PaintWithAltitudes(Model,
                       {
                           "GGWWCt",
                           "GMMWCu",
                           "0xMMSS",
                           "FFJJPc",
                       },
                       {
                           {3, -1, -5, -5, 0, 2},
                           {7, 40, 95, -5, -2, -4},
                           {9, 9, 127, 60, 12, 14},
                           {-128, 20, 5, 5, -7, 1},
                       });
    const TAltitudeRanges ranges = MakeAltitudeRanges(Model, MapSizes::Classic);
    struct TRow
    {
        uint16_t Code;
        uint64_t Cells;
        int Lowest, Highest;
    };
    const TRow rows[] = {
        {DIRT, 0, 0, 0},         {MOUNTAIN, 4, 40, 127}, {DESERT, 2, 12, 14}, {SNOW, 0, 0, 0},
        {GRASS, 3, -1, 7},       {FOREST, 2, -128, 20},  {JUNGLE, 2, 5, 5},   {SWAMP, 1, -7, -7},
        {WATER, 3, -5, -5},      {COASTLINE, 2, -2, 0},
    };
    for (const TRow &row : rows) {
        SCOPED_TRACE(TTerrainImage::TerrainName(row.Code));
        EXPECT_EQ(ranges.Of(row.Code).Cells, row.Cells);
        EXPECT_EQ(ranges.Of(row.Code).Lowest, row.Lowest);
        EXPECT_EQ(ranges.Of(row.Code).Highest, row.Highest);
    }
    EXPECT_EQ(ranges.Transitions.Cells, 2u);
    EXPECT_EQ(ranges.Transitions.Lowest, -4);
    EXPECT_EQ(ranges.Transitions.Highest, 2);

    const std::vector<std::string> expected = {
        "Altitudes per terrain (lowest to highest):",
        "  MOUNTAIN: 40 to 127, 4 cells",
        "  DESERT: 12 to 14, 2 cells",
        "  GRASS: -1 to 7, 3 cells",
        "  FOREST: -128 to 20, 2 cells",
        "  JUNGLE: 5 to 5, 2 cells",
        "  SWAMP: -7 to -7, 1 cell",
        "  WATER: -5 to -5, 3 cells",
        "  COASTLINE: -2 to 0, 2 cells",
        "  transition: -4 to 2, 2 cells",
    };
    EXPECT_EQ(FormatAltitudeRanges(ranges), expected);
}

TEST_F(AltitudeRanges, OnlyTheCellsOfTheMapCount)
{
    // 10 x 9 cells of water at -5 with grass at 100 in the last column and
    // row: a map of 8 x 8 cells leaves both out, and the grass at 90 inside it
    // ends a run of water in the middle of a row.
    std::vector<std::string> rows(9, "WWWWWWWWWG");
    rows[8] = "GGGGGGGGGG";
    std::vector<std::vector<int>> altitudes(9, std::vector<int>(10, -5));
    for (int y = 0; y < 9; ++y)
        altitudes[size_t(y)][9] = 100;
    altitudes[8] = std::vector<int>(10, 100);
    rows[3][4] = 'G';
    altitudes[3][4] = 90;
    PaintWithAltitudes(Model, rows, altitudes);

    struct TCase
    {
        TMapSize Size;
        uint64_t Water, Grass;
        int GrassHighest;
    };
    const TCase cases[] = {
        {{8, 8}, 63, 1, 90},
        // The whole grid and beyond: the map cells outside the picture have no terrain.
        {{16, 16}, 71, 19, 100},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(FormatMapSize(c.Size));
        const TAltitudeRanges ranges = MakeAltitudeRanges(Model, c.Size);
        EXPECT_EQ(ranges.Of(WATER).Cells, c.Water);
        EXPECT_EQ(ranges.Of(WATER).Lowest, -5);
        EXPECT_EQ(ranges.Of(WATER).Highest, -5);
        EXPECT_EQ(ranges.Of(GRASS).Cells, c.Grass);
        EXPECT_EQ(ranges.Of(GRASS).Lowest, 90);
        EXPECT_EQ(ranges.Of(GRASS).Highest, c.GrassHighest);
    }

    // No picture: no terrain at all.
    PaintGrid(Model, {});
    EXPECT_EQ(FormatAltitudeRanges(MakeAltitudeRanges(Model, {8, 8})),
              (std::vector<std::string>{"Altitudes per terrain (lowest to highest):", "  no terrain in the map"}));
    EXPECT_THROW(MakeAltitudeRanges(Model, {10, 8}), std::invalid_argument);
}
