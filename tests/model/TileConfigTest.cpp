#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "Numbers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace TestSupport;

namespace {

// A model whose Tiles.ini holds the given text.
struct TConfigured
{
    explicit TConfigured(const std::string &ini)
    {
        WriteFile(Path, ini);
        Model = std::make_unique<TTerrainImage>(Path);
    }
    TTempDir Dir;
    std::string Path = Dir.File("Tiles.ini");
    std::unique_ptr<TTerrainImage> Model;
};

const char *const ExampleIni = "[GRASS]\n3=\n4=\n5=\n6=\n"
                               "[VOID]\n580=\n"
                               "[TRANS_DIRT_GRASS]\nN=121\nNE=122\nE=123\nSE=124\nS=125\nSW=126\nW=127\nNW=128\n"
                               "[TRANS_GRASS_DIRT]\nNE=222\n"
                               "[ColorTileCodeMatch]\nGRASS=40\nWATER=30\n";

} // namespace

TEST(Numbers, StrictConversion)
{
    const std::map<std::string, std::optional<int32_t>> cases = {
        {"0", 0},          {"16", 16},         {"  16", 16},        {"+7", 7},
        {"-1", -1},        {"0x10", 16},       {"0X10", 16},        {"$10", 16},
        {"x1F", 31},       {"X1f", 31},        {"-$10", -16},       {"$FFFFFFFF", -1},
        {"2147483647", INT32_MAX},             {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},          {"99999999999", std::nullopt},
        {"$123456789", std::nullopt},          {"12a", std::nullopt},
        {"", std::nullopt},  {"-", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},
        {"1 ", std::nullopt}, {"1.5", std::nullopt}, {"abc", std::nullopt}, {"--1", std::nullopt},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(StrToIntStrict(text), expected) << "'" << text << "'";
}

TEST(TileConfig, TheExampleFileGivesItsTilesTransitionsAndColours)
{
    Random::SetFixedSeed(7);
    TConfigured config(ExampleIni);
    TTerrainImage &model = *config.Model;
    EXPECT_EQ(model.GetVoidTile(), 580);
    EXPECT_EQ(model.GetTileList(GRASS), (std::vector<uint16_t>{3, 4, 5, 6}));
    EXPECT_EQ(model.GetTransitionTile(338), 122);   // dirt against grass, NE
    EXPECT_EQ(model.GetTransitionTile(1298), 222);  // grass against dirt, NE: its own entry
    EXPECT_EQ(model.GetTransitionTile(1 * 256 + 5 * 16 + 8), 128);
    EXPECT_EQ(model.GetTransitionTile(1299), 0);
    EXPECT_EQ(model.CodeForColor(40), GRASS);
    EXPECT_EQ(model.CodeForColor(30), WATER);
    EXPECT_EQ(model.CodeForColor(100), DIRT); // defaults of the other terrains
    EXPECT_EQ(model.CodeForColor(191), SWAMP);
    EXPECT_EQ(model.CodeForColor(41), NO_TERRAIN);

    EXPECT_EQ(model.TileForCode(338), 122);
    for (uint16_t code : {0, 21, 22, 19, 20, 273, 9, 16, 255, 1299})
        EXPECT_EQ(model.TileForCode(code), 580) << code;

    std::map<uint16_t, int> counts;
    for (int i = 0; i < 4000; ++i)
        ++counts[model.TileForCode(GRASS)];
    ASSERT_EQ(counts.size(), 4u);
    for (const auto &[tile, count] : counts) {
        EXPECT_GE(tile, 3);
        EXPECT_LE(tile, 6);
        EXPECT_NEAR(count, 1000, 150) << tile;
    }
    Random::SetFixedSeed(std::nullopt);
}

TEST(TileConfig, TileKeysAreStrictNumbersWithinTheTileRange)
{
    TConfigured config("[DIRT]\n0x10=\n$10=\n65535=\n$FFFF=\n0=\n[VOID]\n1=\n");
    EXPECT_EQ(config.Model->GetTileList(DIRT), (std::vector<uint16_t>{16, 16, 65535, 65535, 0}));
}

// Builds a model from the text, which must fail; gives the error.
EConvertError ConstructionError(const std::string &ini, std::string &path, TTempDir &dir)
{
    path = dir.File("Tiles.ini");
    WriteFile(path, ini);
    try {
        TTerrainImage model(path);
    } catch (const EConvertError &error) {
        return error;
    }
    ADD_FAILURE() << "construction went on with:\n" << ini.substr(0, 200);
    return EConvertError("", "");
}

TEST(TileConfig, NumbersOutsideTheTileRangeStopConstruction)
{
    // Storing the low 16 bits would put an unrelated tile into the map.
    struct TCase
    {
        std::string Ini;
        std::string Expected; // the whole message
    };
    const TCase cases[] = {
        {"[DIRT]\n65536=\n", "'65536' is not a valid tile number (0..65535) in section [DIRT]"},
        {"[GRASS]\n3=\n70000=\n", "'70000' is not a valid tile number (0..65535) in section [GRASS]"},
        {"[VOID]\n-1=\n", "'-1' is not a valid tile number (0..65535) in section [VOID]"},
        {"[water]\n$FFFFFFFF=\n", "'$FFFFFFFF' is not a valid tile number (0..65535) in section [WATER]"},
        {"[TRANS_DIRT_GRASS]\nN=121\nNE=70000\n",
         "'70000' is not a valid tile number (0..65535) for the key NE in section [TRANS_DIRT_GRASS]"},
        {"[TRANS_SWAMP_JUNGLE]\nNW=-1\n",
         "'-1' is not a valid tile number (0..65535) for the key NW in section [TRANS_SWAMP_JUNGLE]"},
        {"[TRANS_GRASS_DIRT]\nS=$FFFFFFFF\n",
         "'$FFFFFFFF' is not a valid tile number (0..65535) for the key S in section [TRANS_GRASS_DIRT]"},
        {"[TRANS_GRASS_DIRT]\nS=65536\n",
         "'65536' is not a valid tile number (0..65535) for the key S in section [TRANS_GRASS_DIRT]"},
    };
    for (const auto &c : cases) {
        TTempDir dir;
        std::string path;
        const EConvertError error = ConstructionError(c.Ini, path, dir);
        EXPECT_EQ(std::string(error.what()), c.Expected) << c.Ini;
        EXPECT_EQ(error.FileName, path);
    }
    // The edge of the range is a tile.
    TConfigured edge("[VOID]\n1=\n[TRANS_DIRT_GRASS]\nN=65535\nNE=0\n");
    EXPECT_EQ(edge.Model->GetTransitionTile(1 * 256 + 5 * 16 + 1), 65535);
    EXPECT_EQ(edge.Model->GetTransitionTile(1 * 256 + 5 * 16 + 2), 0);
}

TEST(TileConfig, ALongKeyIsCutInTheMessage)
{
    TTempDir dir;
    std::string path;
    const std::string key = "7" + std::string(200, 'z');
    const EConvertError error = ConstructionError("[GRASS]\n" + key + "=\n", path, dir);
    EXPECT_EQ(std::string(error.what()),
              "'" + key.substr(0, 60) + "...' (201 characters) is not a valid integer value");
}

TEST(TileConfig, AKeyThatIsNoNumberStopsConstruction)
{
    TTempDir dir;
    const std::string path = dir.File("Tiles.ini");
    WriteFile(path, "[GRASS]\n3=\n12a=\n");
    try {
        TTerrainImage model(path);
        FAIL() << "construction went on";
    } catch (const EConvertError &error) {
        EXPECT_STREQ(error.what(), "'12a' is not a valid integer value");
        EXPECT_EQ(error.FileName, path);
    }
}

TEST(TileConfig, BadTransitionValuesAndMissingKeysGiveTheVoidTile)
{
    TConfigured config("[VOID]\n580=\n[TRANS_DIRT_GRASS]\nN=abc\nNE=12x\nE=0x7B\n"
                       "[TRANS_DIRT_DIRT]\nN=999\n[TRANS_DIRT_WATER]\nN=998\n");
    TTerrainImage &model = *config.Model;
    EXPECT_EQ(model.TileForCode(1 * 256 + 5 * 16 + 1), 580);
    EXPECT_EQ(model.TileForCode(1 * 256 + 5 * 16 + 2), 580);
    EXPECT_EQ(model.TileForCode(1 * 256 + 5 * 16 + 3), 123);
    EXPECT_EQ(model.TileForCode(1 * 256 + 5 * 16 + 4), 580);
    EXPECT_EQ(model.GetTransitionTile(1 * 256 + 1 * 16 + 1), 0); // a terrain with itself is never read
    for (int code = 0; code < 65536; ++code) {
        if (model.GetTransitionTile(uint16_t(code)) != 0) {
            EXPECT_EQ(code, 1 * 256 + 5 * 16 + 3);
        }
    }
}

TEST(TileConfig, ColourClashesGoToTheLaterTerrain)
{
    TConfigured grassOnDirt("[VOID]\n1=\n[ColorTileCodeMatch]\nGRASS=100\n");
    EXPECT_EQ(grassOnDirt.Model->CodeForColor(100), GRASS);
    EXPECT_EQ(grassOnDirt.Model->CodeForColor(40), NO_TERRAIN);

    TConfigured waterAtZero("[VOID]\n1=\n[ColorTileCodeMatch]\nWATER=0\n");
    EXPECT_EQ(waterAtZero.Model->CodeForColor(0), WATER);
    EXPECT_EQ(waterAtZero.Model->CodeForColor(30), NO_TERRAIN);

    // Not a number, or out of range: the default, and a problem line.
    TConfigured bad("[VOID]\n1=\n[ColorTileCodeMatch]\nSNOW=white\nFOREST=300\nDESERT=-1\n");
    EXPECT_EQ(bad.Model->CodeForColor(250), SNOW);
    EXPECT_EQ(bad.Model->CodeForColor(9), FOREST);
    EXPECT_EQ(bad.Model->CodeForColor(230), DESERT);
    std::string problems;
    for (const auto &line : bad.Model->GetConfigProblems())
        problems += line + "\n";
    EXPECT_NE(problems.find("FOREST=300"), std::string::npos) << problems;
    EXPECT_NE(problems.find("DESERT=-1"), std::string::npos) << problems;
    EXPECT_NE(problems.find("SNOW='white'"), std::string::npos) << problems;
    EXPECT_NE(problems.find(bad.Path), std::string::npos) << problems;
}

// Values read as no tile or as the default, as ever, are now said: one line
// each, naming the file, the section and the key; the map is unchanged.
TEST(TileConfig, ValuesReadAsNoTileOrTheDefaultAreWarnedAbout)
{
    struct TCase
    {
        const char *Ini;       // after a [VOID] tile
        const char *Expected;  // the whole problem line after "<file>: "; empty: no line
        uint16_t Code;         // a transition code, or 0 for a red value
        uint16_t Tile;         // the transition's tile, or the terrain of Red
        uint8_t Red = 0;
    };
    const TCase cases[] = {
        {"[TRANS_DIRT_GRASS]\nN=0x0085h\n", "[TRANS_DIRT_GRASS] N='0x0085h' is not a tile number; no tile is used",
         1 * 256 + 5 * 16 + 1, 0},
        {"[TRANS_GRASS_DIRT]\nNE=99999999999999999999999\n",
         "[TRANS_GRASS_DIRT] NE='99999999999999999999999' is not a tile number; no tile is used",
         5 * 256 + 1 * 16 + 2, 0},
        {"[TRANS_GRASS_DIRT]\nE=\n", "", 5 * 256 + 1 * 16 + 3, 0},
        {"[TRANS_GRASS_DIRT]\nE=  \n", "", 5 * 256 + 1 * 16 + 3, 0},
        {"[TRANS_GRASS_DIRT]\nE=0x85\n", "", 5 * 256 + 1 * 16 + 3, 0x85},
        {"[ColorTileCodeMatch]\nWATER=forty\n",
         "[ColorTileCodeMatch] WATER='forty' is not a number; the default 30 is used", 0, WATER, 30},
        {"[ColorTileCodeMatch]\nGRASS=40.0\n",
         "[ColorTileCodeMatch] GRASS='40.0' is not a number; the default 40 is used", 0, GRASS, 40},
        {"[ColorTileCodeMatch]\nWATER=31 ; my sea colour\n",
         "[ColorTileCodeMatch] WATER='31 ; my sea colour' is not a number; the default 30 is used", 0, WATER, 30},
        {"[ColorTileCodeMatch]\nGRASS=150\n",
         "[ColorTileCodeMatch] MOUNTAIN and GRASS both have the red value 150; it paints GRASS, and MOUNTAIN "
         "cannot be painted",
         0, GRASS, 150},
        {"[ColorTileCodeMatch]\nDIRT=9\nFOREST=9\n",
         "[ColorTileCodeMatch] DIRT and FOREST both have the red value 9; it paints FOREST, and DIRT cannot be "
         "painted",
         0, FOREST, 9},
        {"[ColorTileCodeMatch]\nWATER=31\n", "", 0, WATER, 31},
    };
    for (const TCase &c : cases) {
        TConfigured config(std::string("[VOID]\n1=\n") + c.Ini);
        const TTerrainImage &model = *config.Model;
        std::vector<std::string> lines;
        for (const std::string &line : model.GetConfigProblems())
            if (line.find("lists no tiles") == std::string::npos) // the empty lists of this small file
                lines.push_back(line);
        if (*c.Expected)
            EXPECT_EQ(lines, std::vector<std::string>{config.Path + ": " + c.Expected}) << c.Ini;
        else
            EXPECT_TRUE(lines.empty()) << c.Ini << lines.front();
        if (c.Code)
            EXPECT_EQ(model.GetTransitionTile(c.Code), c.Tile) << c.Ini;
        else
            EXPECT_EQ(model.CodeForColor(c.Red), c.Tile) << c.Ini;
    }
}

// Without a single tile every cell of the map would be tile 0.
TEST(TileConfig, AConfigurationWithoutAnyTileIsRefused)
{
    struct TCase
    {
        const char *Name;
        std::string Text;
        const char *Message;
    };
    const TCase cases[] = {
        {"empty", "", "the file holds no tile at all: it is empty or no tile configuration"},
        {"colours only", "[ColorTileCodeMatch]\nGRASS=40\n",
         "the file holds no tile at all: it is empty or no tile configuration"},
        {"not an INI file", "This is a letter, not a configuration.\nKind regards\n",
         "the file holds no tile at all: it is empty or no tile configuration"},
        {"only zeros", "[TRANS_DIRT_GRASS]\nN=0\n[GRASS]\n",
         "the file holds no tile at all: it is empty or no tile configuration"},
    };
    for (const TCase &c : cases) {
        TTempDir dir;
        std::string path;
        const EConvertError error = ConstructionError(c.Text, path, dir);
        EXPECT_STREQ(error.what(), c.Message) << c.Name;
        EXPECT_EQ(error.FileName, path) << c.Name;
    }
    // One tile anywhere is a configuration (its problems are listed).
    for (const char *one : {"[SWAMP]\n7=\n", "[TRANS_SNOW_SWAMP]\nNW=9\n", "[VOID]\n0=\n"}) {
        TConfigured config(one);
        EXPECT_FALSE(config.Model->GetConfigProblems().empty()) << one;
    }
}

TEST(TileConfig, NamesAreMatchedWithoutRegardToCase)
{
    TConfigured config("\xEF\xBB\xBF[grass]\r\n3=\r\n4=\r\n[Void]\r\n580=\r\n"
                       "[trans_dirt_grass]\r\nne=122\r\n[colortilecodematch]\r\ngrass=41\r\n");
    TTerrainImage &model = *config.Model;
    EXPECT_EQ(model.GetTileList(GRASS), (std::vector<uint16_t>{3, 4}));
    EXPECT_EQ(model.GetVoidTile(), 580);
    EXPECT_EQ(model.GetTransitionTile(338), 122);
    EXPECT_EQ(model.CodeForColor(41), GRASS);
}

TEST(TileConfig, KeysKeepFileOrderAndDuplicatesCountTwice)
{
    TConfigured config("[WATER]\n171=\n168=\n171=\n169=\n[VOID]\n5=\n");
    EXPECT_EQ(config.Model->GetTileList(WATER), (std::vector<uint16_t>{171, 168, 171, 169}));
}

TEST(TileConfig, EmptyListsNeverCrashAndAreReported)
{
    Random::SetFixedSeed(3);
    TConfigured config("[GRASS]\n3=\n[COASTLINE]\n");
    TTerrainImage &model = *config.Model;
    EXPECT_EQ(model.GetVoidTile(), 0); // empty VOID list
    const uint64_t before = Random::Generator().State;
    EXPECT_EQ(model.TileForCode(DIRT), 0);
    EXPECT_EQ(model.TileForCode(COASTLINE), 0);
    EXPECT_EQ(Random::Generator().State, before) << "an empty list must draw nothing";
    EXPECT_EQ(model.TileForCode(GRASS), 3);
    EXPECT_NE(Random::Generator().State, before);

    const auto &problems = model.GetConfigProblems();
    EXPECT_EQ(problems.size(), 10u); // every list but GRASS
    for (const char *name : {"DIRT", "MOUNTAIN", "DESERT", "SNOW", "FOREST", "JUNGLE", "SWAMP", "WATER",
                             "COASTLINE", "VOID"}) {
        bool named = false;
        for (const auto &line : problems)
            named = named || (line.find(std::string("[") + name + "]") != std::string::npos &&
                              line.find(config.Path) != std::string::npos);
        EXPECT_TRUE(named) << name;
    }
    Random::SetFixedSeed(std::nullopt);
}

TEST(TileConfig, AMissingFileIsRefused)
{
    TTempDir dir;
    try {
        TTerrainImage model(dir.File("nowhere.ini"));
        FAIL() << "construction went on";
    } catch (const EConvertError &error) {
        EXPECT_STREQ(error.what(), "the tile configuration file is missing");
        EXPECT_EQ(error.FileName, dir.File("nowhere.ini"));
    }
}

TEST(TileConfig, TheBundledFileIsComplete)
{
    TTerrainImage model(BundledTilesPath());
    EXPECT_TRUE(model.GetConfigProblems().empty());
    EXPECT_EQ(model.GetVoidTile(), 580);
    for (uint16_t a = 1; a <= 8; ++a)
        for (uint16_t b = 1; b <= 8; ++b)
            for (uint16_t d = 1; d <= 8; ++d)
                EXPECT_EQ(model.GetTransitionTile(a * 256 + b * 16 + d) != 0, a != b);
}

TEST(TileConfig, ModelConstructionDrawsTheVoidTileFromItsOwnStream)
{
    // With a fixed seed S, the void tile is the first draw after seed(S, 1).
    TTempDir dir;
    WriteFile(dir.File("Tiles.ini"), "[VOID]\n10=\n11=\n12=\n13=\n14=\n15=\n16=\n17=\n18=\n19=\n");
    Random::SetFixedSeed(12345);
    TPcg32 reference;
    reference.Seed(12345, 1);
    const uint32_t index = reference.Random(10);
    TTerrainImage model(dir.File("Tiles.ini"));
    EXPECT_EQ(model.GetVoidTile(), 10 + index);
    Random::SetFixedSeed(std::nullopt);
}

TEST(IniFile, FilesThatAreNoConfigurationReadAsEmptyWithTheirReason)
{
    TTempDir dir;
    struct TCase
    {
        std::string Name;
        std::string Text;
        std::string Problem; // a fragment
    };
    std::string nulInside = "[GRASS]\n3=\n";
    nulInside += '\0';
    nulInside += "4=\n";
    const TCase cases[] = {
        {"too large", "[GRASS]\n" + std::string(TIniFile::MaxFileSize, ';'), "at most 4194304"},
        {"long section", "[" + std::string(1 << 20, 'S') + "]\n1=\n2=\n", "line 1 has a section name of 1048576"},
        {"long key", "[GRASS]\n\n" + std::string(256, '1') + "=\n", "line 3 has a key name of 256"},
        {"NUL byte", nulInside, "line 3 holds a NUL byte"},
    };
    for (const auto &c : cases) {
        const std::string path = dir.File(c.Name + ".ini");
        WriteFile(path, c.Text);
        TIniFile ini(path);
        EXPECT_TRUE(ini.Exists()) << c.Name;
        EXPECT_NE(ini.GetProblem().find(c.Problem), std::string::npos) << c.Name << ": " << ini.GetProblem();
        EXPECT_TRUE(ini.ReadSection("GRASS").empty()) << c.Name;
        // What could not be read is never overwritten.
        ini.WriteString("Main", "A", "1");
        EXPECT_FALSE(ini.UpdateFile()) << c.Name;
        EXPECT_EQ(ReadFile(path), c.Text) << c.Name;
    }
    // At the limits: names of 255 characters, a file of exactly the largest size.
    const std::string name(TIniFile::MaxNameLength, 'k');
    std::string largest = "[" + name + "]\n" + name + "=5\n";
    largest += std::string(TIniFile::MaxFileSize - largest.size(), '\n');
    WriteFile(dir.File("largest.ini"), largest);
    TIniFile ini(dir.File("largest.ini"));
    EXPECT_EQ(ini.GetProblem(), "");
    EXPECT_EQ(ini.ReadInteger(name, name, 0), 5);
}

TEST(TileConfig, AConfigurationThatCannotBeReadStopsConstruction)
{
    TTempDir dir;
    std::string path;
    const EConvertError large = ConstructionError("[VOID]\n1=\n" + std::string(5 << 20, '\n'), path, dir);
    EXPECT_NE(std::string(large.what()).find("at most 4194304"), std::string::npos) << large.what();
    EXPECT_EQ(large.FileName, path);
    try {
        TTerrainImage model("/dev/zero");
        ADD_FAILURE() << "/dev/zero was read";
    } catch (const EConvertError &error) {
        EXPECT_NE(std::string(error.what()).find("device"), std::string::npos) << error.what();
        EXPECT_EQ(error.FileName, "/dev/zero");
    }
}

TEST(IniFile, WritesAndReadsBack)
{
    TTempDir dir;
    const std::string path = dir.File("settings.ini");
    {
        TIniFile ini(path);
        EXPECT_FALSE(ini.Exists());
        ini.WriteString("Main", "BMPFileName", "C:\\maps\\world map.bmp");
        ini.WriteBool("Main", "LoadBMPOnStartup", true);
        ini.WriteBool("Main", "Other", false);
        EXPECT_TRUE(ini.UpdateFile());
    }
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("LoadBMPOnStartup = 1"), std::string::npos) << text;
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("main", "bmpfilename", ""), "C:\\maps\\world map.bmp");
    EXPECT_TRUE(ini.ReadBool("Main", "LoadBMPOnStartup", false));
    EXPECT_FALSE(ini.ReadBool("Main", "Other", true));
    EXPECT_TRUE(ini.ReadBool("Main", "Missing", true));
    TIniFile unwritable(dir.File("no/such/folder/settings.ini"));
    unwritable.WriteString("Main", "A", "1");
    EXPECT_FALSE(unwritable.UpdateFile());
}

TEST(TileConfig, AKeyGivenTwiceInASectionReadByNameIsSaidAndTheFirstCounts)
{
    // Red values, heights and transitions are read by key: a second line of
    // a key does nothing, which is said. In a tile list a tile given twice
    // is drawn twice as often, as it always was: not said.
    const TConfigured config("[GRASS]\n3=\n3=\n[VOID]\n580=\n"
                             "[TRANS_DIRT_GRASS]\nN=121\nn=131\n"
                             "[ColorTileCodeMatch]\nGRASS=40\nWATER=30\nGRASS=41\n"
                             "[Heights]\nWater=-5\nWater=-20\nWater=-21\n");
    EXPECT_EQ(config.Model->CodeForColor(40), GRASS);
    EXPECT_NE(config.Model->CodeForColor(41), GRASS);
    EXPECT_EQ(config.Model->GetHeightProfile().Water, -5);
    EXPECT_EQ(config.Model->GetTransitionTile(DIRT * 256 + GRASS * 16 + 1), 121);
    EXPECT_EQ(config.Model->GetTileList(GRASS).size(), 2u);
    std::vector<std::string> given;
    for (const std::string &line : config.Model->GetConfigProblems())
        if (line.find(" is given ") != std::string::npos)
            given.push_back(line);
    EXPECT_EQ(given,
              (std::vector<std::string>{config.Path + ": [TRANS_DIRT_GRASS] n is given 2 times; the first, '121', is used",
                                        config.Path + ": [ColorTileCodeMatch] GRASS is given 2 times; the first, '40', is used",
                                        config.Path + ": [Heights] Water is given 3 times; the first, '-5', is used"}));
}
