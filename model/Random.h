#pragma once

#include <cstdint>
#include <optional>

// The one process-wide random generator: PCG32 (64-bit state, "XSH RR" output),
// as in the PCG reference code, so that a map made with a given seed is the
// same file on every platform and in every later version.
class TPcg32
{
public:
    void Seed(uint64_t initState, uint64_t initSeq);
    uint32_t Next32();
    // 0 .. n-1 for n >= 1, by multiply-and-shift; consumes exactly one output.
    uint32_t Random(uint32_t n) { return uint32_t((uint64_t(Next32()) * n) >> 32); }

    uint64_t State = 0;
    uint64_t Inc = 0;
};

// The five places where the generator is re-seeded; the number is the stream
// (initseq) used there.
enum class TSeedSite : uint64_t {
    ModelConstruction = 1,
    ImageLoad = 2,
    RandomHeights = 3,
    TerrainSmoothing = 4,
    MountainSmoothing = 5,
};

namespace Random {

// The shared generator itself, for code that draws ahead of time.
TPcg32 &Generator();

// With a fixed seed S re-seeding at site k is Seed(S, k); without one, the
// seed is the clock in nanoseconds at that moment.
void SetFixedSeed(std::optional<uint64_t> seed);
std::optional<uint64_t> FixedSeed();
void Reseed(TSeedSite site);

// random(n) of the shared generator.
inline uint32_t Draw(uint32_t n) { return Generator().Random(n); }

} // namespace Random
