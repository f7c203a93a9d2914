#pragma once

// What both fast smoothing stages do around their passes: choose the kernels,
// fill the bands from the model in parallel and store them back.
#include "FastSmoothing.h"
#include "SmoothingBands.h"
#include "SmoothingKernels.h"

#include <cstdint>
#include <vector>

namespace Smoothing {

// The AVX2 kernels where the options allow them and the processor has them,
// else the portable ones. The environment variable MORVANE_NO_AVX2 (set, not
// empty and not "0") switches AVX2 off, as image libraries let one switch off
// their vector code: to compare speed, or to rule the vector path out when
// something looks wrong.
bool Avx2SwitchedOff();
const TKernelSet &KernelsFor(const FastSmoothing::TOptions &Options);

// Fills every band (CompactRow as for TBandGrid::FillBand; it may be called
// on several threads at once, for rows of different bands) and finds the
// active steps of each band for both kinds of passes.
void FillBands(TBandGrid &Grid, int Threads, const TBandGrid::TCompactRow &CompactRow, const uint8_t (&Activity)[256]);

// Writes the altitudes of every band back into the model.
void StoreBands(TBandGrid &Grid, int Threads, TTerrainImage &Model);

} // namespace Smoothing
