#include "MapFormat.h"

#include "Platform.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>

namespace {

std::optional<int> ParseSide(const std::string &Text)
{
    if (Text.empty() || Text.size() > 6 || !std::all_of(Text.begin(), Text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    int value = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), value);
    return value;
}

std::string Lower(std::string Text)
{
    for (char &c : Text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

} // namespace

size_t TMapSize::ColumnBytes() const
{
    return size_t(BlockRows()) * MapFile::BlockBytes;
}

uint64_t TMapSize::BlockBytes() const
{
    return Blocks() * MapFile::BlockBytes;
}

bool IsValidMapSize(const TMapSize &Size)
{
    const auto side = [](int Value) { return Value >= 8 && Value <= MapSizes::MaxSide && Value % 8 == 0; };
    return side(Size.Width) && side(Size.Height);
}

std::optional<TMapSize> ParseMapSize(const std::string &Text)
{
    const size_t x = Text.find_first_of("xX");
    if (x == std::string::npos)
        return std::nullopt;
    const std::optional<int> width = ParseSide(Text.substr(0, x));
    const std::optional<int> height = ParseSide(Text.substr(x + 1));
    if (!width || !height)
        return std::nullopt;
    const TMapSize size{*width, *height};
    if (!IsValidMapSize(size))
        return std::nullopt;
    return size;
}

std::string FormatMapSize(const TMapSize &Size)
{
    return std::to_string(Size.Width) + " x " + std::to_string(Size.Height);
}

std::optional<TMapSize> FacetSize(int Facet)
{
    static constexpr TMapSize Facets[FacetCount] = {
        {7168, 4096}, // map0, Felucca
        {7168, 4096}, // map1, Trammel
        {2304, 1600}, // map2, Ilshenar
        {2560, 2048}, // map3, Malas
        {1448, 1448}, // map4, Tokuno
        {1280, 4096}, // map5, Ter Mur
    };
    if (Facet < 0 || Facet >= FacetCount)
        return std::nullopt;
    return Facets[Facet];
}

std::vector<int> FacetsOfSize(const TMapSize &Size)
{
    std::vector<int> facets;
    for (int facet = 0; facet < FacetCount; ++facet)
        if (FacetSize(facet) == Size)
            facets.push_back(facet);
    return facets;
}

TMapFormat FormatForName(const std::string &FileName)
{
    const std::string name = Lower(FileName);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".uop") == 0 ? TMapFormat::Uop : TMapFormat::Mul;
}

const char *FormatName(TMapFormat Format)
{
    return Format == TMapFormat::Uop ? "UOP" : "MUL";
}

std::optional<int> MapNumberOfName(const std::string &FileName)
{
    const std::string name = Lower(Platform::Utf8FromPath(Platform::PathFromUtf8(FileName).filename()));
    if (name.size() < 4 || name.compare(0, 3, "map") != 0 || !std::isdigit(static_cast<unsigned char>(name[3])))
        return std::nullopt;
    // Every digit counts: map0123 is map 123, not map 12 with a 3 after it.
    int64_t number = 0;
    for (size_t i = 3; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
        number = std::min<int64_t>(number * 10 + (name[i] - '0'), std::numeric_limits<int>::max());
    return int(number);
}

std::string MapNumberProblem(const std::string &FileName)
{
    const std::optional<int> number = MapNumberOfName(FileName);
    if (!number || *number <= MaxMapNumber)
        return {};
    const std::string name = Platform::Utf8FromPath(Platform::PathFromUtf8(FileName).filename());
    const std::string shown = *number == std::numeric_limits<int>::max() ? "a number too large"
                                                                          : "map " + std::to_string(*number);
    return "The map file " + name + " names " + shown + "; map numbers go from 0 to " + std::to_string(MaxMapNumber) +
           ".";
}

TMapOutput TMapOutput::ForFile(const std::string &FileName, const TMapSize &Size, TStaticsChoice Statics)
{
    TMapOutput output;
    output.FileName = FileName;
    output.Size = Size;
    output.Format = FormatForName(FileName);
    output.Statics = Statics;
    output.MapNumber = MapNumberOfName(FileName).value_or(0);
    return output;
}

std::string Beside(const std::string &FileName, const std::string &Name)
{
    // The folder part exactly as given, its separators kept: the names of a
    // run's files then differ only in their last part on every system.
    const size_t own = Platform::Utf8FromPath(Platform::PathFromUtf8(FileName).filename()).size();
    return FileName.substr(0, FileName.size() - own) + Name;
}

// The statics lie beside the map file itself: where its name is a link,
// beside the file the link leads to, which a save replaces.
std::string StaticsIndexPath(const TMapOutput &Output)
{
    return Beside(Platform::LinkFollowed(Output.FileName), "staidx" + std::to_string(Output.MapNumber) + ".mul");
}

std::string StaticsDataPath(const TMapOutput &Output)
{
    return Beside(Platform::LinkFollowed(Output.FileName), "statics" + std::to_string(Output.MapNumber) + ".mul");
}

std::vector<std::string> MapOutputPaths(const TMapOutput &Output)
{
    std::vector<std::string> paths{Output.FileName};
    if (Output.Statics != TStaticsChoice::None) {
        paths.push_back(StaticsIndexPath(Output));
        paths.push_back(StaticsDataPath(Output));
    }
    if (!Output.HeightsPicture.empty())
        paths.push_back(Output.HeightsPicture);
    return paths;
}
