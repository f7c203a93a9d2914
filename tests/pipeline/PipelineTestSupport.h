#pragma once

#include "ClassTerrainImage.h"
#include "Pipeline.h"

#include <string>
#include <vector>

// Small helpers of the pipeline suites: whole grids of codes, altitudes and
// flags written and read as tables.
namespace PipelineTest {

using TTable = std::vector<std::vector<int>>;

// The codes of the grid as numbers, one vector per row.
TTable GridCodes(const TTerrainImage &model);
// The flags of the grid, one vector per row.
TTable GridFlags(const TTerrainImage &model);

// Sets every altitude (the table must have the grid's shape).
void SetAltitudes(TTerrainImage &model, const TTable &altitudes);
// Sets every flag from letters: '.' FLAG_NONE, 'F' FLAG_FIXED, 'R' FLAG_RING, 'S' FLAG_SEED.
void SetFlags(TTerrainImage &model, const std::vector<std::string> &letters);
// The flags as those letters.
std::vector<std::string> FlagLetters(const TTerrainImage &model);

// A height profile other than the default, in the game's manner: water and
// coast levelled with the coast table, low rings and seeds, lower mountains.
THeightProfile GameLikeProfile();

// A transition code from its parts.
constexpr int Transition(int high, int middle, int direction) { return high * 256 + middle * 16 + direction; }

} // namespace PipelineTest
