// The void-tile report: which map cells get the void tile and why, counted
// from the final grid and the tile configuration. Worked example, on a grid of
// 2 x 1 cells {GRASS, code 0} with an empty GRASS list and a map of
// 6144 x 4096 = 25165824 cells: grass 1 (empty list), no terrain 1, outside
// the picture 25165824 - 2 = 25165822; total 25165824. The same grid in a map
// of 8 x 8 cells: grass 1, no terrain 1, outside the picture 64 - 2 = 62.
#include "VoidReport.h"

#include "ClassTerrainImage.h"
#include "KeptCodes.h"

#include <algorithm>
#include <array>
#include <future>
#include <stdexcept>

namespace {

// The codes that have a tile list, in the order their counts are listed.
constexpr std::array<uint16_t, 10> ListCodes = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS,
                                                FOREST, JUNGLE, SWAMP, WATER, COASTLINE};

// The other codes are named one by one up to this many, so that a grid full of
// odd codes still gives a line that can be read.
constexpr size_t OtherCodesNamed = 8;

// "TRANS_" + name of A + "_" + name of B, for a transition code.
std::string TransitionSection(uint16_t Code)
{
    return TTerrainImage::TransitionSection(uint16_t(Code >> 8), uint16_t((Code >> 4) & 15));
}

// Cells by code. One band is at most 32764 rows of 65528 cells (the largest
// map), fewer than 2^32.
using THistogram = std::vector<uint32_t>;

// Counts the codes of grid rows [First, Last] within the first Width columns,
// run by run: long runs of one terrain cost one addition each.
void CountRows(const TTerrainImage &Model, int First, int Last, int Width, THistogram &Counts)
{
    for (int y = First; y <= Last; ++y) {
        const TCell *cell = Model.CellData() + Model.Index(1, y);
        const TCell *const end = cell + Width;
        while (cell < end) {
            const uint16_t code = cell->Code;
            const TCell *run = cell + 1;
            while (run < end && run->Code == code)
                ++run;
            Counts[code] += uint32_t(run - cell);
            cell = run;
        }
    }
}

// The codes of the part of the grid that lies inside the map, counted on two
// threads: the upper and the lower half of the rows, whatever the machine, so
// that the sums are the same everywhere.
std::vector<uint64_t> CountCodes(const TTerrainImage &Model, const TMapSize &Size)
{
    const int width = std::min(Model.GetWidth(), Size.Width);
    const int height = std::min(Model.GetHeight(), Size.Height);
    std::vector<uint64_t> total(65536, 0);
    if (width == 0 || height == 0)
        return total;
    const int middle = height / 2;
    THistogram upper(65536, 0), lower(65536, 0);
    auto second = std::async(std::launch::async, [&] { CountRows(Model, middle + 1, height, width, lower); });
    CountRows(Model, 1, middle, width, upper);
    second.get();
    for (size_t code = 0; code < total.size(); ++code)
        total[code] = uint64_t(upper[code]) + lower[code];
    return total;
}

std::string CellsText(uint64_t Cells)
{
    return std::to_string(Cells) + (Cells == 1 ? " cell" : " cells");
}

} // namespace

bool IsTransitionCode(uint16_t Code)
{
    const int a = Code >> 8, b = (Code >> 4) & 15, d = Code & 15;
    return a >= DIRT && a <= SWAMP && b >= DIRT && b <= SWAMP && a != b && d >= 1 && d <= 8;
}

bool TVoidCodes::IsVoid(const TTerrainImage &Model, uint16_t Code)
{
    // TileForCode draws from the list of a code with a list, and an empty list
    // gives the void tile; every other code takes FixedTile, which is the
    // transition tile or, where none is configured (0), the void tile.
    if (Code == KeptUnknownTile)
        return false;
    if (TTerrainImage::HasTileList(Code))
        return Model.GetTileList(uint8_t(Code)).empty();
    return Model.GetTransitionTile(Code) == 0;
}

TVoidCodes::TVoidCodes(const TTerrainImage &Model) : Void(65536, 0)
{
    for (uint32_t code = 0; code < Void.size(); ++code)
        Void[code] = IsVoid(Model, uint16_t(code)) ? 1 : 0;
}

std::string CodeName(uint16_t Code)
{
    switch (Code) {
    case NO_TERRAIN: return "no terrain";
    case COAST_MARK: return "COAST_MARK";
    case COAST_WATER_MARK: return "COAST_WATER_MARK";
    case BORDER_MARK: return "BORDER_MARK";
    default: break;
    }
    if (IsTransitionCode(Code))
        return TransitionSection(Code) + " " + TTerrainImage::DirectionKey(Code & 15);
    const std::string name = TTerrainImage::TerrainName(Code);
    return name.empty() ? "code " + std::to_string(Code) : name;
}

TVoidReport MakeVoidReport(const TTerrainImage &Model, const TMapSize &Size)
{
    if (!IsValidMapSize(Size))
        throw std::invalid_argument("the void-tile report needs a map size of whole blocks, not " +
                                    FormatMapSize(Size));
    const TVoidCodes voidCodes(Model);
    const std::vector<uint64_t> counts = CountCodes(Model, Size);
    TVoidReport report;

    const uint64_t inside = uint64_t(std::min(Model.GetWidth(), Size.Width)) *
                            uint64_t(std::min(Model.GetHeight(), Size.Height));
    // Map cells beyond the grid read as code 0, which never has a tile.
    if (voidCodes.IsVoid(NO_TERRAIN))
        report.OutsidePicture = Size.Cells() - inside;

    for (const uint16_t code : ListCodes)
        if (voidCodes.IsVoid(code))
            report.EmptyLists.push_back({code, TTerrainImage::TerrainName(code), counts[code]});

    for (uint32_t c = 0; c < counts.size(); ++c) {
        const auto code = uint16_t(c);
        const uint64_t cells = counts[c];
        if (cells == 0 || !voidCodes.IsVoid(code) || TTerrainImage::HasTileList(code))
            continue; // empty lists are counted above
        if (code == NO_TERRAIN) {
            report.NoTerrain = cells;
        } else if (code == BORDER_MARK) {
            report.BorderMarks = cells;
        } else if (IsTransitionCode(code)) {
            report.MissingTransitions.push_back({code, TransitionSection(code), TTerrainImage::DirectionKey(code & 15), cells});
            report.TransitionCells += cells;
        } else {
            report.Others.push_back({code, cells});
            report.OtherCells += cells;
        }
    }
    std::stable_sort(report.MissingTransitions.begin(), report.MissingTransitions.end(),
                     [](const auto &a, const auto &b) { return a.Cells > b.Cells; });

    report.Total = report.NoTerrain + report.BorderMarks + report.TransitionCells + report.OtherCells +
                   report.OutsidePicture;
    for (const auto &list : report.EmptyLists)
        report.Total += list.Cells;
    return report;
}

std::vector<std::string> FormatVoidReport(const TVoidReport &Report)
{
    std::vector<std::string> lines;
    lines.push_back("Void tiles: " + CellsText(Report.Total));
    lines.push_back("  pixels of no terrain: " + CellsText(Report.NoTerrain));
    lines.push_back("  border cells left without a transition: " + CellsText(Report.BorderMarks));
    lines.push_back("  transitions without a tile: " + CellsText(Report.TransitionCells));
    for (const auto &gap : Report.MissingTransitions)
        lines.push_back("    " + gap.Section + " " + gap.Key + ": " + CellsText(gap.Cells));
    if (!Report.EmptyLists.empty()) {
        lines.push_back("  empty tile lists:");
        for (const auto &list : Report.EmptyLists)
            lines.push_back("    " + list.Name + ": " + CellsText(list.Cells));
    }
    std::string other = "  other codes: " + CellsText(Report.OtherCells);
    const size_t named = std::min(Report.Others.size(), OtherCodesNamed);
    for (size_t i = 0; i < named; ++i)
        other += (i == 0 ? " (code " : ", code ") + std::to_string(Report.Others[i].Code) + ": " +
                 CellsText(Report.Others[i].Cells);
    if (Report.Others.size() > named)
        other += " and " + std::to_string(Report.Others.size() - named) + " more codes";
    if (named > 0)
        other += ")";
    lines.push_back(other);
    lines.push_back("  outside the picture: " + CellsText(Report.OutsidePicture));
    return lines;
}
