// The tile configuration (Tiles.ini): red values to terrains, tile lists per
// terrain, transition tiles per ordered pair of land terrains and direction,
// and the void tile.
#include "ClassTerrainImage.h"
#include "HeightProfile.h"
#include "IniFile.h"
#include "Numbers.h"

#include <algorithm>

namespace {

struct TTileListSection
{
    const char *Name;
    uint16_t Code;
};
// The order in which the lists are read.
const TTileListSection TileListSections[] = {
    {"DIRT", DIRT},     {"WATER", WATER},   {"MOUNTAIN", MOUNTAIN}, {"DESERT", DESERT},
    {"SNOW", SNOW},     {"GRASS", GRASS},   {"FOREST", FOREST},     {"JUNGLE", JUNGLE},
    {"SWAMP", SWAMP},   {"COASTLINE", COASTLINE}, {"VOID", VOID},
};

struct TColorKey
{
    const char *Name;
    uint16_t Code;
    int32_t DefaultRed;
};
// The order of assignment: when two terrains name one red value, the later wins.
const TColorKey ColorKeys[] = {
    {"DIRT", DIRT, 100},    {"WATER", WATER, 30},   {"MOUNTAIN", MOUNTAIN, 150},
    {"DESERT", DESERT, 230}, {"SNOW", SNOW, 250},   {"GRASS", GRASS, 40},
    {"FOREST", FOREST, 9},  {"JUNGLE", JUNGLE, 145}, {"SWAMP", SWAMP, 191},
};

// Tile numbers are 16-bit; a larger or negative number is no tile, and
// storing its low 16 bits would put some unrelated tile into the map.
constexpr int32_t MaxTile = 65535;

const char *const ColorSection = "ColorTileCodeMatch";

bool IsBlank(const std::string &Text)
{
    return Text.find_first_not_of(" \t") == std::string::npos;
}

std::string NotATile(const std::string &text, const std::string &where)
{
    return QuoteForMessage(text) + " is not a valid tile number (0.." + std::to_string(MaxTile) + ") " + where;
}

} // namespace

void TTerrainImage::Create(const std::string &tilesPath)
{
    Random::Reseed(TSeedSite::ModelConstruction);
    ErrorCount = 0;
    TilesPath = tilesPath;
    TIniFile iniFile(tilesPath); // released on every path, a failure included
    if (!iniFile.GetProblem().empty())
        throw EConvertError(iniFile.GetProblem(), tilesPath);
    LoadTransitions(iniFile);
    for (const auto &section : TileListSections)
        LoadTileList(iniFile, section.Name, section.Code);
    // Without a single tile every cell of the map would be tile 0: that is a
    // missing or wrong file, not a configuration.
    if (!HasAnyTile())
        throw EConvertError(iniFile.Exists() ? "the file holds no tile at all: it is empty or no tile configuration"
                                             : "the tile configuration file is missing",
                            tilesPath);
    CheckTileLists();
    VoidTile = RandomTile(VOID);
    LoadColors(iniFile);
    CheckKeysGivenOnce(iniFile, ColorSection);
    Heights = ReadHeightProfile(iniFile);
    CheckKeysGivenOnce(iniFile, HeightSection);
}

void TTerrainImage::CheckKeysGivenOnce(const TIniFile &IniFile, const std::string &Section)
{
    // A key of a section read by its name counts once: the first line. (In a
    // tile list a tile written twice is drawn twice as often.)
    std::vector<std::string> seen;
    for (const std::string &key : IniFile.ReadSection(Section)) {
        const std::string lower = Lower(key);
        const auto count = std::count(seen.begin(), seen.end(), lower);
        seen.push_back(lower);
        if (count != 1)
            continue;
        const std::vector<std::string> values = IniFile.ReadValues(Section, key);
        ConfigProblems.push_back(TilesPath + ": [" + Section + "] " + key + " is given " +
                                 std::to_string(values.size()) + " times; the first, " + QuoteForMessage(values.front()) +
                                 ", is used");
    }
}

void TTerrainImage::LoadTransitions(TIniFile &IniFile)
{
    for (uint16_t a = 1; a <= 8; ++a) {
        for (uint16_t b = 1; b <= 8; ++b) {
            if (a == b)
                continue;
            const std::string section = TransitionSection(a, b);
            CheckKeysGivenOnce(IniFile, section);
            for (uint16_t d = 1; d <= 8; ++d) {
                // An empty value is no tile (0). A value that is no number is
                // no tile either, as before, but it is said: it is most likely a
                // typing error. A number outside the tile range is an error.
                const std::optional<std::string> text = IniFile.ReadString(section, DirectionKey(d));
                const std::optional<int32_t> number = text ? StrToIntStrict(*text) : std::optional<int32_t>(0);
                if (!number && !IsBlank(*text))
                    ConfigProblems.push_back(TilesPath + ": [" + section + "] " + DirectionKey(d) + "=" +
                                             QuoteForMessage(*text) + " is not a tile number; no tile is used");
                const int32_t tile = number.value_or(0);
                if (tile < 0 || tile > MaxTile)
                    throw EConvertError(NotATile(*text, std::string("for the key ") + DirectionKey(d) +
                                                            " in section [" + section + "]"),
                                        IniFile.GetFileName());
                Transitions[a * 256 + b * 16 + d] = uint16_t(tile);
            }
        }
    }
}

void TTerrainImage::LoadTileList(TIniFile &IniFile, const std::string &Section, uint16_t Code)
{
    const std::vector<std::string> keys = IniFile.ReadSection(Section);
    std::vector<uint16_t> &list = TileLists[Code];
    list.assign(keys.size(), 0);
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto value = StrToIntStrict(keys[i]);
        if (!value)
            throw EConvertError(QuoteForMessage(keys[i]) + " is not a valid integer value", IniFile.GetFileName());
        if (*value < 0 || *value > MaxTile)
            throw EConvertError(NotATile(keys[i], "in section [" + Section + "]"), IniFile.GetFileName());
        list[i] = uint16_t(*value);
    }
}

bool TTerrainImage::HasAnyTile() const
{
    for (const auto &section : TileListSections)
        if (!TileLists[section.Code].empty())
            return true;
    for (uint16_t tile : Transitions)
        if (tile != 0)
            return true;
    return false;
}

void TTerrainImage::CheckTileLists()
{
    for (const auto &section : TileListSections)
        if (TileLists[section.Code].empty())
            ConfigProblems.push_back(TilesPath + ": the section [" + section.Name +
                                     "] lists no tiles; its cells get the void tile");
}

void TTerrainImage::LoadColors(TIniFile &IniFile)
{
    const std::string where = TilesPath + ": [" + ColorSection + "] ";
    std::array<const char *, 256> named{}; // the terrain that has each red so far
    for (const auto &key : ColorKeys) {
        // A value that is no number gives the default, as it always did, but
        // "40.0" or "30 ; sea" is surely meant as a red value: it is said.
        const std::optional<std::string> text = IniFile.ReadString(ColorSection, key.Name);
        const std::optional<int32_t> number = text ? StrToIntStrict(*text) : std::optional<int32_t>(key.DefaultRed);
        if (!number)
            ConfigProblems.push_back(where + key.Name + "=" + QuoteForMessage(*text) +
                                     " is not a number; the default " + std::to_string(key.DefaultRed) + " is used");
        int32_t red = number.value_or(key.DefaultRed);
        if (red < 0 || red > 255) {
            ConfigProblems.push_back(where + key.Name + "=" + std::to_string(red) +
                                     " is outside 0..255; the default " + std::to_string(key.DefaultRed) +
                                     " is used");
            red = key.DefaultRed;
        }
        if (named[size_t(red)])
            ConfigProblems.push_back(where + named[size_t(red)] + " and " + key.Name + " both have the red value " +
                                     std::to_string(red) + "; it paints " + key.Name + ", and " +
                                     named[size_t(red)] + " cannot be painted");
        named[size_t(red)] = key.Name;
        ColorToCode[size_t(red)] = key.Code;
    }
}

uint16_t TTerrainImage::TileForCode(uint16_t Code)
{
    return HasTileList(Code) ? RandomTile(uint8_t(Code)) : FixedTile(Code);
}

uint16_t TTerrainImage::RandomTile(uint8_t Code)
{
    const std::vector<uint16_t> &list = TileLists[Code];
    // An empty list draws nothing; during construction VoidTile is still 0.
    if (list.empty())
        return VoidTile;
    return list[Random::Draw(uint32_t(list.size()))];
}
