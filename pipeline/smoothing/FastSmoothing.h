#pragma once

class TTerrainImage;

// The fast smoothing stages with their choices open, for tests and
// measurements: FastStages::SmoothTerrain and SmoothMountains run them with
// the defaults (one thread per core, AVX2 where the processor has it and the
// environment variable MORVANE_NO_AVX2 does not switch it off).
namespace FastSmoothing {

struct TOptions
{
    int Threads = 0;     // 0: one per core
    bool UseAvx2 = true; // false: the portable kernels even where AVX2 is there (so does MORVANE_NO_AVX2)
};

void SmoothTerrain(TTerrainImage &Model, const TOptions &Options);
void SmoothMountains(TTerrainImage &Model, const TOptions &Options);

} // namespace FastSmoothing
