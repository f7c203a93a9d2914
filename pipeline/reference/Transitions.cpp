// Stage 3: transition cells.
//
// Every cell of the border line (BORDER_MARK, COAST_MARK, or an older
// transition code) between two land terrains gets the code A * 256 + B * 16 + D:
// two land terrains and the direction D of the border at that cell. D comes from
// which of the orthogonal neighbours N, E, S, W are on the line themselves
// ("linked"); the two terrains come from the land neighbours in neighbour order.
// A straight vertical line between grass (west) and forest (east):
//
//     G x F      N and S linked: D = 3 (E). Land neighbours in order NE, E,
//     G x F      SE (forest: first), SW, W, NW (grass: second). A = second =
//     G x F      grass (5), B = first = forest (6): 5*256 + 6*16 + 3 = 1379.
//
// A rewritten cell needed a transition before and still does, and it is no
// land terrain before or after, so the scan order does not matter here.
// More than two land terrains around a cell give one warning per land
// neighbour that differs from both terrains found so far.
#include "ClassTerrainImage.h"
#include "Pipeline.h"
#include "StageCommon.h"

namespace {

// How a rule builds the code: the direction and whether the first terrain
// found goes into A (only the turn with N and E linked does so).
struct TTransitionRule
{
    int Direction;
    bool FirstIsHigh;
};

} // namespace

void BuildTransitions(TTerrainImage &Model)
{
    for (int y = 1; y <= Model.GetHeight(); ++y) {
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            if (!TTerrainImage::NeedsTransition(Model.GetCell(x, y).Code))
                continue;

            // Linked orthogonal neighbours: on the border line themselves.
            const bool n = TTerrainImage::NeedsTransition(Model.GetCell(x, y - 1).Code);
            const bool e = TTerrainImage::NeedsTransition(Model.GetCell(x + 1, y).Code);
            const bool s = TTerrainImage::NeedsTransition(Model.GetCell(x, y + 1).Code);
            const bool w = TTerrainImage::NeedsTransition(Model.GetCell(x - 1, y).Code);
            const bool onEdge = x == 1 || x == Model.GetWidth() || y == 1 || y == Model.GetHeight();

            // The first rule that fits decides; pairs first, in this order.
            TTransitionRule rule;
            if (n && e)
                rule = {DIR_SW, true};
            else if (n && s)
                rule = {DIR_E, false};
            else if (n && w)
                rule = {DIR_SE, false};
            else if (e && s)
                rule = {DIR_NW, false};
            else if (e && w)
                rule = {DIR_N, false};
            else if (s && w)
                rule = {DIR_NE, false};
            else if (onEdge && (n || s)) // a line running into the edge goes on straight
                rule = {DIR_E, false};
            else if (onEdge && (e || w))
                rule = {DIR_N, false};
            else
                continue; // no direction: the cell keeps its code, no warning

            // The two terrains: first is the first land terrain in neighbour
            // order, second the last one that differs from first.
            uint16_t first = 0;
            uint16_t second = 0;
            for (const TOffset &o : Neighbours) {
                const uint16_t c = Model.GetCell(x + o.Dx, y + o.Dy).Code;
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
                continue; // one land terrain only (land against water): stays a marker

            const int high = rule.FirstIsHigh ? first : second;
            const int middle = rule.FirstIsHigh ? second : first;
            Model.SetCell(x, y, high * 256 + middle * 16 + rule.Direction, KeepAltitude);
        }
    }
}
