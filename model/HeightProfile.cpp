#include "HeightProfile.h"

#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "Numbers.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int LowestAltitude = -128;
constexpr int HighestAltitude = 127;

class TReader
{
public:
    explicit TReader(const TIniFile &Ini) : Ini(Ini) {}

    void Altitude(const char *Key, int &Value, bool *Given = nullptr)
    {
        const std::optional<std::string> text = Ini.ReadString(HeightSection, Key);
        if (!text)
            return;
        Value = Number(Key, *text);
        if (Given)
            *Given = true;
    }

    // "low..high", or one number for a range of one value.
    void Range(const char *Key, TAltitudeRange &Value)
    {
        const std::optional<std::string> text = Ini.ReadString(HeightSection, Key);
        if (!text)
            return;
        const size_t dots = text->find("..");
        if (dots == std::string::npos) {
            const int n = Number(Key, *text);
            Value = {n, n};
            return;
        }
        const int low = Number(Key, text->substr(0, dots), *text);
        const int high = Number(Key, text->substr(dots + 2), *text);
        if (low > high)
            Fail(Key, *text, "has its low end above its high end");
        Value = {low, high};
    }

    void Flag(const char *Key, bool &Value)
    {
        const std::optional<std::string> text = Ini.ReadString(HeightSection, Key);
        if (!text)
            return;
        const std::optional<int32_t> n = StrToIntStrict(*text);
        if (!n || (*n != 0 && *n != 1))
            Fail(Key, *text, "is neither 0 nor 1");
        Value = *n == 1;
    }

private:
    // Text is the number; Whole the value it is part of, which a message
    // quotes as written.
    int Number(const char *Key, const std::string &Text, const std::string &Whole = {})
    {
        const std::string &quoted = Whole.empty() ? Text : Whole;
        const std::optional<int32_t> n = StrToIntStrict(Trim(Text));
        if (!n)
            Fail(Key, quoted, "is not a number or a range low..high");
        if (*n < LowestAltitude || *n > HighestAltitude)
            Fail(Key, quoted, "lies outside the altitudes -128..127");
        return *n;
    }

    static std::string Trim(const std::string &Text)
    {
        const size_t first = Text.find_first_not_of(" \t");
        const size_t last = Text.find_last_not_of(" \t");
        return first == std::string::npos ? std::string() : Text.substr(first, last - first + 1);
    }

    [[noreturn]] void Fail(const char *Key, const std::string &Text, const char *Problem)
    {
        // The file is named by whoever shows the error.
        throw EConvertError(std::string("[") + HeightSection + "] " + Key + "=" + QuoteForMessage(Text) + " " + Problem,
                            Ini.GetFileName());
    }

    const TIniFile &Ini;
};

} // namespace

THeightProfile ReadHeightProfile(const TIniFile &Ini)
{
    THeightProfile profile;
    TReader read(Ini);
    read.Altitude("Water", profile.Water, &profile.LevelWater);
    read.Range("MountainStart", profile.MountainStart);
    read.Range("OtherStart", profile.OtherStart);
    read.Altitude("Coastline", profile.Coastline, &profile.LevelCoastline);
    read.Altitude("Ring1", profile.Rings[0]);
    read.Altitude("Ring2", profile.Rings[1]);
    read.Altitude("Ring3", profile.Rings[2]);
    read.Range("MountainSeed", profile.MountainSeed);
    read.Range("OtherSeed", profile.OtherSeed);
    read.Flag("CoastTable", profile.CoastTable);
    return profile;
}

int CoastTableAltitude(unsigned WaterMask, int Water, int Keep)
{
    const auto below = [Water](int d) { return std::clamp(Water + d, LowestAltitude, HighestAltitude); };
    constexpr unsigned N = 1u << 0, NE = 1u << 1, SW = 1u << 5, W = 1u << 6, NW = 1u << 7;
    // The game's coastline tool, its water at -5: -15, -5, -9 and -3, here
    // taken relative to the water altitude.
    if ((WaterMask & (W | NW | N)) == (W | NW | N))
        return below(-10);
    if (WaterMask == NW)
        return below(0);
    if ((WaterMask & NW) != 0 || WaterMask == (SW | W) || WaterMask == (NE | N))
        return below(-4);
    if (WaterMask == SW || WaterMask == NE)
        return below(2);
    return Keep;
}
