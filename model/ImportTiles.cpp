#include "ImportTiles.h"

#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "Numbers.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace {

std::string Trimmed(std::string_view Text)
{
    const size_t first = Text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = Text.find_last_not_of(" \t");
    return std::string(Text.substr(first, last - first + 1));
}

std::optional<uint16_t> TileNumber(const std::string &Text)
{
    const std::optional<int32_t> value = StrToIntStrict(Text);
    if (!value || *value < 0 || *value > 65535)
        return std::nullopt;
    return uint16_t(*value);
}

uint16_t TerrainOfKey(const std::string &Key)
{
    for (uint16_t code : {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER})
        if (std::string_view(TTerrainImage::TerrainName(code)).size() == Key.size()) {
            bool same = true;
            for (size_t i = 0; i < Key.size(); ++i)
                same = same && std::toupper(static_cast<unsigned char>(Key[i])) == TTerrainImage::TerrainName(code)[i];
            if (same)
                return code;
        }
    return NO_TERRAIN;
}

} // namespace

std::vector<TImportTile> ReadImportTiles(const std::string &TilesPath)
{
    TIniFile ini(TilesPath);
    std::vector<TImportTile> tiles;
    const std::vector<std::string> keys = ini.ReadSection(ImportTilesSection);
    for (size_t k = 0; k < keys.size(); ++k) {
        const std::string &key = keys[k];
        const std::string where = "in [" + std::string(ImportTilesSection) + "] key " + key;
        const uint16_t code = TerrainOfKey(key);
        if (code == NO_TERRAIN)
            throw EConvertError(QuoteForMessage(key) + " names no terrain (DIRT, MOUNTAIN, DESERT, SNOW, GRASS, "
                                "FOREST, JUNGLE, SWAMP, WATER) " + where, TilesPath);
        // A key listed twice is read once: the values of all its lines come
        // together from the INI reader.
        bool seen = false;
        for (size_t j = 0; j < k; ++j)
            seen = seen || TerrainOfKey(keys[j]) == code;
        if (seen)
            continue;
        for (const std::string &line : ini.ReadValues(ImportTilesSection, key)) {
            size_t start = 0;
            while (start <= line.size()) {
                const size_t comma = std::min(line.find(',', start), line.size());
                const std::string item = Trimmed(std::string_view(line).substr(start, comma - start));
                start = comma + 1;
                if (item.empty())
                    continue;
                // "low-high"; a leading minus is no range but a negative number.
                const size_t dash = item.find('-', 1);
                const std::optional<uint16_t> low = TileNumber(item.substr(0, dash));
                const std::optional<uint16_t> high =
                    dash == std::string::npos ? low : TileNumber(item.substr(dash + 1));
                if (!low || !high)
                    throw EConvertError(QuoteForMessage(item) + " is not a tile number (0..65535) or a range of them " +
                                            where, TilesPath);
                if (*low > *high)
                    throw EConvertError("the range " + QuoteForMessage(item) + " ends below its start " + where,
                                        TilesPath);
                for (uint32_t t = *low; t <= *high; ++t)
                    tiles.push_back({uint16_t(t), code});
            }
        }
    }
    return tiles;
}
