// The altitude range of each terrain in one pass over the grid. Each code maps
// to a group (0 for codes that are in no group), and each cell updates its
// group's lowest, highest and count. Worked example, a row of four cells
// {GRASS 3, GRASS -1, WATER -5, TRANS_DIRT_GRASS N 2}: GRASS -1 to 3, 2 cells;
// WATER -5 to -5, 1 cell; transition 2 to 2, 1 cell.
#include "AltitudeRanges.h"

#include "VoidReport.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// Group numbers: the terrain codes are their own groups (1..COASTLINE), the
// transitions one more; 0 takes the cells of no group.
constexpr uint8_t TransitionGroup = COASTLINE + 1;
constexpr size_t GroupCount = TransitionGroup + 1;

struct TGroupTotals
{
    uint64_t Cells = 0;
    int Lowest = std::numeric_limits<int>::max();
    int Highest = std::numeric_limits<int>::min();
};

std::string CellsText(uint64_t Cells)
{
    return std::to_string(Cells) + (Cells == 1 ? " cell" : " cells");
}

} // namespace

TAltitudeRanges MakeAltitudeRanges(const TTerrainImage &Model, const TMapSize &Size)
{
    if (!IsValidMapSize(Size))
        throw std::invalid_argument("the altitude ranges need a map size of whole blocks, not " + FormatMapSize(Size));
    std::vector<uint8_t> groupOf(65536, 0);
    for (const uint16_t code : AltitudeRangeCodes)
        groupOf[code] = uint8_t(code);
    for (uint32_t code = 256; code < groupOf.size(); ++code)
        if (IsTransitionCode(uint16_t(code)))
            groupOf[code] = TransitionGroup;

    std::array<TGroupTotals, GroupCount> totals{};
    const int width = std::min(Model.GetWidth(), Size.Width);
    const int height = std::min(Model.GetHeight(), Size.Height);
    for (int y = 1; y <= height; ++y) {
        // Run by run: a stretch of one code updates its group once.
        const TCell *cell = Model.CellData() + Model.Index(1, y);
        const TCell *const end = cell + width;
        while (cell < end) {
            const uint16_t code = cell->Code;
            int lowest = cell->Altitude, highest = cell->Altitude;
            const TCell *run = cell + 1;
            for (; run < end && run->Code == code; ++run) {
                lowest = std::min(lowest, int(run->Altitude));
                highest = std::max(highest, int(run->Altitude));
            }
            TGroupTotals &group = totals[groupOf[code]];
            group.Cells += uint64_t(run - cell);
            group.Lowest = std::min(group.Lowest, lowest);
            group.Highest = std::max(group.Highest, highest);
            cell = run;
        }
    }

    const auto range = [](const TGroupTotals &Group) {
        return Group.Cells == 0 ? TTerrainAltitudes{} : TTerrainAltitudes{Group.Cells, Group.Lowest, Group.Highest};
    };
    TAltitudeRanges ranges;
    for (const uint16_t code : AltitudeRangeCodes)
        ranges.Terrains[code] = range(totals[code]);
    ranges.Transitions = range(totals[TransitionGroup]);
    return ranges;
}

std::string FormatTerrainAltitudes(const TTerrainAltitudes &Range)
{
    if (Range.Cells == 0)
        return "no cells";
    return std::to_string(Range.Lowest) + " to " + std::to_string(Range.Highest) + ", " + CellsText(Range.Cells);
}

std::vector<std::string> FormatAltitudeRanges(const TAltitudeRanges &Ranges)
{
    std::vector<std::string> lines{"Altitudes per terrain (lowest to highest):"};
    for (const uint16_t code : AltitudeRangeCodes)
        if (Ranges.Of(code).Cells > 0)
            lines.push_back(std::string("  ") + TTerrainImage::TerrainName(code) + ": " +
                            FormatTerrainAltitudes(Ranges.Of(code)));
    if (Ranges.Transitions.Cells > 0)
        lines.push_back("  transition: " + FormatTerrainAltitudes(Ranges.Transitions));
    if (lines.size() == 1)
        lines.push_back("  no terrain in the map");
    return lines;
}
