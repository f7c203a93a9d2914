// Fast form of stage 3: transition codes for the border cells between two land
// terrains. Rewriting a cell never changes what a later cell sees (a border
// cell stays one that needs a transition, and no land terrain appears), so the
// scan is the straightforward one over the raw grid.
#include "FastGrid.h"
#include "FastStages.h"
#include "StageCommon.h"

namespace FastStages {

namespace {

// The direction and which terrain is high, by the four linked flags N, E, S, W
// (bit 0 N, 1 E, 2 S, 3 W) inside the grid; 0 for no direction. Pairs are
// tested in the order NE, NS, NW, ES, EW, SW.
struct TRule
{
    uint8_t Direction;
    bool FirstIsHigh;
};

constexpr TRule RuleFor(unsigned links)
{
    const bool n = links & 1, e = links & 2, s = links & 4, w = links & 8;
    if (n && e)
        return {DIR_SW, true};
    if (n && s)
        return {DIR_E, false};
    if (n && w)
        return {DIR_SE, false};
    if (e && s)
        return {DIR_NW, false};
    if (e && w)
        return {DIR_N, false};
    if (s && w)
        return {DIR_NE, false};
    return {0, false};
}

constexpr std::array<TRule, 16> Rules = [] {
    std::array<TRule, 16> rules{};
    for (unsigned links = 0; links < 16; ++links)
        rules[links] = RuleFor(links);
    return rules;
}();

} // namespace

void BuildTransitions(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    const ptrdiff_t stride = grid.Stride;
    ForEachMarkedCell(grid, [&](TCell *cell, int x, int y) {
        if (!TTerrainImage::NeedsTransition(cell->Code))
            return;
        const unsigned links = unsigned(TTerrainImage::NeedsTransition(cell[-stride].Code)) |
                               unsigned(TTerrainImage::NeedsTransition(cell[1].Code)) << 1 |
                               unsigned(TTerrainImage::NeedsTransition(cell[stride].Code)) << 2 |
                               unsigned(TTerrainImage::NeedsTransition(cell[-1].Code)) << 3;
        TRule rule = Rules[links];
        if (rule.Direction == 0) {
            // A line running into the grid's edge goes on straight.
            const bool onEdge = x == 1 || x == grid.Width || y == 1 || y == grid.Height;
            if (!onEdge || links == 0)
                return;
            rule = {uint8_t((links & 5) ? DIR_E : DIR_N), false};
        }

        uint16_t first = 0;
        uint16_t second = 0;
        for (const ptrdiff_t offset : grid.Offsets) {
            const uint16_t c = cell[offset].Code;
            if (!TTerrainImage::IsLandTerrain(c))
                continue;
            if (first != 0 && second != 0 && c != first && c != second)
                Model.AddError(uint16_t(x), uint16_t(y), ListedWarning, "");
            if (first == 0)
                first = c;
            else if (c != first)
                second = c;
        }
        if (first == 0 || second == 0)
            return;
        const int high = rule.FirstIsHigh ? first : second;
        const int middle = rule.FirstIsHigh ? second : first;
        cell->Code = uint16_t(high * 256 + middle * 16 + rule.Direction);
    });
}

} // namespace FastStages
