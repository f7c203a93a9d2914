#include "ClassTerrainImage.h"
#include "LargeVector.h"
#include "TestSupport.h"
#include "ZeroedArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

using namespace TestSupport;


TEST(Grid, BeforeAnyLoadEveryPositionIsOutside)
{
    TTerrainImage model(BundledTilesPath());
    EXPECT_EQ(model.GetWidth(), 0);
    EXPECT_EQ(model.GetHeight(), 0);
    EXPECT_EQ(model.GetCell(1, 1), TCell{});
    EXPECT_EQ(model.GetFlag(1, 1), FLAG_NONE);
    model.SetCell(1, 1, BORDER_MARK, -1000);
    model.SetFlag(1, 1, FLAG_SEED);
    EXPECT_EQ(model.GetCell(1, 1), TCell{});
    EXPECT_EQ(model.GetFlag(1, 1), FLAG_NONE);
}

TEST(Grid, ReadsOutsideGiveZerosAndWritesOutsideAreDropped)
{
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GGG", "GGG"}); // 3 columns, 2 rows
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 3; ++x) {
            model.SetCell(x, y, -1, 7);
            model.SetFlag(x, y, FLAG_RING);
        }
    const std::pair<int, int> outside[] = {{0, 1}, {4, 1}, {1, 0}, {1, 3}, {-1, -1},
                                           {INT32_MIN, 1}, {1, INT32_MAX}, {65536 + 1, 1}};
    for (auto [x, y] : outside) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_FALSE(model.IsInside(x, y));
        model.SetCell(x, y, DIRT, 50);
        model.SetFlag(x, y, FLAG_SEED);
        EXPECT_EQ(model.GetCell(x, y), TCell{});
        EXPECT_EQ(model.GetFlag(x, y), FLAG_NONE);
    }
    // Nothing inside was touched by the writes outside, and the corner is inside.
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 3; ++x) {
            EXPECT_EQ(model.GetCell(x, y), (TCell{GRASS, 7}));
            EXPECT_EQ(model.GetFlag(x, y), FLAG_RING);
        }
    EXPECT_TRUE(model.IsInside(3, 2));
    // The frame of the raw arrays stays empty.
    for (int x = 0; x <= 4; ++x) {
        EXPECT_EQ(model.CellData()[model.Index(x, 0)], TCell{});
        EXPECT_EQ(model.CellData()[model.Index(x, 3)], TCell{});
    }
}

TEST(Grid, SetCellKeepsWhatItIsToldToKeep)
{
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GG"});
    model.SetCell(1, 1, -1, 33);
    model.SetCell(1, 1, -1, -1000);
    EXPECT_EQ(model.GetCell(1, 1), (TCell{GRASS, 33}));
    model.SetCell(1, 1, BORDER_MARK, -1000);
    EXPECT_EQ(model.GetCell(1, 1), (TCell{BORDER_MARK, 33}));
    model.SetCell(1, 1, -1, -15);
    EXPECT_EQ(model.GetCell(1, 1), (TCell{BORDER_MARK, -15}));
    // Low 16 bits of the code, low 8 bits of the altitude as a signed byte.
    model.SetCell(2, 1, 0x10000 + 338, 200);
    EXPECT_EQ(model.GetCell(2, 1), (TCell{338, -56}));
    model.SetCell(2, 1, -2, -128);
    EXPECT_EQ(model.GetCell(2, 1), (TCell{0xFFFE, -128}));
}

TEST(Grid, PredicatesHaveTheirBoundaries)
{
    struct TRow
    {
        uint16_t Code;
        bool TerrainOrWater, Land, Marker, Transition;
    };
    const TRow rows[] = {
        {0, false, false, false, false},      {1, true, true, false, false},
        {8, true, true, false, false},        {15, true, true, false, false},
        {16, false, false, false, false},     {17, true, false, false, false},
        {18, false, false, false, false},     {19, false, false, true, true},
        {20, false, false, false, false},     {21, false, false, true, true},
        {22, false, false, false, false},     {255, false, false, false, false},
        {256, false, false, false, true},     {289, false, false, false, true},
        {2168, false, false, false, true},    {65535, false, false, false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Code);
        EXPECT_EQ(TTerrainImage::IsTerrainOrWater(row.Code), row.TerrainOrWater);
        EXPECT_EQ(TTerrainImage::IsLandTerrain(row.Code), row.Land);
        EXPECT_EQ(TTerrainImage::IsBorderMarker(row.Code), row.Marker);
        EXPECT_EQ(TTerrainImage::NeedsTransition(row.Code), row.Transition);
    }
}

TEST(Grid, WarningsListOnlyKindOneInOrder)
{
    TTerrainImage model(BundledTilesPath());
    EXPECT_TRUE(model.GetWarnings().empty());
    model.AddError(5, 5, 2, "");
    EXPECT_TRUE(model.GetWarnings().empty());
    model.AddError(10, 3, 1, "");
    model.AddError(1, 1, 1, "");
    model.AddError(1, 1, 1, "");
    const std::vector<std::string> expected = {
        "Warning: More than 2 different terrains on the border of tile 9/2.",
        "Warning: More than 2 different terrains on the border of tile 0/0.",
        "Warning: More than 2 different terrains on the border of tile 0/0.",
    };
    EXPECT_EQ(model.GetWarnings(), expected);
    ASSERT_EQ(model.GetErrorCount(), 4);
    EXPECT_EQ(model.GetErrors()[1].X, 9);
    EXPECT_EQ(model.GetErrors()[1].Y, 2);
}

TEST(Grid, ResetGridGivesAnEmptyGridOfThatSize)
{
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"WWWW", "WWWW"});
    model.SetFlag(2, 2, FLAG_FIXED);
    model.ResetGrid(2, 3);
    EXPECT_EQ(model.GetWidth(), 2);
    EXPECT_EQ(model.GetHeight(), 3);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 2; ++x) {
            EXPECT_EQ(model.GetCell(x, y), TCell{});
            EXPECT_EQ(model.GetFlag(x, y), FLAG_NONE);
        }
    EXPECT_FALSE(model.IsInside(3, 1));
    model.ResetGrid(0, 5);
    EXPECT_EQ(model.GetWidth(), 0);
    EXPECT_EQ(model.GetHeight(), 0);
}

TEST(Grid, LargeArraysKeepTheirContentsAcrossTheLargePageLimit)
{
    // A vector growing by single elements crosses from the usual allocation
    // to whole large pages and keeps every element on the way.
    TLargeVector<uint32_t> grown;
    for (uint32_t i = 0; i < (3u << 18); ++i)
        grown.push_back(i * 2654435761u);
    size_t wrong = 0;
    for (uint32_t i = 0; i < grown.size(); ++i)
        wrong += grown[i] != i * 2654435761u;
    EXPECT_EQ(wrong, 0u);
#ifndef _WIN32
    EXPECT_EQ(reinterpret_cast<uintptr_t>(grown.data()) % (uintptr_t(2) << 20), 0u);
#endif
    TLargeVector<int8_t> sized;
    sized.resize((size_t(3) << 20) + 7);
    EXPECT_EQ(std::count(sized.begin(), sized.end(), int8_t(0)), std::ptrdiff_t(sized.size()));
    EXPECT_THROW(TLargeVector<uint64_t>(SIZE_MAX / 4), std::exception);

    // Zeroed arrays, small and large, and one reset to another size.
    for (const size_t count : {size_t(10), size_t(1) << 20, (size_t(1) << 21) + 3}) {
        TZeroedArray<TCell> cells;
        cells.Reset(count);
        ASSERT_EQ(cells.size(), count);
        wrong = 0;
        for (size_t i = 0; i < count; ++i)
            wrong += !(cells[i] == TCell{});
        cells[count - 1].Altitude = 5;
        cells.Reset(count / 2 + 1);
        for (size_t i = 0; i < cells.size(); ++i)
            wrong += !(cells[i] == TCell{});
        EXPECT_EQ(wrong, 0u) << count;
    }
}
