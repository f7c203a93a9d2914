// The map preview: the colour of every kind of cell, the hill shading, the
// scaled form, that it draws no random number, and the PNG file it is saved as.
#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "PlainPng.h"
#include "Random.h"
#include "TestSupport.h"
#include "VoidReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

std::string Hex(TPreviewColor Color)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", unsigned(Color & 0xFFFFFF));
    return text;
}

// Perceived brightness (ITU-R BT.601 weights), to compare shades.
int Brightness(TPreviewColor Color)
{
    return (PreviewColors::Red(Color) * 299 + PreviewColors::Green(Color) * 587 + PreviewColors::Blue(Color) * 114) /
           1000;
}

// A map cell, counted from 0.
struct TCellAt
{
    int X, Y;
};

// A grid wider than the classic map and higher than map2's: terrains,
// transitions (one without a tile), void causes, and altitudes that change
// from cell to cell, so that a column or row out of place shows.
constexpr int WideGridWidth = 7200;
constexpr int WideGridHeight = 1700;
void PaintWideGrid(TTerrainImage &Model)
{
    const uint16_t codes[] = {GRASS, GRASS, DIRT, DirtGrassEast, DirtGrassSouth, WATER,
                              COASTLINE, MOUNTAIN, NO_TERRAIN, SWAMP, FOREST};
    Model.ResetGrid(WideGridWidth, WideGridHeight);
    for (int y = 1; y <= WideGridHeight; ++y)
        for (int x = 1; x <= WideGridWidth; ++x)
            Model.SetCell(x, y, codes[size_t(x / 5 + y / 3) % std::size(codes)], (x * 7 + y * 13) % 41 - 20);
}

// The preview as its rules say, cell by cell through the accessors: map cell
// (x, y) shows grid cell (x + 1, y + 1) in its flat colour, shaded by twice
// its altitude less those of its north and west neighbours (itself on the
// first row and column); void codes and cells beyond the grid are magenta.
TPreviewPicture ReferencePreview(const TTerrainImage &Model, const TMapSize &Size)
{
    const TVoidCodes voidCodes(Model);
    TPreviewPicture picture{Size.Width, Size.Height, std::vector<TPreviewColor>(size_t(Size.Cells()))};
    for (int y = 0; y < Size.Height; ++y) {
        TPreviewColor *line = picture.Row(y);
        for (int x = 0; x < Size.Width; ++x) {
            const TCell cell = Model.GetCell(x + 1, y + 1);
            if (!Model.IsInside(x + 1, y + 1) || voidCodes.IsVoid(cell.Code)) {
                line[x] = PreviewColors::Void;
                continue;
            }
            const TPreviewColor flat = TTerrainImage::HasTileList(cell.Code)
                                  ? PreviewColors::Terrain(cell.Code)
                                  : PreviewColors::Blend(cell.Code >> 8, (cell.Code >> 4) & 15);
            const int north = y > 0 ? Model.GetCell(x + 1, y).Altitude : cell.Altitude;
            const int west = x > 0 ? Model.GetCell(x, y + 1).Altitude : cell.Altitude;
            line[x] = PreviewColors::Shade(flat, 2 * cell.Altitude - north - west);
        }
    }
    return picture;
}

// "" when the pictures are the same, else where they first differ (a short
// text instead of gtest's dump of two whole pictures).
// Works for both the program's pictures and those of the plain PNG reader.
template <typename TActual, typename TExpected>
std::string Difference(const TActual &Actual, const TExpected &Expected)
{
    if (Actual.Width != Expected.Width || Actual.Height != Expected.Height)
        return "size " + std::to_string(Actual.Width) + "x" + std::to_string(Actual.Height) + ", expected " +
               std::to_string(Expected.Width) + "x" + std::to_string(Expected.Height);
    for (int y = 0; y < Actual.Height; ++y)
        for (int x = 0; x < Actual.Width; ++x)
            if (Actual.Pixel(x, y) != Expected.Pixel(x, y))
                return "pixel " + std::to_string(x) + "/" + std::to_string(y) + " is " + Hex(Actual.Pixel(x, y)) +
                       ", expected " + Hex(Expected.Pixel(x, y));
    return "";
}

} // namespace

TEST_F(MapPreview, EachTerrainOnFlatGroundHasItsColour)
{
    struct TCase
    {
        char Letter;
        TPreviewColor Color; // the documented colour
    };
    const TCase cases[] = {
        {'D', 0xFF8C6A43}, {'M', 0xFF8A8580}, {'S', 0xFFE3CD84}, {'N', 0xFFE4EAF0}, {'G', 0xFF5FA043},
        {'F', 0xFF2B6330}, {'J', 0xFF1F8C64}, {'W', 0xFF2F5FA8}, {'C', 0xFFC2AF7E},
    };
    std::string row;
    for (const TCase &c : cases)
        row += c.Letter;
    Paint({row, row});
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic);
    ASSERT_EQ(picture.Size(), TPictureSize(6144, 4096));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(std::string(1, cases[i].Letter));
        EXPECT_EQ(Hex(picture.Pixel(int(i), 0)), Hex(cases[i].Color));
        EXPECT_EQ(Hex(picture.Pixel(int(i), 1)), Hex(cases[i].Color));
        EXPECT_EQ(PreviewColors::Terrain(PreviewLegend().at(cases[i].Letter)), cases[i].Color);
    }
}

TEST_F(MapPreview, ATransitionIsTheBlendOfItsTwoTerrains)
{
    Paint({"DtG"});
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic);
    // Dirt 8C6A43 and grass 5FA043, channel by channel halfway, halves up.
    EXPECT_EQ(Hex(picture.Pixel(1, 0)), "#768543");
    EXPECT_EQ(picture.Pixel(1, 0), PreviewColors::Blend(DIRT, GRASS));
}

TEST_F(MapPreview, EveryVoidCauseIsMagenta)
{
    // 0 no terrain, x a border cell without a transition, u a transition
    // without a tile, P swamp with an empty list, c a leftover coast mark.
    Paint({"G0GxGuGPGcG", "GGGGGGGGGGG"});
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic);
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
        EXPECT_EQ(picture.Pixel(c.X, c.Y) == PreviewColors::Void, c.Void) << Hex(picture.Pixel(c.X, c.Y));
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
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].Name);
        EXPECT_EQ(Hex(picture.Pixel(int(i) * 3 + 1, 1)), cases[i].Centre);
    }
    const TPreviewColor lit = PreviewColors::Shade(PreviewColors::Terrain(GRASS), 2);
    const TPreviewColor dark = PreviewColors::Shade(PreviewColors::Terrain(GRASS), -2);
    EXPECT_GT(Brightness(lit), Brightness(PreviewColors::Terrain(GRASS)));
    EXPECT_LT(Brightness(dark), Brightness(PreviewColors::Terrain(GRASS)));
}

TEST_F(MapPreview, TheEdgeOfThePictureIsNotShadedByTheEmptyCellsAroundIt)
{
    Paint({"GG", "GG"});
    SetAltitudes([](int, int) { return 50; });
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Hex(picture.Pixel(x, y)), "#5FA043") << x << "/" << y;
}

TEST_F(MapPreview, NoShadeOrBlendIsEverTheVoidColour)
{
    std::vector<TPreviewColor> colors;
    const uint16_t codes[] = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER, COASTLINE};
    for (const uint16_t a : codes)
        colors.push_back(PreviewColors::Terrain(a));
    for (uint16_t a = DIRT; a <= SWAMP; ++a)
        for (uint16_t b = DIRT; b <= SWAMP; ++b)
            if (a != b)
                colors.push_back(PreviewColors::Blend(a, b));
    for (const TPreviewColor color : colors)
        for (int rise = -510; rise <= 510; ++rise)
            ASSERT_NE(PreviewColors::Shade(color, rise), PreviewColors::Void) << Hex(color) << " " << rise;
}

TEST_F(MapPreview, AScaledPixelIsItsBlocksAverageOrMagentaIfAnyCellIsVoid)
{
    Paint({"GGGG", "SSG0"});
    struct TCase
    {
        TMapSize Map;
        int Scale;
        TPictureSize Size;
    };
    const TCase sizes[] = {
        {MapSizes::Classic, 5, {1229, 820}}, {MapSizes::Classic, 8, {768, 512}}, {MapSizes::Classic, 6144, {1, 1}},
        {{7168, 4096}, 8, {896, 512}},       {{7168, 4096}, 3, {2390, 1366}},    {{2304, 1600}, 7, {330, 229}},
        {{1280, 4096}, 1280, {1, 4}},        {{8, 8}, 3, {3, 3}},
    };
    for (const TCase &c : sizes) {
        SCOPED_TRACE(FormatMapSize(c.Map) + " at " + std::to_string(c.Scale));
        EXPECT_EQ(RenderMapPreview(*Model, c.Map, c.Scale).Size(), c.Size);
        EXPECT_EQ(PreviewPictureSize(c.Map, c.Scale), c.Size);
    }

    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic, 2);
    EXPECT_EQ(picture.Size(), TPictureSize(3072, 2048));
    // Grass 5FA043 twice and desert E3CD84 twice: (95+95+227+227)/4 = 161,
    // (160+160+205+205)/4 = 182.5 -> 183, (67+67+132+132)/4 = 99.5 -> 100.
    EXPECT_EQ(picture.Pixel(0, 0), PreviewColors::Rgb(161, 183, 100));
    EXPECT_EQ(picture.Pixel(1, 0), PreviewColors::Void); // the code-0 cell
    EXPECT_EQ(picture.Pixel(2, 0), PreviewColors::Void); // outside the picture
    EXPECT_THROW(RenderMapPreview(*Model, MapSizes::Classic, 0), std::invalid_argument);
}

TEST_F(MapPreview, ScalingTheFullPictureGivesTheScaledRender)
{
    Paint({"GGGGDDDDtt", "GGWWDDDDuS", "FFWWJJMMNN", "PPCCGG0GGG", "GSGSGSGSGS"});
    SetAltitudes([](int x, int y) { return (x * 7 + y * 13) % 23 - 11; });
    const TPreviewPicture full = RenderMapPreview(*Model, MapSizes::Classic);
    for (const int factor : {2, 4, 6})
        EXPECT_EQ(DownscaleMapPreview(full, factor), RenderMapPreview(*Model, MapSizes::Classic, factor)) << factor;
}

TEST_F(MapPreview, ThePictureCoversTheMapOfItsSize)
{
    PaintWideGrid(*Model);
    struct TCase
    {
        TMapSize Size;
        std::vector<TCellAt> InPicture; // map cells that show the grid
        std::vector<TCellAt> Outside;   // map cells beyond the grid: void
    };
    const TCase cases[] = {
        // The classic map: the grid's columns from 6144 on are cut.
        {MapSizes::Classic, {{6143, 0}, {6143, 1699}}, {{0, 1700}, {6143, 4095}}},
        // The current clients' map0: those columns are in it, up to the last.
        {{7168, 4096}, {{6144, 0}, {7000, 900}, {7167, 0}, {7167, 1699}}, {{7167, 1700}, {0, 4095}, {7167, 4095}}},
        // map2: cut at the right and the bottom, nothing beyond the grid.
        {{2304, 1600}, {{2303, 0}, {2303, 1599}, {0, 1599}}, {}},
        {{1280, 4096}, {{1279, 1699}}, {{1279, 1700}}},
    };
    // Grass where the checks look for a cell of the grid, which may be void in the pattern.
    for (const TCase &c : cases)
        for (const TCellAt &cell : c.InPicture)
            Model->SetCell(cell.X + 1, cell.Y + 1, GRASS, -1);
    for (const TCase &c : cases) {
        SCOPED_TRACE(FormatMapSize(c.Size));
        const TPreviewPicture picture = RenderMapPreview(*Model, c.Size);
        ASSERT_EQ(picture.Size(), TPictureSize(c.Size.Width, c.Size.Height));
        EXPECT_EQ(Difference(picture, ReferencePreview(*Model, c.Size)), "");
        for (const TCellAt &cell : c.InPicture)
            EXPECT_NE(picture.Pixel(cell.X, cell.Y), PreviewColors::Void) << cell.X << "/" << cell.Y;
        for (const TCellAt &cell : c.Outside)
            EXPECT_EQ(picture.Pixel(cell.X, cell.Y), PreviewColors::Void) << cell.X << "/" << cell.Y;
        // The scaled picture is the full one made smaller, blocks cut at the edges included.
        for (const int scale : {3, 8})
            EXPECT_EQ(Difference(RenderMapPreview(*Model, c.Size, scale), DownscaleMapPreview(picture, scale)), "")
                << scale;
    }
}

TEST_F(MapPreview, APictureBeyondTheLimitIsRefusedAndTheSmallestScaleThatFitsNamed)
{
    struct TCase
    {
        TMapSize Size;
        int MinScale;
    };
    const TCase cases[] = {
        {MapSizes::Classic, 1}, {{7168, 4096}, 1},  {{16384, 16384}, 1}, {{16392, 16384}, 2},
        {{65528, 8}, 1},        {{65528, 65528}, 4}, {{65528, 32768}, 3},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(MinPreviewScale(c.Size), c.MinScale) << FormatMapSize(c.Size);

    Paint({"GG"});
    try {
        RenderMapPreview(*Model, {65528, 65528}, 3);
        ADD_FAILURE() << "no error";
    } catch (const std::length_error &error) {
        EXPECT_NE(std::string(error.what()).find("scale 4 or more"), std::string::npos) << error.what();
    }
    // Sizes the map file cannot have.
    for (const TMapSize size : {TMapSize{0, 0}, TMapSize{6145, 4096}, TMapSize{8, -8}, TMapSize{65536, 8}})
        EXPECT_THROW(RenderMapPreview(*Model, size), std::invalid_argument) << FormatMapSize(size);
}

TEST_F(MapPreview, DrawsNoRandomNumber)
{
    Paint({"GGDDWW", "GtGuSS"});
    Random::Generator().Seed(5, 6);
    const TPcg32 before = Random::Generator();
    RenderMapPreview(*Model, MapSizes::Classic);
    RenderMapPreview(*Model, MapSizes::Classic, 3);
    EXPECT_EQ(Random::Generator().State, before.State);
}

std::vector<uint8_t> FileBytes(const std::string &Path)
{
    std::ifstream in(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(MapPreview, SavesAPlainRgbPngThatReadsBackTheSame)
{
    Paint({"GGDDtu", "WWSS0C", "MNFJPG"});
    SetAltitudes([](int x, int y) { return (x * 7 + y * 13) % 23 - 11; });
    struct TCase
    {
        const char *Name;
        TMapSize Size;
        int Scale;
    };
    const TCase cases[] = {
        {"scaled", MapSizes::Classic, 16},
        {"one pixel per cell", {64, 24}, 1},
        {"one pixel", {8, 8}, 8},
        {"a tall one", {8, 4096}, 1},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const TPreviewPicture picture = RenderMapPreview(*Model, c.Size, c.Scale);
        const std::string path = Dir.File("preview.png");
        WriteFile(path, "an earlier preview");
        SaveMapPreview(picture, path);
        const std::vector<uint8_t> bytes = FileBytes(path);
        // Signature, then IHDR: 13 bytes, width, height, 8 bits, RGB (2),
        // deflate, the standard filters, no interlacing.
        const uint8_t start[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                 uint8_t(picture.Width >> 24), uint8_t(picture.Width >> 16),
                                 uint8_t(picture.Width >> 8), uint8_t(picture.Width),
                                 uint8_t(picture.Height >> 24), uint8_t(picture.Height >> 16),
                                 uint8_t(picture.Height >> 8), uint8_t(picture.Height), 8, 2, 0, 0, 0};
        ASSERT_GE(bytes.size(), sizeof start);
        EXPECT_TRUE(std::equal(start, start + sizeof start, bytes.begin()));
        const std::vector<std::string> chunks = PlainPng::ChunkTypes(bytes);
        EXPECT_EQ(chunks.front(), "IHDR");
        EXPECT_EQ(chunks.back(), "IEND");
        EXPECT_EQ(std::count(chunks.begin(), chunks.end(), "IDAT"), ptrdiff_t(chunks.size() - 2));
        EXPECT_EQ(Difference(PlainPng::Decode(bytes), picture), "");
        // The same picture, the same bytes.
        EXPECT_TRUE(SaveMapPreview(picture, path));
        EXPECT_EQ(FileBytes(path), bytes);
        EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "preview.png"}));
        // Stopped at the first piece written or at the last moment: nothing saved.
        WriteFile(path, "an earlier preview");
        int asked = 0;
        for (const int stopAt : {1, 0}) {
            int calls = 0;
            const bool saved = SaveMapPreview(picture, path, [&] {
                ++calls;
                return stopAt != 0 ? calls >= stopAt : false;
            });
            if (stopAt == 0) {
                asked = calls;
                EXPECT_TRUE(saved);
                continue;
            }
            EXPECT_FALSE(saved);
            EXPECT_EQ(ReadFile(path), "an earlier preview");
            EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "preview.png"}));
        }
        WriteFile(path, "an earlier preview");
        int calls = 0;
        EXPECT_FALSE(SaveMapPreview(picture, path, [&] { return ++calls >= asked; }));
        EXPECT_EQ(ReadFile(path), "an earlier preview");
        EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"Tiles.ini", "preview.png"}));
    }
}

TEST_F(MapPreview, SaveFailuresNameTheFileAndLeaveWhatWasThere)
{
    const TPreviewPicture picture = RenderMapPreview(*Model, MapSizes::Classic, 64);
    const std::string protectedFile = Dir.File("protected.png");
    WriteFile(protectedFile, "kept");
    std::filesystem::permissions(protectedFile, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                    std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
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
