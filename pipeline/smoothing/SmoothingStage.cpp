// Filling and storing the bands of the fast smoothing stages on all threads.
#include "SmoothingStage.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace Smoothing {

bool Avx2SwitchedOff()
{
    const char *value = std::getenv("MORVANE_NO_AVX2");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

const TKernelSet &KernelsFor(const FastSmoothing::TOptions &Options)
{
    const TKernelSet *avx2 = Options.UseAvx2 && !Avx2SwitchedOff() ? Avx2Kernels() : nullptr;
    return avx2 ? *avx2 : PortableKernels();
}

void FillBands(TBandGrid &Grid, int Threads, const TBandGrid::TCompactRow &CompactRow, const uint8_t (&Activity)[256])
{
    // The scratch rows are made here, so that running out of memory is an
    // exception of the calling thread.
    std::vector<std::vector<uint8_t>> scratch(static_cast<size_t>(Threads));
    for (auto &s : scratch)
        s.resize(Grid.ScratchBytes());
    std::atomic<int> next{0};
    RunOnThreads(Threads, [&](int thread) {
        for (int b = next.fetch_add(1); b < Grid.Bands(); b = next.fetch_add(1)) {
            Grid.FillBand(b, CompactRow, Activity, scratch[size_t(thread)]);
        }
    });
}

void StoreBands(TBandGrid &Grid, int Threads, TTerrainImage &Model)
{
    std::atomic<int> next{0};
    RunOnThreads(Threads, [&](int) {
        for (int b = next.fetch_add(1); b < Grid.Bands(); b = next.fetch_add(1))
            Grid.StoreBand(b, Model);
    });
}

} // namespace Smoothing
