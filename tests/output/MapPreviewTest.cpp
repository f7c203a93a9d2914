// The map preview: the colour of every kind of cell, the hill shading, the
// scaled form, that it draws no random number, and the PNG file it is saved as.
#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "Random.h"
#include "TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

// Every terrain has a tile; the void tile is 580; two transitions are configured
// (dirt against grass, east and north), SWAMP has no tiles.
const char *const PreviewTiles = "[DIRT]\n113=\n[MOUNTAIN]\n228=\n[DESERT]\n22=\n[SNOW]\n282=\n[GRASS]\n3=\n"
                                 "[FOREST]\n196=\n[JUNGLE]\n172=\n[SWAMP]\n[WATER]\n168=\n[COASTLINE]\n51=\n"
                                 "[VOID]\n580=\n[TRANS_DIRT_GRASS]\nE=300\nN=301\n";

constexpr uint16_t DirtGrassEast = DIRT * 256 + GRASS * 16 + 3;  // configured
constexpr uint16_t DirtGrassSouth = DIRT * 256 + GRASS * 16 + 5; // not configured

// Letters of the painted grids: the default ones and two transitions.
TLegend PreviewLegend()
{
    TLegend legend = DefaultLegend();
    legend['t'] = DirtGrassEast;
    legend['u'] = DirtGrassSouth;
    return legend;
}

class MapPreview : public ::testing::Test
{
protected:
    MapPreview()
    {
        WriteFile(Dir.File("Tiles.ini"), PreviewTiles);
        Model = std::make_unique<TTerrainImage>(Dir.File("Tiles.ini"));
    }

    void Paint(const std::vector<std::string> &Rows) { PaintGrid(*Model, Rows, PreviewLegend()); }
    // Altitudes of the painted grid from a function of the 0-based position.
    template <typename TAltitude>
    void SetAltitudes(TAltitude Altitude)
    {
        for (int y = 0; y < Model->GetHeight(); ++y)
            for (int x = 0; x < Model->GetWidth(); ++x)
                Model->SetCell(x + 1, y + 1, -1, Altitude(x, y));
    }

    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Model;
};

std::string Hex(QRgb Color)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", unsigned(Color & 0xFFFFFF));
    return text;
}

} // namespace

TEST_F(MapPreview, EachTerrainOnFlatGroundHasItsColour)
{
    struct TCase
    {
        char Letter;
        QRgb Color; // the documented colour
    };
    const TCase cases[] = {
        {'D', 0xFF8C6A43}, {'M', 0xFF8A8580}, {'S', 0xFFE3CD84}, {'N', 0xFFE4EAF0}, {'G', 0xFF5FA043},
        {'F', 0xFF2B6330}, {'J', 0xFF1F8C64}, {'W', 0xFF2F5FA8}, {'C', 0xFFC2AF7E},
    };
    std::string row;
    for (const TCase &c : cases)
        row += c.Letter;
    Paint({row, row});
    const QImage picture = RenderMapPreview(*Model);
    ASSERT_EQ(picture.size(), QSize(6144, 4096));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(std::string(1, cases[i].Letter));
        EXPECT_EQ(Hex(picture.pixel(int(i), 0)), Hex(cases[i].Color));
        EXPECT_EQ(Hex(picture.pixel(int(i), 1)), Hex(cases[i].Color));
        EXPECT_EQ(PreviewColors::Terrain(PreviewLegend().at(cases[i].Letter)), cases[i].Color);
    }
}

TEST_F(MapPreview, ATransitionIsTheBlendOfItsTwoTerrains)
{
    Paint({"DtG"});
    const QImage picture = RenderMapPreview(*Model);
    // Dirt 8C6A43 and grass 5FA043, channel by channel halfway, halves up.
    EXPECT_EQ(Hex(picture.pixel(1, 0)), "#768543");
    EXPECT_EQ(picture.pixel(1, 0), PreviewColors::Blend(DIRT, GRASS));
}

TEST_F(MapPreview, EveryVoidCauseIsMagenta)
{
    // 0 no terrain, x a border cell without a transition, u a transition
    // without a tile, P swamp with an empty list, c a leftover coast mark.
    Paint({"G0GxGuGPGcG", "GGGGGGGGGGG"});
    const QImage picture = RenderMapPreview(*Model);
    struct TCase
    {
        const char *Name;
        int X, Y;
        bool Void;
    };
    const TCase cases[] = {
        {"grass", 0, 0, false},
        {"no terrain", 1, 0, true},
        {"border mark", 3, 0, true},
        {"transition without a tile", 5, 0, true},
        {"empty tile list", 7, 0, true},
        {"coast mark", 9, 0, true},
        {"right of the picture", 11, 0, true},
        {"below the picture", 0, 2, true},
        {"the map's last cell", 6143, 4095, true},
        {"grass below", 10, 1, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(picture.pixel(c.X, c.Y) == PreviewColors::Void, c.Void) << Hex(picture.pixel(c.X, c.Y));
    }
    EXPECT_EQ(Hex(PreviewColors::Void), "#FF00FF");
}

TEST_F(MapPreview, SlopesFacingNorthWestAreLighterThanThoseFacingSouthEast)
{
    struct TCase
    {
        const char *Name;
        int (*Altitude)(int x, int y);
        const char *Centre; // the colour of the middle cell
    };
    const TCase cases[] = {
        {"flat", [](int, int) { return 7; }, "#5FA043"},
        // Rising towards the south-east, the slope faces north-west: Rise 2.
        {"facing north-west", [](int x, int y) { return x + y; }, "#66AD48"},
        {"facing south-east", [](int x, int y) { return -x - y; }, "#58943E"},
        // Across the light: as bright as flat ground.
        {"facing north-east", [](int x, int y) { return y - x; }, "#5FA043"},
        // A cliff: the shading stops at its limit.
        {"steep, facing north-west", [](int x, int y) { return 20 * (x + y); }, "#89E660"},
    };
    // One patch of 3 x 3 grass cells per case, side by side; the middle cell of
    // a patch sees only its own patch's north and west cells.
    Paint({std::string(3 * std::size(cases), 'G'), std::string(3 * std::size(cases), 'G'),
           std::string(3 * std::size(cases), 'G')});
    SetAltitudes([&](int x, int y) { return cases[x / 3].Altitude(x % 3, y); });
    const QImage picture = RenderMapPreview(*Model);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].Name);
        EXPECT_EQ(Hex(picture.pixel(int(i) * 3 + 1, 1)), cases[i].Centre);
    }
    const QRgb lit = PreviewColors::Shade(PreviewColors::Terrain(GRASS), 2);
    const QRgb dark = PreviewColors::Shade(PreviewColors::Terrain(GRASS), -2);
    EXPECT_GT(qGray(lit), qGray(PreviewColors::Terrain(GRASS)));
    EXPECT_LT(qGray(dark), qGray(PreviewColors::Terrain(GRASS)));
}

TEST_F(MapPreview, TheEdgeOfThePictureIsNotShadedByTheEmptyCellsAroundIt)
{
    Paint({"GG", "GG"});
    SetAltitudes([](int, int) { return 50; });
    const QImage picture = RenderMapPreview(*Model);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Hex(picture.pixel(x, y)), "#5FA043") << x << "/" << y;
}

TEST_F(MapPreview, NoShadeOrBlendIsEverTheVoidColour)
{
    std::vector<QRgb> colors;
    const uint16_t codes[] = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER, COASTLINE};
    for (const uint16_t a : codes)
        colors.push_back(PreviewColors::Terrain(a));
    for (uint16_t a = DIRT; a <= SWAMP; ++a)
        for (uint16_t b = DIRT; b <= SWAMP; ++b)
            if (a != b)
                colors.push_back(PreviewColors::Blend(a, b));
    for (const QRgb color : colors)
        for (int rise = -510; rise <= 510; ++rise)
            ASSERT_NE(PreviewColors::Shade(color, rise), PreviewColors::Void) << Hex(color) << " " << rise;
}

TEST_F(MapPreview, AScaledPixelIsItsBlocksAverageOrMagentaIfAnyCellIsVoid)
{
    Paint({"GGGG", "SSG0"});
    struct TCase
    {
        int Scale;
        QSize Size;
    };
    const TCase sizes[] = {{5, {1229, 820}}, {8, {768, 512}}, {6144, {1, 1}}};
    for (const TCase &c : sizes)
        EXPECT_EQ(RenderMapPreview(*Model, c.Scale).size(), c.Size) << c.Scale;

    const QImage picture = RenderMapPreview(*Model, 2);
    EXPECT_EQ(picture.size(), QSize(3072, 2048));
    // Grass 5FA043 twice and desert E3CD84 twice: (95+95+227+227)/4 = 161,
    // (160+160+205+205)/4 = 182.5 -> 183, (67+67+132+132)/4 = 99.5 -> 100.
    EXPECT_EQ(picture.pixel(0, 0), qRgb(161, 183, 100));
    EXPECT_EQ(picture.pixel(1, 0), PreviewColors::Void); // the code-0 cell
    EXPECT_EQ(picture.pixel(2, 0), PreviewColors::Void); // outside the picture
    EXPECT_THROW(RenderMapPreview(*Model, 0), std::invalid_argument);
}

TEST_F(MapPreview, ScalingTheFullPictureGivesTheScaledRender)
{
    Paint({"GGGGDDDDtt", "GGWWDDDDuS", "FFWWJJMMNN", "PPCCGG0GGG", "GSGSGSGSGS"});
    SetAltitudes([](int x, int y) { return (x * 7 + y * 13) % 23 - 11; });
    const QImage full = RenderMapPreview(*Model);
    for (const int factor : {2, 4, 6})
        EXPECT_EQ(DownscaleMapPreview(full, factor), RenderMapPreview(*Model, factor)) << factor;
}

TEST_F(MapPreview, DrawsNoRandomNumber)
{
    Paint({"GGDDWW", "GtGuSS"});
    Random::Generator().Seed(5, 6);
    const TPcg32 before = Random::Generator();
    RenderMapPreview(*Model);
    RenderMapPreview(*Model, 3);
    EXPECT_EQ(Random::Generator().State, before.State);
}

TEST_F(MapPreview, SavesAPngThatReadsBackTheSame)
{
    Paint({"GGDD", "WWSS"});
    const QImage picture = RenderMapPreview(*Model, 16);
    const std::string path = Dir.File("preview.png");
    WriteFile(path, "an earlier preview");
    SaveMapPreview(picture, path);
    QImage read(QString::fromStdString(path), "PNG");
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "preview.png"}));
}

TEST_F(MapPreview, SaveFailuresNameTheFileAndLeaveWhatWasThere)
{
    const QImage picture = RenderMapPreview(*Model, 64);
    const std::string protectedFile = Dir.File("protected.png");
    WriteFile(protectedFile, "kept");
    ASSERT_EQ(chmod(protectedFile.c_str(), 0444), 0);
    struct TCase
    {
        const char *Name;
        std::string Path;
        const char *Cause;
    };
    const TCase cases[] = {
        {"missing folder", Dir.File("no/such/folder/p.png"), ""},
        {"a folder", Dir.Path(), "this is a folder"},
        {"write-protected", protectedFile, "write-protected"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            SaveMapPreview(picture, c.Path);
            ADD_FAILURE() << "no error";
        } catch (const EPreviewWriteError &error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(c.Path + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(c.Cause), std::string::npos) << message;
        }
    }
    EXPECT_EQ(ReadFile(protectedFile), "kept");
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "protected.png"}));
}
