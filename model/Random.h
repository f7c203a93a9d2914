#pragma once

#include <cstdint>
#include <optional>

// The one process-wide random generator: PCG32 (64-bit state, "XSH RR" output),
// as in the PCG reference code, so that a map made with a given seed is the
// same file on every platform and in every later version.
class TPcg32
{
public:
    // The multiplier of the PCG reference code's 64-bit LCG.
    static constexpr uint64_t Multiplier = 6364136223846793005ULL;

    void Seed(uint64_t initState, uint64_t initSeq);
    uint32_t Next32()
    {
        const uint64_t old = State;
        State = old * Multiplier + Inc;
        return Output(old);
    }
    // The output that Next32 gives when the generator stands at this state.
    static uint32_t Output(uint64_t At)
    {
        const auto xorShifted = uint32_t(((At >> 18) ^ At) >> 27);
        const auto rot = uint32_t(At >> 59);
        return (xorShifted >> rot) | (xorShifted << ((-rot) & 31));
    }
    // Moves the generator on by Delta outputs at once (the LCG's jump-ahead), as
    // if Next32 had been called Delta times.
    void Advance(uint64_t Delta);
    // 0 .. n-1 for n >= 1, by multiply-and-shift; consumes exactly one output.
    uint32_t Random(uint32_t n) { return uint32_t((uint64_t(Next32()) * n) >> 32); }

    uint64_t State = 0;
    uint64_t Inc = 0;
};

// The places where a generator is seeded; the number is the stream (initseq)
// used there. Sites 1 to 5 re-seed the shared generator of the map; the
// extras beyond the map draw from streams of their own (NewStream), so that
// the map's draws are the same whether the extras are made or not.
enum class TSeedSite : uint64_t {
    ModelConstruction = 1,
    ImageLoad = 2,
    RandomHeights = 3,
    TerrainSmoothing = 4,
    MountainSmoothing = 5,
    Decoration = 6, // decoration statics; shore waves draw nothing
};

namespace Random {

// The shared generator itself, for code that draws ahead of time.
TPcg32 &Generator();

// With a fixed seed S re-seeding at site k is Seed(S, k); without one, the
// seed is the clock in nanoseconds at that moment.
void SetFixedSeed(std::optional<uint64_t> seed);
std::optional<uint64_t> FixedSeed();
void Reseed(TSeedSite site);
// A generator of its own, seeded for that site as Reseed would seed the
// shared one; the shared generator is left as it is.
TPcg32 NewStream(TSeedSite site);

// random(n) of the shared generator.
inline uint32_t Draw(uint32_t n) { return Generator().Random(n); }

} // namespace Random
