// The tile configuration (Tiles.ini): red values to terrains, tile lists per
// terrain, transition tiles per ordered pair of land terrains and direction,
// and the void tile.
#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "Numbers.h"

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
    if (!iniFile.Exists())
        ConfigProblems.push_back(tilesPath + ": the tile configuration file is missing");
    LoadTransitions(iniFile);
    for (const auto &section : TileListSections)
        LoadTileList(iniFile, section.Name, section.Code);
    if (iniFile.Exists()) // a missing file is one problem, not eleven
        CheckTileLists();
    VoidTile = RandomTile(VOID);
    LoadColors(iniFile);
}

void TTerrainImage::LoadTransitions(TIniFile &IniFile)
{
    for (uint16_t a = 1; a <= 8; ++a) {
        for (uint16_t b = 1; b <= 8; ++b) {
            if (a == b)
                continue;
            const std::string section = TransitionSection(a, b);
            for (uint16_t d = 1; d <= 8; ++d) {
                // A value that is no number is no tile (0), without a message;
                // a number outside the tile range is an error.
                const std::optional<std::string> text = IniFile.ReadString(section, DirectionKey(d));
                const int32_t tile = text ? StrToIntStrict(*text).value_or(0) : 0;
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

void TTerrainImage::CheckTileLists()
{
    for (const auto &section : TileListSections)
        if (TileLists[section.Code].empty())
            ConfigProblems.push_back(TilesPath + ": the section [" + section.Name +
                                     "] lists no tiles; its cells get the void tile");
}

void TTerrainImage::LoadColors(TIniFile &IniFile)
{
    for (const auto &key : ColorKeys) {
        int32_t red = IniFile.ReadInteger("ColorTileCodeMatch", key.Name, key.DefaultRed);
        if (red < 0 || red > 255) {
            ConfigProblems.push_back(TilesPath + ": [ColorTileCodeMatch] " + key.Name + "=" + std::to_string(red) +
                                     " is outside 0..255; the default " + std::to_string(key.DefaultRed) +
                                     " is used");
            red = key.DefaultRed;
        }
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
