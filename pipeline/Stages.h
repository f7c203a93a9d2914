#pragma once

#include <array>

class TTerrainImage;

// The nine stages of the pipeline, in the order Generate runs them: the
// stage's name, the text the status bar shows while it runs, the
// straightforward form (the reference, through the bounds-tested accessors)
// and the fast form that Generate runs, which gives exactly the same grid,
// flags, warnings and random draws. Generate, the benchmark and the tests all
// take the stages from here.
namespace Pipeline {

struct TStage
{
    const char *Name;
    const char *StatusText;
    void (*Straightforward)(TTerrainImage &);
    void (*Fast)(TTerrainImage &);
};

extern const std::array<TStage, 9> Stages;

} // namespace Pipeline
