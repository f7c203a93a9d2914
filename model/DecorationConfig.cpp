// The decoration sections of the tile configuration (see DecorationConfig.h).
#include "DecorationConfig.h"

#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "Numbers.h"

#include <algorithm>
#include <set>

namespace {

constexpr int32_t MaxId = 65535;

std::string_view Trim(std::string_view Text)
{
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
        Text.remove_suffix(1);
    return Text;
}

// Reads one section; every failure names the file, the section and the key.
class TSectionReader
{
public:
    TSectionReader(const TIniFile &Ini_, std::string Section_) : Ini(Ini_), Section(std::move(Section_)) {}

    [[noreturn]] void Fail(const std::string &Key, const std::string &Problem) const
    {
        throw EConvertError("[" + Section + "] " + Key + ": " + Problem, Ini.GetFileName());
    }

    TTerrainDecoration Read() const
    {
        TTerrainDecoration result;
        std::set<std::string> seen;
        bool hasDensity = false;
        for (const std::string &key : Ini.ReadSection(Section)) {
            if (!seen.insert(Lower(key)).second)
                Fail(key, "the key is given twice");
            const std::string value = Ini.ReadString(Section, key, "");
            const std::string name = Lower(key);
            if (name == "density") {
                result.Density = ReadDensity(key, value);
                hasDensity = true;
            } else if (name == "spacing") {
                result.Spacing = ReadSpacing(key, value);
            } else {
                result.Groups.push_back(ReadGroup(key, value));
                const uint64_t total = uint64_t(result.TotalWeight) + result.Groups.back().Weight;
                if (total > UINT32_MAX)
                    Fail(key, "the weights of the section add up to more than " + std::to_string(UINT32_MAX));
                result.TotalWeight = uint32_t(total);
            }
        }
        if (!result.Groups.empty() && !hasDensity)
            Fail("Density", "the section lists groups but no Density");
        if (result.Density > 0 && result.Groups.empty())
            Fail("Density", "a density is given but no group of statics");
        return result;
    }

private:
    // Percent with at most two decimals, 0 to 100, an optional '%' after it.
    uint32_t ReadDensity(const std::string &Key, const std::string &Value) const
    {
        std::string_view text = Trim(Value);
        if (text.ends_with('%'))
            text = Trim(text.substr(0, text.size() - 1));
        const size_t dot = text.find('.');
        const std::string_view whole = text.substr(0, dot);
        const std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
        const auto digits = [](std::string_view s) {
            return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (whole.empty() || whole.size() > 3 || !digits(whole) || fraction.size() > 2 || !digits(fraction) ||
            (dot != std::string_view::npos && fraction.empty()))
            Fail(Key, QuoteForMessage(Value) + " is not a percentage (0 to 100, at most two decimals)");
        uint32_t value = uint32_t(std::stoi(std::string(whole))) * 100;
        if (!fraction.empty())
            value += uint32_t(std::stoi(std::string(fraction))) * (fraction.size() == 1 ? 10 : 1);
        if (value > TDecorationConfig::DensityScale)
            Fail(Key, QuoteForMessage(Value) + " is more than 100 percent");
        return value;
    }

    uint32_t ReadSpacing(const std::string &Key, const std::string &Value) const
    {
        const std::optional<int32_t> value = StrToIntStrict(Trim(Value));
        if (!value || *value < 1 || uint32_t(*value) > TDecorationConfig::MaxSpacing)
            Fail(Key, QuoteForMessage(Value) + " is not a spacing (1 to " +
                          std::to_string(TDecorationConfig::MaxSpacing) + " cells)");
        return uint32_t(*value);
    }

    uint16_t ReadId(const std::string &Key, std::string_view Text) const
    {
        const std::optional<int32_t> value = StrToIntStrict(Text);
        if (!value || *value < 0 || *value > MaxId)
            Fail(Key, QuoteForMessage(Text) + " is not a static's id (0.." + std::to_string(MaxId) + ")");
        return uint16_t(*value);
    }

    // "0xCDB,0xCDC" or "0xCF3..0xCF7 0xE56": the ids that one part may be.
    TDecorationPart ReadPart(const std::string &Key, std::string_view Text) const
    {
        TDecorationPart part;
        size_t i = 0;
        while (i < Text.size()) {
            if (Text[i] == ' ' || Text[i] == '\t' || Text[i] == ',') {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < Text.size() && Text[end] != ' ' && Text[end] != '\t' && Text[end] != ',')
                ++end;
            const std::string_view choice = Text.substr(i, end - i);
            i = end;
            const size_t dots = choice.find("..");
            TIdRange range;
            if (dots == std::string_view::npos) {
                range.First = range.Last = ReadId(Key, choice);
            } else {
                range.First = ReadId(Key, choice.substr(0, dots));
                range.Last = ReadId(Key, choice.substr(dots + 2));
                if (range.First > range.Last)
                    Fail(Key, "the range " + QuoteForMessage(choice) + " ends before it starts");
            }
            part.Ranges.push_back(range);
            part.Count += uint32_t(range.Last - range.First) + 1;
        }
        if (part.Ranges.empty())
            Fail(Key, "a part of the group names no id");
        return part;
    }

    // "8: 0xCDA + 0xCDB,0xCDC": a weight and the parts of the group.
    TDecorationGroup ReadGroup(const std::string &Key, const std::string &Value) const
    {
        TDecorationGroup group;
        group.Name = Key;
        const size_t colon = Value.find(':');
        if (colon == std::string::npos)
            Fail(Key, QuoteForMessage(Value) + " is not a group (weight: id + id ...)");
        const std::optional<int32_t> weight = StrToIntStrict(Trim(std::string_view(Value).substr(0, colon)));
        if (!weight || *weight < 1 || uint32_t(*weight) > TDecorationConfig::MaxWeight)
            Fail(Key, "the weight " + QuoteForMessage(Trim(std::string_view(Value).substr(0, colon))) +
                          " is not a number from 1 to " + std::to_string(TDecorationConfig::MaxWeight));
        group.Weight = uint32_t(*weight);
        const std::string_view parts = std::string_view(Value).substr(colon + 1);
        size_t start = 0;
        while (true) {
            const size_t plus = parts.find('+', start);
            group.Parts.push_back(ReadPart(Key, parts.substr(start, plus == std::string_view::npos ? plus : plus - start)));
            if (group.Parts.size() > TDecorationConfig::MaxParts)
                Fail(Key, "a group may have at most " + std::to_string(TDecorationConfig::MaxParts) + " parts");
            if (plus == std::string_view::npos)
                break;
            start = plus + 1;
        }
        return group;
    }

    const TIniFile &Ini;
    std::string Section;
};

} // namespace

uint16_t TDecorationPart::Id(uint32_t Index) const
{
    for (const TIdRange &range : Ranges) {
        const uint32_t size = uint32_t(range.Last - range.First) + 1;
        if (Index < size)
            return uint16_t(range.First + Index);
        Index -= size;
    }
    return Ranges.back().Last; // Index was Count or more; callers draw below Count
}

bool TDecorationConfig::HasDecoration() const
{
    return std::any_of(Terrains.begin(), Terrains.end(), [](const TTerrainDecoration &t) { return t.Places(); });
}

std::string DecorationSection(uint16_t Code)
{
    return std::string("DECORATION_") + TTerrainImage::TerrainName(Code);
}

TDecorationConfig ReadDecorationConfig(const TIniFile &Ini)
{
    TDecorationConfig config;
    for (uint16_t code = DIRT; code <= SWAMP; ++code)
        config.Terrains[code] = TSectionReader(Ini, DecorationSection(code)).Read();
    return config;
}

TDecorationConfig ReadDecorationConfig(const std::string &TilesPath)
{
    const TIniFile ini(TilesPath);
    if (!ini.GetProblem().empty())
        throw EConvertError(ini.GetProblem(), TilesPath);
    return ReadDecorationConfig(ini);
}
