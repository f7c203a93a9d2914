#pragma once

#include <functional>

class TTerrainImage;
class TProgressBar;
class TStatusBar;

// The generation pipeline over the one model: the driver and the nine stages
// in their straightforward form, each stage a scan through the model's
// bounds-tested accessors. Generate runs the fast forms (Stages.h), which give
// exactly the same grid; these stay as the reference the tests compare with.

// Runs the nine stages in order, showing each stage's text on the status bar
// and stepping the progress bar (0 to 9) after each. StopRequested, when
// given, is asked after each stage but the last: true leaves the other stages
// out, and Generate returns false (the grid is then only partly generated).
// BeforeStage, when given, is called with each stage's index (0 to 8) just
// before it runs: a run that remakes only part of a map fixes what it keeps
// there, and may run the stage itself, on that part; it then returns true
// and the stage is not run over the whole grid.
bool Generate(TTerrainImage &Model, TProgressBar &ProgressBar, TStatusBar &StatusBar,
              const std::function<bool()> &StopRequested = {},
              const std::function<bool(size_t Stage)> &BeforeStage = {});

// Stages 1 and 2 (reference/Borders.cpp): the border line between terrains.
void MarkBorders(TTerrainImage &Model);
void ResolveSingleBorders(TTerrainImage &Model);
// Stage 3 (reference/Transitions.cpp): border cells to transition codes.
void BuildTransitions(TTerrainImage &Model);
// Stages 4 and 5 (reference/Coastline.cpp): the border next to water to coastline.
void MarkCoastline(TTerrainImage &Model);
void FinishTiles(TTerrainImage &Model);
// Stages 6 to 9 (reference/Heights.cpp): the altitudes.
void CoastHeights(TTerrainImage &Model);
void RandomHeights(TTerrainImage &Model);
void SmoothTerrain(TTerrainImage &Model);
void SmoothMountains(TTerrainImage &Model);
