// Coast centres and the finishing of the coast codes and warnings.
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using PipelineTest::SetAltitudes;
using PipelineTest::TTable;
using TestSupport::GridAltitudes;
using TestSupport::GridLetters;
using TestSupport::PaintGrid;

namespace {

// G grass, W water, x marker, C coastline, c coast centre, w water next to a
// centre, 0 no terrain, T a transition cell (grass over forest, E).
const TestSupport::TLegend Legend = {
    {'G', GRASS}, {'W', WATER}, {'x', BORDER_MARK}, {'C', COASTLINE}, {'c', COAST_MARK},
    {'w', COAST_WATER_MARK}, {'0', NO_TERRAIN}, {'T', PipelineTest::Transition(GRASS, FOREST, 3)},
};

TEST(Coastline, WorkedExampleFourByThree)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GxWW", "GxWW", "GxWW"}, Legend);
    SetAltitudes(model, {{5, 3, -75, -75}, {6, 2, -74, -73}, {7, 1, -72, -71}});

    MarkCoastline(model);
    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"CcwW", "CCCW", "CcwW"}));
    EXPECT_EQ(GridAltitudes(model), (TTable{{-15, -15, -15, -75}, {-15, -15, -15, -73}, {-15, -15, -15, -71}}));

    FinishTiles(model);
    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"CCCW", "CCCW", "CCCW"}));
    EXPECT_EQ(GridAltitudes(model), (TTable{{-15, -15, -15, -75}, {-15, -15, -15, -73}, {-15, -15, -15, -71}}));
}

// The centre at (1, 1) turns (2, 1) into water next to a centre; that cell is
// the only water-like neighbour of the marker at (3, 2), which becomes a
// centre too and rewrites (2, 1) as coastline.
TEST(Coastline, CoastRunsOnAlongMarkedWater)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"xWGG", "GGxG"}, Legend);
    SetAltitudes(model, {{1, -75, 2, 3}, {4, 5, 6, 7}});

    MarkCoastline(model);
    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"cCCC", "CCcC"}));
    FinishTiles(model);
    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"CCCC", "CCCC"}));
    EXPECT_EQ(GridAltitudes(model), (TTable{{-15, -15, -15, -15}, {-15, -15, -15, -15}}));
}

TEST(Coastline, CentreInACornerWritesItsThreeNeighbours)
{
    struct TCase
    {
        std::vector<std::string> Painted, AfterMarkCoastline;
        TTable Altitudes;
    } cases[] = {
        {{"xWG", "GGG", "GGG"}, {"cwG", "CCG", "GGG"}, {{-15, -15, 7}, {-15, -15, 7}, {7, 7, 7}}},
        {{"GGG", "GGG", "GWx"}, {"GGG", "GCC", "Gwc"}, {{7, 7, 7}, {7, -15, -15}, {7, -15, -15}}},
    };
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintGrid(model, c.Painted, Legend);
        SetAltitudes(model, {{7, 7, 7}, {7, 7, 7}, {7, 7, 7}});
        MarkCoastline(model);
        EXPECT_EQ(GridLetters(model, Legend), c.AfterMarkCoastline);
        EXPECT_EQ(GridAltitudes(model), c.Altitudes);
    }
}

TEST(Coastline, MarkersAwayFromWaterAndUntouchedWaterStay)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GxG0WW", "GxG0WW"}, Legend);
    SetAltitudes(model, {{1, 2, 3, 4, -75, -70}, {5, 6, 7, 8, -60, -50}});
    const auto altitudes = GridAltitudes(model);

    MarkCoastline(model);
    FinishTiles(model);
    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"GxG0WW", "GxG0WW"}));
    EXPECT_EQ(GridAltitudes(model), altitudes);
    EXPECT_EQ(model.GetErrorCount(), 0);
}

// A transition cell next to a centre becomes coastline and its warning is
// withdrawn (kind 2, not listed); a warned cell that keeps its transition code
// keeps its warning. Order and number of entries stay.
TEST(Coastline, WarningsOfCellsTurnedToCoastlineAreWithdrawn)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"TxW000T", "0000000"}, Legend);
    model.AddError(1, 1, 1, "");
    model.AddError(7, 1, 1, "");
    model.AddError(3, 1, 2, ""); // already withdrawn: stays so
    model.AddError(4, 2, 1, ""); // names a cell of code 0: stays listed

    MarkCoastline(model);
    FinishTiles(model);

    EXPECT_EQ(GridLetters(model, Legend), (std::vector<std::string>{"CCC000T", "CCC0000"}));
    EXPECT_EQ(model.GetCell(1, 1).Altitude, -15);
    ASSERT_EQ(model.GetErrorCount(), 4);
    const auto &errors = model.GetErrors();
    EXPECT_EQ(errors[0].Kind, 2);
    EXPECT_EQ(errors[1].Kind, 1);
    EXPECT_EQ(errors[2].Kind, 2);
    EXPECT_EQ(errors[3].Kind, 1);
    EXPECT_EQ(errors[0].X, 0);
    EXPECT_EQ(errors[1].X, 6);
    EXPECT_EQ(model.GetWarnings(),
              (std::vector<std::string>{"Warning: More than 2 different terrains on the border of tile 6/0.",
                                        "Warning: More than 2 different terrains on the border of tile 3/1."}));
}

TEST(Coastline, EmptyGridIsLeftAlone)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    MarkCoastline(model);
    FinishTiles(model);
    EXPECT_EQ(model.GetErrorCount(), 0);
    EXPECT_EQ(model.GetWidth(), 0);
}

} // namespace
